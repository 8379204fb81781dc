#include "tools/logger/logger_options.h"

#include "document/zentra_doc.h"
#include "outlets/http_server.h"
#include "outlets/mqtt_url.h"
#include "records/calendar.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string_view>

namespace zentra::logger {
namespace {

constexpr int kMaxPeriodValue = 100000; // as the logging set-up page allows
constexpr int kMaxNode = 247;           // highest Modbus slave address
constexpr int kMaxLatencyMs = 9999999;  // seven digits, as the settings hold it
constexpr int kMinTickMs = 10;
constexpr int kMaxDurationValue = 100000; // 100000 days is any survey's upper bound
constexpr std::int64_t kSecondsPerDay = 86400;

std::optional<int> ParseInt(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string Upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

// Takes the unit letter off the end of a "30s", "5m", "2h" (or, with days, "7d")
// text: seconds per unit, 1 for a plain number, 0 for a letter that is no unit here.
std::int64_t TakeUnit(std::string_view& text, bool daysAllowed) {
    if (text.empty() || std::isdigit(static_cast<unsigned char>(text.back())))
        return 1;
    std::int64_t unit = 0;
    switch (std::tolower(static_cast<unsigned char>(text.back()))) {
    case 's':
        unit = 1;
        break;
    case 'm':
        unit = 60;
        break;
    case 'h':
        unit = 3600;
        break;
    case 'd':
        unit = daysAllowed ? kSecondsPerDay : 0;
        break;
    default:
        break;
    }
    text.remove_suffix(1);
    return unit;
}

bool ValidPortName(std::string_view name) {
    return name.size() == 4 && name.substr(0, 3) == "COM" && name[3] >= '1' && name[3] <= '9';
}

} // namespace

bool ParsePeriod(std::string_view text, LoggerOptions& options) {
    const std::int64_t unit = TakeUnit(text, false);
    const auto value = ParseInt(text, 1, kMaxPeriodValue);
    if (unit == 0 || !value)
        return false;
    options.period = *value;
    options.periodMultiplier = static_cast<int>(unit);
    return true;
}

std::optional<std::int64_t> ParseDuration(std::string_view text) {
    const std::int64_t unit = TakeUnit(text, true);
    const auto value = ParseInt(text, 1, kMaxDurationValue);
    if (unit == 0 || !value)
        return std::nullopt;
    return *value * unit;
}

std::optional<std::int64_t> ParseLocalMinute(std::string_view text) {
    if (text.size() != 16 || text[4] != '-' || text[7] != '-' ||
        (text[10] != ' ' && text[10] != 'T') || text[13] != ':')
        return std::nullopt;
    const auto year = ParseInt(text.substr(0, 4), 1970, 9999);
    const auto month = ParseInt(text.substr(5, 2), 1, 12);
    const auto day = ParseInt(text.substr(8, 2), 1, 31);
    const auto hour = ParseInt(text.substr(11, 2), 0, 23);
    const auto minute = ParseInt(text.substr(14, 2), 0, 59);
    if (!year || !month || !day || !hour || !minute)
        return std::nullopt;
    const std::int64_t t = LocalTimeOf(*year, *month, *day, *hour, *minute, 0);
    const std::tm back = LocalTime(t);
    if (back.tm_year + 1900 != *year || back.tm_mon + 1 != *month || back.tm_mday != *day)
        return std::nullopt;
    return t;
}

bool ValidBaudRate(std::string_view baud) {
    constexpr std::array<std::string_view, 6> kBaudRates{"115200", "57600", "38400",
                                                         "19200",  "9600",  "4800"};
    return std::find(kBaudRates.begin(), kBaudRates.end(), baud) != kBaudRates.end();
}

bool ValidMeterName(std::string_view name) {
    constexpr std::size_t kLongestName = 64;
    if (name.empty() || name.size() > kLongestName)
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '_'; });
}

