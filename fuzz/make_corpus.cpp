// Writes the seed corpora of the fuzz targets into a folder (one sub-folder per
// target): project files made by saving real documents, whole and cut short; replies
// captured from the meter simulator over a pseudo-terminal, with the set-up bytes
// the reply target reads first; and settings-store records of a new document's
// defaults. Usage: zentra-fuzz-corpus <folder>
#include "comms/meter.h"
#include "document/graph_defaults.h"
#include "document/project_file.h"
#include "document/registry_defaults.h"
#include "document/zentra_doc.h"
#include "fuzz/csv_export_harness.h"
#include "fuzz/fixed_time.h"
#include "fuzz/project_file_harness.h"
#include "fuzz/settings_store_harness.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "records/calendar.h"
#include "records/graph_record.h"
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
void Write(const fs::path& file, const Bytes& bytes) {
    Write(file, bytes.data(), bytes.size());
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

// The input form of the project-file target: the set-up front of an image, then
// records [index][values][time] (see project_file_harness.h).
Bytes ProjectInput(const Bytes& image, std::size_t front,
                   std::initializer_list<std::size_t> samples) {
    Bytes input(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(front));
    for (const std::size_t n : samples) {
        input.push_back(static_cast<std::uint8_t>(n & 0xFF));
        input.push_back(static_cast<std::uint8_t>(n >> 8));
        const auto* record =
            image.data() + file_block::kSamples + n * file_block::kSampleRecordSize;
        input.insert(input.end(), record, record + file_block::kSampleRecordSize);
        const auto* time = image.data() + file_block::kSampleTimes + n * sizeof(std::int64_t);
        input.insert(input.end(), time, time + sizeof(std::int64_t));
    }
    return input;
}

void ProjectFiles(const fs::path& folder) {
    Bytes image(kProjectFileSize);
    for (const std::int32_t variant : {1, 3}) {
        auto doc = LoggedDocument(variant, 12);
        SerializeStore(*doc, image.data());
        const std::string stem = "variant" + std::to_string(variant);
        // The logged project (its first, a middle and its last sample); its set-up
        // blocks alone; the project block alone.
        Write(folder / (stem + "-logged"), ProjectInput(image, fuzz::kFrontSize, {0, 5, 11}));
        Write(folder / (stem + "-front"), ProjectInput(image, fuzz::kFrontSize, {}));
        Write(folder / (stem + "-project"), ProjectInput(image, file_block::kGraphs, {}));
    }
    auto fresh = std::make_unique<CZentraDoc>();
    fresh->ResetToDefaults();
    ApplyGraphDefaults(*fresh);
    SerializeStore(*fresh, image.data());
    Write(folder / "new", ProjectInput(image, fuzz::kFrontSize, {}));
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

// --- Hostile documents for the text targets -----------------------------------------
// Written in the form InputReader takes them (see value_texts.h): picks below the
// size of a table take its entry, larger ones the raw bytes that follow.

class TextInput {
  public:
    TextInput& Pick(std::uint8_t pick) {
        bytes.push_back(pick);
        return *this;
    }
    template <typename T> TextInput& Raw(T value) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(&value);
        bytes.insert(bytes.end(), b, b + sizeof value);
        return *this;
    }
    // A number through HostileInt: picks 9..127 give pick % (small + 1), larger ones
    // the raw value that follows.
    TextInput& Small(int value, int small) {
        for (int pick = 9; pick < 128; ++pick)
            if (pick % (small + 1) == value)
                return Pick(static_cast<std::uint8_t>(pick));
        return Pick(255).Raw(static_cast<std::int32_t>(value));
    }
    TextInput& Text(std::string_view text) {
        Pick(static_cast<std::uint8_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    TextInput& Value(double v) { return Pick(255).Raw(v); }
    TextInput& Time(std::int64_t t) { return Pick(255).Raw(t); }
    Bytes bytes;
};

// The document part both text targets read: variant, count, start, texts, samples.
TextInput DocumentInput(std::uint8_t variantPick, std::uint8_t countPick, bool hostileValues) {
    TextInput in;
    in.Pick(variantPick).Pick(countPick).Small(14, 24).Small(3, 60).Small(9, 60);
    in.Raw(std::int32_t{20130105}).Raw(std::int32_t{20130107});
    in.Text("Plant, North").Text("Feeder 3\r\nmain switchboard, bay 2");
    for (int n = 0; n < fuzz::kFuzzedSamples; ++n) {
        for (int k = 0; k < kSampleValues; ++k) {
            if (hostileValues)
                in.Pick(static_cast<std::uint8_t>((n * kSampleValues + k) % 16));
            else
                in.Value(230.0 + 10.5 * k - 0.25 * n);
        }
        in.Time(1'357'394'589 + 60 * n);
    }
    return in;
}

void TextInputs(const fs::path& csv, const fs::path& table) {
    // Variant pick 0 is system type 1 (full list), 2 is type 3 (short list); count
    // pick 5 is three samples.
    for (const bool hostile : {false, true})
        for (const std::uint8_t variant : {0, 2}) {
            const std::string name =
                std::string(hostile ? "hostile" : "plain") + (variant == 0 ? "-full" : "-short");
            TextInput in = DocumentInput(variant, 5, hostile);
            Write(csv / name, in.bytes);
            // Then the table: 95 samples, page 2 (no rows) or page 0, ring slot 0
            // (the newest entry is 600), graph 5, logged or real-time form, a tiled
            // cell of a common window, the standard reading map, the newest entry
            // valid.
            for (const bool realTime : {false, true}) {
                TextInput t = in;
                t.Small(95, kMaxSamples).Small(realTime ? 2 : 0, kMaxSamples / 40);
                t.Raw(std::uint16_t{40}).Pick(5).Pick(realTime ? 1 : 0).Pick(1).Pick(0);
                for (int r = 1; r <= kReadingMapSize; ++r)
                    t.Small(r, kRingValues);
                t.Pick(1);
                for (int k = 0; k < kRingValues; ++k)
                    hostile ? t.Pick(static_cast<std::uint8_t>(k % 16)) : t.Value(100.0 + k);
                Write(table / (name + (realTime ? "-live" : "-logged")), t.bytes);
            }
        }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: zentra-fuzz-corpus <folder>\n");
        return 2;
    }
    platform::SetClock([] { return fuzz::kFuzzNow; });
    const fs::path root = argv[1];
    for (const char* target : {"fuzz_project_file", "fuzz_reply", "fuzz_settings_store",
                               "fuzz_csv_export", "fuzz_data_table"})
        fs::create_directories(root / target);
    ProjectFiles(root / "fuzz_project_file");
    SettingsRecords(root / "fuzz_settings_store");
    TextInputs(root / "fuzz_csv_export", root / "fuzz_data_table");
    return Replies(root / "fuzz_reply") ? 0 : 1;
}
