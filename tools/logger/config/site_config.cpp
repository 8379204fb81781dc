#include "tools/logger/config/site_config.h"

#include "tools/logger/config/outlet_config.h"

#include "document/zentra_doc.h"
#include "platform/net_address.h"
#include "records/calendar.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

namespace zentra::logger {
namespace {

constexpr std::int64_t kMaxLatencyMs = 9999999; // seven digits, as the settings hold it
constexpr std::int64_t kMaxNode = 247;
constexpr std::int64_t kMaxDurationSeconds = 100000LL * 86400; // as --for and --give-up take

// The first fault found: its line and what is wrong.
struct Fault {
    int line = 0;
    std::string what;
};

int LineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

std::string Upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

// The values one table holds, each checked where it is taken; the first fault wins.
class TableReader {
  public:
    TableReader(const toml::table& table, std::string where, std::optional<Fault>& fault)
        : table_(table), where_(std::move(where)), fault_(fault) {}

    // Refuses a key that is none of `known`.
    void OnlyKeys(std::initializer_list<std::string_view> known) {
        for (auto&& [key, node] : table_) {
            if (std::find(known.begin(), known.end(), key.str()) != known.end())
                continue;
            std::string list;
            for (const std::string_view k : known)
                list += (list.empty() ? "" : ", ") + std::string(k);
            Fail(static_cast<int>(key.source().begin.line),
                 "unknown key '" + std::string(key.str()) + "'" + where_ + " (the keys here are " +
                     list + ")");
            return;
        }
    }

    const toml::node* Get(std::string_view key) const { return table_.get(key); }

    std::optional<std::int64_t> Integer(std::string_view key, std::int64_t low, std::int64_t high) {
        const toml::node* node = Get(key);
        if (node == nullptr)
            return std::nullopt;
        const auto value = node->value_exact<std::int64_t>();
        if (!value || *value < low || *value > high) {
            Fail(*node, Name(key) + " must be a whole number from " + std::to_string(low) + " to " +
                            std::to_string(high));
            return std::nullopt;
        }
        return value;
    }

    std::optional<bool> Boolean(std::string_view key) {
        const toml::node* node = Get(key);
        if (node == nullptr)
            return std::nullopt;
        const auto value = node->value_exact<bool>();
        if (!value)
            Fail(*node, Name(key) + " must be true or false");
        return value;
    }

    // A string; `what` says what it must be when it is not one.
    std::optional<std::string> String(std::string_view key, std::string_view what) {
        const toml::node* node = Get(key);
        if (node == nullptr)
            return std::nullopt;
        const auto value = node->value_exact<std::string>();
        if (!value || value->empty()) {
            Fail(*node, Name(key) + " must be " + std::string(what));
            return std::nullopt;
        }
        return value;
    }

    // A duration: a string ("7d", "12h", "30m", "90s") or whole seconds.
    std::optional<std::int64_t> Duration(std::string_view key, std::string_view example) {
        const toml::node* node = Get(key);
        if (node == nullptr)
            return std::nullopt;
        std::optional<std::int64_t> seconds;
        if (const auto text = node->value_exact<std::string>())
            seconds = ParseDuration(*text);
        else if (const auto number = node->value_exact<std::int64_t>();
                 number && *number >= 1 && *number <= kMaxDurationSeconds)
            seconds = *number;
        if (!seconds)
            Fail(*node, Name(key) + " must be a duration such as " + std::string(example) +
                            " (or whole seconds)");
        return seconds;
    }

    void Fail(const toml::node& node, std::string what) { Fail(LineOf(node), std::move(what)); }
    void Fail(int line, std::string what) {
        if (!fault_)
            fault_ = Fault{line, std::move(what)};
    }
    bool Failed() const { return fault_.has_value(); }
    int Line() const { return LineOf(table_); }

  private:
    std::string Name(std::string_view key) const { return "'" + std::string(key) + "'" + where_; }