std::optional<MeterEntry> ParseMeterEntry(std::string_view text, std::string* error) {
    const auto eq = text.find('=');
    MeterEntry entry;
    entry.name = std::string(text.substr(0, eq));
    if (eq == std::string_view::npos || !ValidMeterName(entry.name)) {
        *error = "--meter needs NAME=NODE, NAME made of letters, digits, - and _ (got " +
                 std::string(text.substr(0, 80)) + ")";
        return std::nullopt;
    }
    std::string_view rest = text.substr(eq + 1);
    const auto comma = rest.find(',');
    const auto node = ParseInt(rest.substr(0, comma), 1, kMaxNode);
    if (!node) {
        *error = "--meter " + entry.name + ": the node must be a number from 1 to 247";
        return std::nullopt;
    }
    entry.node = *node;
    if (comma != std::string_view::npos) {
        const std::string_view extra = rest.substr(comma + 1);
        const auto order =
            extra.starts_with("order=") ? ParseInt(extra.substr(6), 0, 3) : std::nullopt;
        if (!order) {
            *error =
                "--meter " + entry.name + ": after the node only order=0 ... order=3 may follow";
            return std::nullopt;
        }
        entry.order = *order;
    }
    return entry;
}

std::string OutletOptionsFault(const LoggerOptions& o) {
    if (!o.mqtt && (o.mqttCa || o.mqttPasswordFile))
        return "--mqtt-ca and --mqtt-password-file go with --mqtt";
    if (o.mqttCa && !o.mqtt->starts_with("mqtts://"))
        return "--mqtt-ca goes with an mqtts:// broker";
    return {};
}

