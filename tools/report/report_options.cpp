#include "tools/report/report_options.h"

#include <charconv>

namespace zentra::report {
namespace {

constexpr int kMinutesPerDay = 1440;
constexpr int kMinutesPerHour = 60;

} // namespace

std::optional<int> ParseDemandMinutes(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest == text.data())
        return std::nullopt;
    const std::string unit(rest, end);
    int minutes = 0;
    if (unit.empty() || unit == "m" || unit == "min")
        minutes = value;
    else if (unit == "h" && value <= kMinutesPerDay / kMinutesPerHour)
        minutes = value * kMinutesPerHour;
    else
        return std::nullopt;
    if (minutes < 1 || minutes > kMinutesPerDay || kMinutesPerDay % minutes != 0)
        return std::nullopt;
    return minutes;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine parsed;
    CommandLine& o = parsed.options;
    bool haveOut = false;
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                parsed.error = a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
        } else if (a == "--") {
            onlyFiles = true;
        } else if (a == "-h" || a == "--help") {
            parsed.help = true;
            return parsed;
        } else if (a == "-o" || a == "--out") {
            if (!value(o.pdf))
                return parsed;
            haveOut = true;
        } else if (a == "--json") {
            std::string path;
            if (!value(path))
                return parsed;
            o.json = path;
        } else if (a == "--demand") {
            std::string text;
            if (!value(text))
                return parsed;
            const auto minutes = ParseDemandMinutes(text);
            if (!minutes) {
                parsed.error = "--demand " + text +
                               ": give whole minutes that divide a day, such as 15m, 30m or 1h";
                return parsed;
            }
            o.demandMinutes = *minutes;
        } else if (a == "--title") {
            if (!value(o.title))
                return parsed;
        } else {
            parsed.error = "unknown option " + a;
            return parsed;
        }
    }
    if (o.files.empty())
        parsed.error = "no project file given";
    else if (!haveOut || o.pdf.empty())
        parsed.error = "no report file given (-o report.pdf)";
    return parsed;
}

std::string ReportUsageText() {
    return R"(Usage: zentra-report FILE.ztr... -o report.pdf [--json summary.json]
                     [--demand 15m] [--title TEXT]

Writes the report of a load survey: one Zentra project, or the files of a roll of
projects of one meter, as a PDF with the cover, the summary of every logged
reading, the maximum demand, the energy used, voltage and current, a table by day
and the load profile as pictures.

  FILE.ztr...          the project files; they are sorted by their first sample.
                       Files of different meters, or overlapping in time, are
                       refused.
  -o, --out FILE       the PDF to write.
  --json FILE          also write the figures as JSON, for scripts.
  --demand D           demand interval, aligned to the clock: 15m (the default),
                       30m, 1h, ... (whole minutes that divide a day).
  --title TEXT         the report's title (default: the project name).
  -h, --help           this text.

Exit status: 0 written, 1 a file cannot be read or written or the files do not
belong together, 2 a wrong command line.
)";
}

} // namespace zentra::report
