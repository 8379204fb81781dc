// Writes the seed corpora of the fuzz targets into a folder (one sub-folder per
// target): project files made by saving real documents, whole and cut short; replies
// captured from the meter simulator over a pseudo-terminal, with the set-up bytes
// the reply target reads first; and settings-store records of a new document's
// defaults. Usage: zentra-fuzz-corpus <folder>
#include "acquisition/calendar.h"
#include "comms/meter.h"
#include "display/graph/graph_record.h"
#include "document/project_file.h"
#include "document/registry_defaults.h"
#include "document/zentra_doc.h"
#include "fuzz/settings_store_harness.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "tools/sim/meter_simulator.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace zentra;

void Write(const fs::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// --- Project files -------------------------------------------------------------------

std::unique_ptr<CZentraDoc> LoggedDocument(std::int32_t systemType, int samples) {
    auto doc = std::make_unique<CZentraDoc>();
    doc->m_SystemType = systemType;
    doc->ResetToDefaults();
    ApplyGraphDefaults(*doc);
    SetText(doc->m_ProjectName, "Seed project");
    SetText(doc->m_BriefDescription, "Feeder 3, main switchboard");
    doc->m_Locked = 1;
    doc->m_Finished = 1;
    doc->m_Samples = samples;
    doc->m_LoggingStartTime = platform::Now();
    doc->m_LoggingEndTime = platform::Now() + samples;
    for (int n = 0; n < samples; ++n) {
        auto& record = doc->m_SampleValues[static_cast<std::size_t>(n)];
        for (std::size_t e = 1; e <= (doc->ShortList() ? 8u : 23u); ++e)
            record[e] = 100.0 * static_cast<double>(e) + 0.5 * n;
        doc->m_SampleTimes[static_cast<std::size_t>(n)] = platform::Now() + n;
    }
    doc->m_SampleCount = samples;
    for (Graph& graph : doc->m_Graphs)
        graph.m_RealTime = 0;
    return doc;
}

void ProjectFiles(const fs::path& folder) {
    Bytes image(kProjectFileSize);
    for (const std::int32_t variant : {1, 3}) {
        auto doc = LoggedDocument(variant, 12);
        SerializeStore(*doc, image.data());
        const std::string stem = "variant" + std::to_string(variant);
        Write(folder / (stem + "-whole.ztr"), image.data(), image.size());
        // Cut after the project block, after all set-up blocks, and a few samples in.
        for (const std::size_t cut : {file_block::kGraphs, file_block::kSamples,
                                      file_block::kSamples + 3 * file_block::kSampleRecordSize})
            Write(folder / (stem + "-cut" + std::to_string(cut)), image.data(), cut);
    }
    auto fresh = std::make_unique<CZentraDoc>();
    fresh->ResetToDefaults();
    ApplyGraphDefaults(*fresh);
    SerializeStore(*fresh, image.data());
    Write(folder / "new-cut", image.data(), file_block::kSamples);
}

// --- Replies -----------------------------------------------------------------------------

// Set-up bytes of the reply target: float order 0, the request outstanding, logging
// on, no CRC added; meter variant, log and ring at their start.
Bytes SetUp(std::int32_t lastRequest) {
    const std::uint8_t request = lastRequest == kFcMeterInfo  ? 1
                                 : lastRequest == kFcReadings ? 2
                                 : lastRequest == kFcLayout   ? 3
                                                              : 0;
    return {static_cast<std::uint8_t>((request << 2) | 0x10), 0};
}

bool Replies(const fs::path& folder) {
    sim::SimOptions options;
    options.clock = [] { return 12.0; };
    sim::MeterSimulator meter(options);
    if (!meter.Start()) {
        std::fprintf(stderr, "zentra-fuzz-corpus: %s\n", meter.Error().c_str());
        return false;
    }
    const auto opened = platform::OpenSerialDevice(meter.DevicePath());
    if (opened.fd < 0)
        return false;
    K760modbus requester(opened.fd, 1, 0);
    struct Capture {
        const char* name;
        std::uint32_t (K760modbus::*request)();
        std::int32_t function;
    };
    const Capture captures[] = {
        {"identity", &K760modbus::RequestIdentity, kFcIdentity},
        {"information", &K760modbus::RequestMeterInfo, kFcMeterInfo},
        {"readings", &K760modbus::RequestReadings, kFcReadings},
        {"layout", &K760modbus::RequestPositionMap, kFcLayout},
    };
    auto capture = [&](const std::string& name, const Capture& c) {
        (requester.*c.request)();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::uint8_t buffer[kReplyReadLimit];
        const auto got = platform::ReadSerial(opened.fd, buffer, sizeof buffer);
        Bytes seed = SetUp(c.function);
        seed.insert(seed.end(), buffer, buffer + got.count);
        Write(folder / name, seed.data(), seed.size());
        if (got.count > 4) // cut short, as a reply that stopped half-way
            Write(folder / (name + "-cut"), seed.data(), seed.size() - got.count / 2);
    };
    for (const Capture& c : captures)
        capture(c.name, c);
    sim::SimFaults faults;
    faults.exceptionCode = 2;
    meter.SetFaults(faults);
    capture("exception", captures[2]);
    faults = {};
    faults.answerAsNode = 7;
    meter.SetFaults(faults);
    capture("other-node", captures[2]);
    platform::CloseSerialDevice(opened.fd);
    return true;
}

// --- Settings store ---------------------------------------------------------------------

void SettingsRecords(const fs::path& folder) {
    auto doc = std::make_unique<CZentraDoc>();
    doc->ResetToDefaults();
    ApplyGraphDefaults(*doc);
    const auto& slots = fuzz::StoredValues();
    auto slotOf = [&](const std::string& key, const std::string& name) {
        for (std::size_t i = 0; i < slots.size(); ++i)
            if (slots[i].key == key && slots[i].name == name)
                return static_cast<std::uint8_t>(i);
        return std::uint8_t{0};
    };
    auto add = [](Bytes& seed, std::uint8_t slot, const std::uint8_t* bytes, std::size_t size) {
        seed.push_back(slot);
        seed.push_back(static_cast<std::uint8_t>(size));
        seed.insert(seed.end(), bytes, bytes + size);
    };

    Bytes link;
    std::uint8_t comms[kCommSettingsSize] = {};
    EncodeCommSettings(doc->m_Comms, comms);
    add(link, slotOf(std::string(kIniKey), "CommsSettings"), comms, sizeof comms);
    std::uint8_t node[8];
    std::memcpy(node, &doc->m_ModbusNode, sizeof node);
    add(link, slotOf(std::string(kIniKey), "ModbusNode"), node, sizeof node);
    Write(folder / "serial-link", link.data(), link.size());

    Bytes timing;
    const std::int32_t values[] = {1, 1, 1000, 1, 1000};
    const char* names[] = {"Period", "PeriodMultiplier", "Duration", "DurationMultiplier",
                           "Samples"};
    for (int i = 0; i < 5; ++i)
        add(timing, slotOf(std::string(kProjectSettingsKey), names[i]),
            reinterpret_cast<const std::uint8_t*>(&values[i]), 4);
    const std::uint8_t show = 1;
    add(timing, slotOf(std::string(kProjectSettingsKey), "Show"), &show, 1);
    Write(folder / "project-timing", timing.data(), timing.size());

    for (const int g : {1, 5, 12}) {
        Bytes graph;
        std::uint8_t image[kGraphRecordSize] = {};
        EncodeGraph(doc->m_Graphs[static_cast<std::size_t>(g - 1)], image);
        for (const GraphValue& value : kGraphValues)
            if (value.size < 256)
                add(graph, slotOf(GraphKeyPath(g), std::string(value.name)), image + value.offset,
                    value.size);
        Write(folder / ("graph" + std::to_string(g)), graph.data(), graph.size());
    }

    Bytes paths;
    const std::string recent = "/home/user/logs/Plant North.ztr";
    add(paths, slotOf(std::string(kRecentFileKey), "File1"),
        reinterpret_cast<const std::uint8_t*>(recent.data()), recent.size());
    const std::string device = "/dev/serial/by-id/usb-FTDI_USB_RS485-if00-port0";
    add(paths, slotOf(std::string(kPortMapKey), "COM1"),
        reinterpret_cast<const std::uint8_t*>(device.data()), device.size());
    Write(folder / "paths", paths.data(), paths.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: zentra-fuzz-corpus <folder>\n");
        return 2;
    }
    platform::SetClock([] { return platform::TimeSeconds{1'357'394'589}; });
    const fs::path root = argv[1];
    for (const char* target : {"fuzz_project_file", "fuzz_reply", "fuzz_settings_store"})
        fs::create_directories(root / target);
    ProjectFiles(root / "fuzz_project_file");
    SettingsRecords(root / "fuzz_settings_store");
    return Replies(root / "fuzz_reply") ? 0 : 1;
}