namespace {

// The checks of a run of several meters (--meter).
ParsedArguments CheckMeterRun(ParsedArguments parsed, bool periodGiven) {
    LoggerOptions& o = parsed.options;
    auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    if (o.port.empty())
        return fail("no port given (COM1 ... COM9)");
    if (!o.out.empty())
        return fail("--out names one meter's file; with --meter each meter's files are "
                    "NAME.ztr in --out-dir");
    if (o.csv)
        return fail("with --meter, --csv takes no file name: each meter's CSV is NAME.csv in "
                    "--out-dir");
    if (o.node)
        return fail("--node is for one meter; with --meter each meter names its node "
                    "(NAME=NODE)");
    if (o.outDir.empty())
        return fail("no folder for the meters' files given (--out-dir DIR)");
    if (!periodGiven)
        return fail("no logging period given (--period, e.g. 1s)");
    if (o.samples == 0 && o.roll)
        o.samples = kMaxSamples;
    if (o.samples == 0)
        return fail("no number of samples given (--samples, 1 to 7200)");
    for (std::size_t i = 0; i < o.meters.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            if (o.meters[i].name == o.meters[j].name)
                return fail("the meter name " + o.meters[i].name + " is given twice");
            if (o.meters[i].node == o.meters[j].node)
                return fail("node " + std::to_string(o.meters[i].node) + " is given to both " +
                            o.meters[j].name + " and " + o.meters[i].name);
        }
    return parsed;
}

} // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    LoggerOptions& o = parsed.options;
    bool periodGiven = false;
    auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string_view value;
        bool hasInlineValue = false;
        if (arg.starts_with("--")) {
            if (const auto eq = arg.find('='); eq != std::string_view::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInlineValue = true;
            }
        }
        auto next = [&](std::string_view& into) {
            if (hasInlineValue) {
                into = value;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        std::string_view v;
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            return parsed;
        } else if (arg == "--force") {
            o.force = true;
        } else if (arg == "--recover") {
            o.recoverOnly = true;
        } else if (arg == "--quiet" || arg == "-q") {
            o.quiet = true;
        } else if (arg == "--roll") {
            o.roll = true;
        } else if (arg == "--until") {
            const auto t = next(v) ? ParseLocalMinute(v) : std::nullopt;
            if (!t)
                return fail("--until needs a local date and time \"YYYY-MM-DD HH:MM\"");
            o.until = *t;
        } else if (arg == "--for") {
            const auto seconds = next(v) ? ParseDuration(v) : std::nullopt;
            if (!seconds)
                return fail("--for needs a duration such as 7d, 12h, 30m or 90s");
            o.forSeconds = *seconds;
        } else if (arg == "--give-up") {
            const auto seconds = next(v) ? ParseDuration(v) : std::nullopt;
            if (!seconds)
                return fail("--give-up needs a duration such as 10m, 1h or 1d");
            o.giveUpSeconds = *seconds;
        } else if (arg == "--period") {
            if (!next(v) || !ParsePeriod(v, o))
                return fail("--period needs a value such as 1s, 30s, 5m or 1h (1 to 100000 units)");
            periodGiven = true;
        } else if (arg == "--samples") {
            const auto n = next(v) ? ParseInt(v, 1, kMaxSamples) : std::nullopt;
            if (!n)
                return fail("--samples needs a number from 1 to 7200");
            o.samples = *n;
        } else if (arg == "--out" || arg == "-o") {
            if (!next(v) || v.empty())
                return fail("--out needs a file name, e.g. run.ztr");
            o.out = v;
        } else if (arg == "--csv") {
            // Bare, it asks each meter of a run of several for its CSV.
            if (!hasInlineValue && (i + 1 >= args.size() || args[i + 1].starts_with("-"))) {
                o.csvEach = true;
                continue;
            }
            if (!next(v) || v.empty())
                return fail("--csv needs a file name, e.g. run.csv");
            o.csv = std::string(v);
        } else if (arg == "--meter") {
            std::string why;
            const auto entry = next(v) ? ParseMeterEntry(v, &why) : std::nullopt;
            if (!entry)
                return fail(why.empty() ? "--meter needs NAME=NODE, e.g. main=1" : why);
            o.meters.push_back(*entry);
        } else if (arg == "--out-dir") {
            if (!next(v) || v.empty())
                return fail("--out-dir needs a folder, e.g. /var/lib/zentra/site");
            o.outDir = std::string(v);
        } else if (arg == "--node") {
            const auto n = next(v) ? ParseInt(v, 1, kMaxNode) : std::nullopt;
            if (!n)
                return fail("--node needs a Modbus node number from 1 to 247");
            o.node = *n;
        } else if (arg == "--order") {
            const auto n = next(v) ? ParseInt(v, 0, 3) : std::nullopt;
            if (!n)
                return fail("--order needs a float byte order from 0 to 3");
            o.order = *n;
        } else if (arg == "--baud") {
            if (!next(v) || !ValidBaudRate(v))
                return fail("--baud must be one of 115200, 57600, 38400, 19200, 9600, 4800");
            o.baud = std::string(v);
        } else if (arg == "--parity") {
            const std::string p = next(v) ? Upper(v) : std::string();
            if (p != "NONE" && p != "ODD" && p != "EVEN")
                return fail("--parity must be NONE, ODD or EVEN");
            o.parity = p;
        } else if (arg == "--stop") {
            if (!next(v) || (v != "1" && v != "2"))
                return fail("--stop must be 1 or 2");
            o.stop = std::string(v);
        } else if (arg == "--latency") {
            if (!next(v))
                return fail("--latency needs milliseconds, e.g. 200");
            if (v.ends_with("ms"))
                v.remove_suffix(2);
            const auto n = ParseInt(v, 0, kMaxLatencyMs);
            if (!n)
                return fail("--latency needs milliseconds from 0 to 9999999");
            o.latencyMs = *n;
        } else if (arg == "--mqtt") {
            if (!next(v))
                return fail("--mqtt needs mqtt://[USER@]HOST[:PORT]/PREFIX");
            const auto url = outlets::ParseMqttUrl(std::string(v));
            if (!url.url)
                return fail(url.error);
            o.mqtt = std::string(v);
        } else if (arg == "--mqtt-ca" || arg == "--mqtt-password-file") {
            if (!next(v) || v.empty())
                return fail(std::string(arg) + " needs a file name");
            (arg == "--mqtt-ca" ? o.mqttCa : o.mqttPasswordFile) = std::string(v);
        } else if (arg == "--mqtt-every") {
            if (!next(v) || (v != "second" && v != "sample"))
                return fail("--mqtt-every must be second or sample");
            o.mqttEverySample = v == "sample";
            parsed.mqttEveryGiven = true;
        } else if (arg == "--mqtt-discovery" || arg == "--no-mqtt-discovery") {
            o.mqttDiscovery = arg == "--mqtt-discovery";
            parsed.mqttDiscoveryGiven = true;
        } else if (arg == "--http") {
            if (!next(v) || !outlets::ParseHttpAddress(std::string(v)))
                return fail("--http needs PORT or ADDRESS:PORT, e.g. 8080 or 0.0.0.0:8080");
            o.http = std::string(v);
        } else if (arg == "--config") {
            if (!next(v) || v.empty())
                return fail("--config needs a file, e.g. /etc/zentra/site.toml");
            o.config = std::string(v);
        } else if (arg == "--tick-ms") { // hidden: shortens the acquisition second for tests
            const auto n = next(v) ? ParseInt(v, kMinTickMs, 1000) : std::nullopt;
            if (!n)
                return fail("--tick-ms needs a number from 10 to 1000");
            o.tickMs = *n;
        } else if (arg.starts_with("-")) {
            return fail("unknown option " + std::string(arg));
        } else if (o.port.empty()) {
            const std::string port = Upper(arg);
            if (!ValidPortName(port))
                return fail("the port must be COM1 ... COM9 (got " + std::string(arg) + ")");
            o.port = port;
        } else {
            return fail("unexpected argument " + std::string(arg));
        }
    }
    if (o.recoverOnly)
        return parsed; // nothing else is needed
    // With --config the outlets are checked once the file's settings are under these.
    if (std::string why = OutletOptionsFault(o); !why.empty() && !o.config)
        return fail(std::move(why));
    if (o.config) {
        // The survey is the file's; only how it is shown (and the outlets) may be added.
        const LoggerOptions none;
        if (!o.port.empty() || !o.meters.empty() || !o.outDir.empty() || !o.out.empty() || o.csv ||
            o.csvEach || periodGiven || o.samples != 0 || o.roll || o.until || o.forSeconds ||
            o.giveUpSeconds != none.giveUpSeconds || o.node || o.order || o.baud || o.parity ||
            o.stop || o.latencyMs)
            return fail("with --config the survey is the file's: of the other options only "
                        "--quiet, --force, --mqtt ... and --http may be given");
        return parsed;
    }
    if (!o.meters.empty())
        return CheckMeterRun(parsed, periodGiven);
    if (o.csvEach)
        return fail("--csv needs a file name, e.g. run.csv");
    if (!o.outDir.empty())
        return fail("--out-dir is for several meters (--meter NAME=NODE); one meter's file is "
                    "named with --out");
    if (o.port.empty())
        return fail("no port given (COM1 ... COM9)");
    if (!periodGiven)
        return fail("no logging period given (--period, e.g. 1s)");
    if (o.samples == 0 && o.roll)
        o.samples = kMaxSamples; // each project of a roll as full as a project can be
    if (o.samples == 0)
        return fail("no number of samples given (--samples, 1 to 7200)");
    if (o.out.empty())
        return fail("no project file given (--out run.ztr)");
    if (o.csv && *o.csv == o.out)
        return fail("--csv and --out name the same file");
    return parsed;
}