    const toml::table& table_;
    std::string where_; // " in link 2" ...
    std::optional<Fault>& fault_;
};

bool ValidPort(const std::string& port) {
    if (port.size() == 4 && port.starts_with("COM") && port[3] >= '1' && port[3] <= '9')
        return true;
    if (platform::IsNetAddressForm(port))
        return platform::ParseNetAddress(port).has_value();
    return port.starts_with('/');
}

// The tables of an array of tables ([[link]], or meter = [{...}, ...]); a fault when
// the key holds anything else.
std::vector<const toml::table*> TablesOf(TableReader& reader, std::string_view key,
                                         std::string_view what) {
    std::vector<const toml::table*> tables;
    const toml::node* node = reader.Get(key);
    if (node == nullptr)
        return tables;
    const toml::array* array = node->as_array();
    if (array == nullptr || !array->is_array_of_tables()) {
        reader.Fail(*node, std::string(what));
        return tables;
    }
    for (const toml::node& element : *array)
        tables.push_back(element.as_table());
    return tables;
}

MeterEntry ReadMeter(const toml::table& table, const std::string& where,
                     std::optional<Fault>& fault) {
    TableReader r(table, where, fault);
    r.OnlyKeys({"name", "node", "order"});
    MeterEntry meter;
    const auto name = r.String("name", "a name made of letters, digits, - and _");
    if (name && !ValidMeterName(*name))
        r.Fail(*r.Get("name"), "'name'" + where +
                                   " must be made of letters, digits, - and _ (it names the "
                                   "meter's files NAME.ztr and NAME.csv)");
    else if (!name && !r.Failed())
        r.Fail(r.Line(), "a meter" + where + " needs a name (name = \"main\")");
    meter.name = name.value_or("");
    const auto node = r.Integer("node", 1, kMaxNode);
    if (!node && !r.Failed())
        r.Fail(r.Line(), "meter " + meter.name + " needs its Modbus node (node = 1 ... 247)");
    meter.node = static_cast<int>(node.value_or(1));
    if (const auto order = r.Integer("order", 0, 3))
        meter.order = static_cast<int>(*order);
    return meter;
}

LinkPlan ReadLink(const toml::table& table, int number, std::optional<Fault>& fault,
                  std::vector<int>& meterLines) {
    const std::string where = " in link " + std::to_string(number);
    TableReader r(table, where, fault);
    r.OnlyKeys({"port", "baud", "parity", "stop", "latency", "order", "meter"});
    LinkPlan link;
    const auto port =
        r.String("port", "COM1 ... COM9, a device path, tcp://HOST:PORT or modbus-tcp://HOST:PORT");
    if (!port && !r.Failed())
        r.Fail(r.Line(), "link " + std::to_string(number) + " needs a port (port = \"COM1\")");
    if (port && !ValidPort(*port))
        r.Fail(*r.Get("port"), "'port'" + where +
                                   " must be COM1 ... COM9, a device path "
                                   "(/dev/ttyUSB0) or " +
                                   std::string(platform::kNetAddressForms) + " (got " +
                                   port->substr(0, 80) + ")");
    link.port = port.value_or("");
    if (const toml::node* baud = r.Get("baud")) {
        std::string text;
        if (const auto n = baud->value_exact<std::int64_t>())
            text = std::to_string(*n);
        else if (const auto s = baud->value_exact<std::string>())
            text = *s;
        if (!ValidBaudRate(text))
            r.Fail(*baud,
                   "'baud'" + where + " must be one of 115200, 57600, 38400, 19200, 9600, 4800");
        link.baud = text;
    }
    if (const auto parity = r.String("parity", "\"NONE\", \"ODD\" or \"EVEN\"")) {
        link.parity = Upper(*parity);
        if (*link.parity != "NONE" && *link.parity != "ODD" && *link.parity != "EVEN")
            r.Fail(*r.Get("parity"), "'parity'" + where + " must be \"NONE\", \"ODD\" or \"EVEN\"");
    }
    if (const auto stop = r.Integer("stop", 1, 2))
        link.stop = std::to_string(*stop);
    if (const auto latency = r.Integer("latency", 0, kMaxLatencyMs))
        link.latencyMs = static_cast<int>(*latency);
    if (const auto order = r.Integer("order", 0, 3))
        link.order = static_cast<int>(*order);
    const auto meters =
        TablesOf(r, "meter", "'meter'" + where + " must be a list of meters ([[link.meter]])");
    if (meters.empty() && !r.Failed())
        r.Fail(r.Line(), "link " + std::to_string(number) + " (" + link.port +
                             ") has no meters ([[link.meter]] with name and node)");
    for (const toml::table* m : meters) {
        link.meters.push_back(ReadMeter(*m, where, fault));
        meterLines.push_back(LineOf(*m));
    }
    return link;
}

// The keys of a section for others, as texts.
PlanSection CarrySection(std::string_view name, const toml::table& table) {
    PlanSection section;
    section.name = std::string(name);
    section.line = LineOf(table);
    for (auto&& [key, node] : table) {
        PlanSection::Entry entry;
        entry.key = std::string(key.str());
        entry.line = LineOf(node);
        if (const auto text = node.value_exact<std::string>()) {
            entry.value = *text;
            entry.quoted = true;
        } else {
            std::ostringstream written;
            node.visit([&written](auto&& n) { written << n; });
            entry.value = written.str();
        }
        section.entries.push_back(std::move(entry));
    }
    // The table keeps its keys sorted; they are handed on in the file's order.
    std::stable_sort(
        section.entries.begin(), section.entries.end(),
        [](const PlanSection::Entry& a, const PlanSection::Entry& b) { return a.line < b.line; });
    return section;
}

// Local time of a TOML date-time without an offset.
std::optional<std::int64_t> LocalTimeOfNode(const toml::node& node) {
    if (const auto text = node.value_exact<std::string>())
        return ParseLocalMinute(*text);
    const auto stamp = node.value_exact<toml::date_time>();
    if (!stamp || stamp->offset)
        return std::nullopt;
    const toml::date d = stamp->date;
    const toml::time t = stamp->time;
    if (d.year < 1970 || d.year > 9999)
        return std::nullopt;
    return LocalTimeOf(d.year, d.month, d.day, t.hour, t.minute, t.second);
}

void ReadRun(TableReader& r, SurveyPlan& plan) {
    LoggerOptions& o = plan.run;
    if (const toml::node* period = r.Get("period")) {
        bool ok = false;
        if (const auto text = period->value_exact<std::string>())
            ok = ParsePeriod(*text, o);
        else if (const auto n = period->value_exact<std::int64_t>())
            ok = ParsePeriod(std::to_string(*n), o);
        if (!ok)
            r.Fail(*period, "'period' must be a period such as \"1s\", \"30s\", \"5m\" or \"1h\" "
                            "(1 to 100000 units; a number is seconds)");
    } else {
        r.Fail(0, "no logging period given (period = \"1s\")");
    }
    if (const auto samples = r.Integer("samples", 1, kMaxSamples))
        o.samples = static_cast<int>(*samples);
    o.roll = r.Boolean("roll").value_or(false);
    if (o.samples == 0 && o.roll)
        o.samples = kMaxSamples; // each project of a roll as full as a project can be
    if (o.samples == 0 && !r.Failed())
        r.Fail(0, "no number of samples given (samples = 1 ... 7200, or roll = true)");
    if (const toml::node* until = r.Get("until")) {
        o.until = LocalTimeOfNode(*until);
        if (!o.until)
            r.Fail(*until, "'until' must be a local date and time, \"YYYY-MM-DD HH:MM\" or "
                           "2026-03-09T10:00:00 without an offset");
    }
    o.forSeconds = r.Duration("for", "\"7d\", \"12h\", \"30m\" or \"90s\"");
    if (const auto giveUp = r.Duration("give-up", "\"10m\", \"1h\" or \"1d\""))
        o.giveUpSeconds = *giveUp;
    if (const auto order = r.Integer("order", 0, 3))
        o.order = static_cast<int>(*order);
    o.quiet = r.Boolean("quiet").value_or(false);
    plan.csv = r.Boolean("csv").value_or(false);
    const auto outDir = r.String("out-dir", "the folder of the meters' files");
    if (!outDir && !r.Failed())
        r.Fail(0, "no folder for the meters' files given (out-dir = \"/var/lib/zentra/site\")");
    plan.outDir = outDir.value_or("");
}

// What holds across links: a name once in the folder, a node once on its line, a
// line once in the survey.
void CheckAcross(const SurveyPlan& plan, const std::vector<std::vector<int>>& meterLines,
                 std::optional<Fault>& fault) {
    std::map<std::string, std::string> names; // meter name -> where
    std::map<std::string, std::size_t> ports; // port -> link
    for (std::size_t l = 0; l < plan.links.size() && !fault; ++l) {
        const LinkPlan& link = plan.links[l];
        if (const auto [it, fresh] = ports.emplace(link.port, l + 1); !fresh) {
            fault = Fault{meterLines[l].empty() ? 0 : meterLines[l][0],
                          "link " + std::to_string(l + 1) + " names " + link.port + ", as link " +
                              std::to_string(it->second) +
                              " does: list each "
                              "meter of a line under one link"};
            return;
        }
        for (std::size_t m = 0; m < link.meters.size(); ++m) {
            const MeterEntry& meter = link.meters[m];
            const int line = meterLines[l][m];
            const std::string here = "link " + std::to_string(l + 1);
            if (const auto [it, fresh] = names.emplace(meter.name, here); !fresh) {
                fault =
                    Fault{line, "the meter name " + meter.name + " is given twice (" + it->second +
                                    " and " + here + "): each names its own files"};
                return;
            }
            for (std::size_t k = 0; k < m; ++k)
                if (link.meters[k].node == meter.node) {
                    fault = Fault{line, "node " + std::to_string(meter.node) +
                                            " is given to both " + link.meters[k].name + " and " +
                                            meter.name + " on " + link.port};
                    return;
                }
        }
    }
}

} // namespace

ConfigResult ParseSiteConfig(std::string_view text, const std::string& name) {
    ConfigResult result;
    toml::table root;
    try {
        root = toml::parse(text, name);
    } catch (const toml::parse_error& e) {
        result.error = name + ":" + std::to_string(e.source().begin.line) + ": " +
                       std::string(e.description());
        return result;
    }
    std::optional<Fault> fault;
    SurveyPlan plan;
    plan.source = name;
    TableReader r(root, "", fault);
    r.OnlyKeys({"period", "samples", "roll", "until", "for", "give-up", "order", "quiet", "out-dir",
                "csv", "link", "mqtt", "http"});
    ReadRun(r, plan);
    std::vector<std::vector<int>> meterLines;
    const auto links = TablesOf(r, "link", "'link' must be a list of links ([[link]])");
    if (links.empty() && !r.Failed())
        r.Fail(0, "no link given ([[link]] with its port and meters)");
    for (std::size_t i = 0; i < links.size(); ++i) {
        meterLines.emplace_back();
        plan.links.push_back(
            ReadLink(*links[i], static_cast<int>(i + 1), fault, meterLines.back()));
    }
    if (!fault)
        CheckAcross(plan, meterLines, fault);
    for (const std::string_view section : {"mqtt", "http"})
        if (const toml::node* node = root.get(section)) {
            if (const toml::table* table = node->as_table())
                plan.sections.push_back(CarrySection(section, *table));
            else
                r.Fail(*node, "'" + std::string(section) + "' must be a section ([" +
                                  std::string(section) + "])");
        }
    if (fault) {
        result.error = name + ":" + (fault->line > 0 ? std::to_string(fault->line) + ":" : "") +
                       " " + fault->what;
        return result;
    }
    std::sort(plan.sections.begin(), plan.sections.end(),
              [](const PlanSection& a, const PlanSection& b) { return a.line < b.line; });
    if (const auto outlets = ReadOutletSections(plan.sections, plan.run)) {
        result.error = name + ":" + std::to_string(outlets->line) + ": " + outlets->what;
        return result;
    }
    result.plan = std::move(plan);
    return result;
}

ConfigResult ReadSiteConfig(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ConfigResult result;
        result.error = path + ": cannot be read (does it exist?)";
        return result;
    }
    std::string text(kMaxConfigBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxConfigBytes) {
        ConfigResult result;
        result.error = path + ": larger than 1 MB; is it the survey's configuration file?";
        return result;
    }
    return ParseSiteConfig(text, path);
}

} // namespace zentra::logger
