#include "tools/report/json/report_json.h"

#include "tools/report/local_clock.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace zentra::report {

std::string ReportJson(const SurveyReport& report) {
    using nlohmann::json;
    // Keys in the order a reader expects them, not sorted.
    nlohmann::ordered_json out;
    out["from"] = report.from ? json(IsoTime(*report.from)) : json(nullptr);
    out["to"] = report.to ? json(IsoTime(*report.to)) : json(nullptr);
    out["period_s"] = report.periodS;
    out["samples"] = report.samples;
    out["files"] = report.files.size();
    out["gaps"] = nlohmann::ordered_json::array();
    for (const Gap& g : report.gaps)
        out["gaps"].push_back({{"from", IsoTime(g.from)}, {"to", IsoTime(g.to)}});

    out["readings"] = nlohmann::ordered_json::object();
    for (const ReadingSummary& r : report.readings) {
        nlohmann::ordered_json entry;
        if (r.count > 0) {
            entry["min"] = r.min;
            entry["min_at"] = IsoTime(r.minAt);
            entry["mean"] = r.mean;
            entry["max"] = r.max;
            entry["max_at"] = IsoTime(r.maxAt);
        }
        entry["count"] = r.count;
        out["readings"][r.label] = entry;
    }

    out["demand"] = nlohmann::ordered_json::object();
    for (const DemandFigure& d : report.demand)
        out["demand"][d.label] = {
            {"interval_min", report.demandMinutes}, {"max", d.max}, {"at", IsoTime(d.at)}};

    out["energy"] = nlohmann::ordered_json::object();
    for (const EnergyFigure& e : report.energy)
        out["energy"][e.label] = {{"first", e.first}, {"last", e.last}, {"used", e.used}};
    out["kwh_integrated"] = report.kwhIntegrated ? json(*report.kwhIntegrated) : json(nullptr);
    return out.dump(2) + "\n";
}

bool WriteReportJson(const SurveyReport& report, const std::string& path, std::string* error) {
    const std::string text = ReportJson(report);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(text.data(), std::streamsize(text.size()));
    if (file)
        file.close();
    if (!file) {
        if (error)
            *error = "Cannot write \"" + path + "\": " + std::strerror(errno) + ".";
        return false;
    }
    return true;
}

} // namespace zentra::report