std::string UsageText() {
    return R"(Usage: zentra-log PORT --period P --samples N --out FILE.ztr [options]
       zentra-log PORT --period P --out FILE.ztr --roll [--until T | --for D] [options]
       zentra-log PORT --meter NAME=NODE[,order=N] [--meter ...] --period P
                  (--samples N | --roll ...) --out-dir DIR [--csv] [options]
       zentra-log --config SITE.toml [--quiet] [--force] [--mqtt ... | --http ...]
       zentra-log --recover

Logs N samples from the power meter on PORT, one every period P, into a Zentra
project file, exactly as the desktop program's Enable Logging does, and saves the
project at the end. With --roll it goes on from project to project: a load survey.

  PORT                 COM1 ... COM9. Each name stands for a device, in this
                       order: the environment variable ZENTRA_COM1 ... ZENTRA_COM9
                       if set (e.g. ZENTRA_COM1=/dev/ttyUSB0), else the device
                       chosen for it with Change device... in Zentra, else the
                       serial adapters found. A device is a serial device's path,
                       tcp://HOST:PORT (a serial device server in transparent
                       mode) or modbus-tcp://HOST:PORT (a Modbus TCP gateway),
                       e.g. ZENTRA_COM1=modbus-tcp://192.168.1.50:502.
  --period P           logging period: a number with s, m or h (1s, 30s, 5m, 1h);
                       a plain number is seconds. 1 to 100000 units.
  --samples N          number of samples to log, 1 to 7200 (with --roll: per
                       project, 7200 if left out).
  --out FILE.ztr       project file written at the end.
  --csv FILE.csv       also write the samples as CSV, as the run goes: the header
                       at the start, then each sample as it is logged, flushed to
                       the disk. Once the project is saved the file is exactly the
                       desktop program's CSV export of it.
  --roll               when a project has its N samples it is saved, finished and
                       locked, and logging carries on at once into the next
                       project, FILE-0002.ztr, FILE-0003.ztr, ... (and FILE-0002.csv,
                       ...), with the same settings and the period unbroken.
                       Files that exist are kept: the roll takes the next free
                       number, one whose project, CSV or recovered project
                       (FILE-recovered.ztr) is there counting as taken (unless
                       --force).
  --until "YYYY-MM-DD HH:MM"
                       end the run at this local time (a T may stand for the blank).
  --for D              end the run D after logging began: 7d, 12h, 30m or 90s.
                       With --roll the survey's first start is kept in
                       FILE-survey.txt: a restart (a stop, a kill, a reboot)
                       carries on to the same end, and a start after the end logs
                       nothing and exits 0. Remove that file to begin a new survey.
  --give-up D          end the run when the meter has not answered for D
                       (default 10m); exit status 3.
  --node N             Modbus node of the meter, 1 to 247.
  --order N            float byte order: 0 Big Endian, 1 Little Endian,
                       2 Big Endian (Word Swap), 3 Little Endian (Word Swap).
  --baud B             115200, 57600, 38400, 19200, 9600 or 4800.
  --parity P           NONE, ODD or EVEN.
  --stop S             stop bits, 1 or 2.
  --latency MS         milliseconds between a request and reading its reply when
                       the meter is first queried and before the first reading.
  --mqtt URL           publish the live readings to an MQTT broker:
                       mqtt://[USER@]HOST[:PORT]/PREFIX (mqtts:// for TLS). Each
                       second a JSON state goes to PREFIX/NAME/state (NAME: the
                       project file's name without .ztr), "online"/"offline" to
                       PREFIX/NAME/availability (retained; "offline" is also the
                       last will). The broker may be away: logging never waits.
  --mqtt-password-file FILE
                       the broker password, the file's first line (else the
                       variable ZENTRA_MQTT_PASSWORD; never on the command line).
  --mqtt-ca FILE       the CA certificate of an mqtts:// broker (default: the
                       system's certificates).
  --mqtt-every E       second (default) or sample: a state message each second,
                       or at each logged sample.
  --mqtt-discovery, --no-mqtt-discovery
                       Home Assistant discovery configs under homeassistant/
                       (on by default with --mqtt).
  --http ADDRESS:PORT  serve the status page /, /metrics (Prometheus) and
                       /api/meters (JSON), read-only. A port alone listens on
                       127.0.0.1 only; name another address (0.0.0.0:8080) to be
                       reached from other machines.
  --force              overwrite FILE.ztr / FILE.csv if they exist.
  --meter NAME=NODE[,order=N]
                       one of several meters on PORT (repeat it for each): its
                       project series is DIR/NAME.ztr (with --roll NAME-0002.ztr,
                       ...) and, with a bare --csv, DIR/NAME.csv. NAME is made of
                       letters, digits, - and _. The meters are asked one at a time;
                       one that does not answer never holds the others back.
  --out-dir DIR        the folder of the meters' files (with --meter).
  --config SITE.toml   a survey of several meters on one or more links (serial
                       lines, device servers, gateways), each served on its own,
                       from a TOML file: its period, samples, roll, until / for,
                       out-dir, csv and each [[link]] with its port, line settings
                       and [[link.meter]] entries (name, node, order), and the
                       outlets: [mqtt] url, ca, password-file, every, discovery and
                       [http] listen (an option given beside --config replaces
                       the file's; the password is never in the file). A wrong key,
                       type or value is refused with the file's line before any
                       port opens (status 2). See man zentra-log.
  -q, --quiet          no progress line per sample (saves are still reported).
  --recover            only recover interrupted runs (see below), then stop.
  -h, --help           this text.

Options left out take the values a new project starts with: the settings stored
as defaults by the desktop program, else node 1, order 0, 38400 baud, NONE, 1 stop
bit, latency 200 ms. zentra-log never changes those stored settings.

Ctrl+C (or SIGTERM) ends logging like Stop Data Retrieval, within a second at any
stage; the samples logged so far are saved. While logging, the project is also
saved every five minutes, and a recovery copy is kept in $XDG_STATE_HOME/zentra
(~/.local/state/zentra) at least every 60 samples and every minute. After a crash,
a kill or a power cut the next start of zentra-log (or of Zentra) finds that copy;
zentra-log saves it as FILE-recovered.ztr beside the file the interrupted run was
to write (for a roll, beside the project it was logging).

Exit status: 0 when the project was saved (all samples, stopped early, or the end
of --until or --for reached), a stop came before logging began, or the survey had
already ended; 1 when the port, the meter or a file failed; 2 for a wrong command
line (a malformed network address and two outputs that are one file included); 3
when the meter stopped answering for the --give-up time (what was logged is saved).
)";
}

} // namespace zentra::logger
