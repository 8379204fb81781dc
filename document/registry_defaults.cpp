#include "document/registry_defaults.h"

#include "comms/comm_settings.h"
#include "document/project_file.h"
#include "document/reg_funcs.h"
#include "document/zentra_doc.h"
#include "platform/message_box.h"
#include "records/graph_record.h"

#include <array>
#include <bit>
#include <cstdint>
#include <span>

namespace zentra {

const GraphValue kGraphValues[kGraphValueCount] = {
    {"Real Time", graph_offset::kRealTime, 1},
    {"Graph Time", graph_offset::kGraphMode, 1},
    {"Line Colour", graph_offset::kLineColour, 12},
    {"Line Style", graph_offset::kLineStyle, 12},
    {"Associations", graph_offset::kAssociations, 12},
    {"Headings", graph_offset::kHeadings, 3 * kHeadingCapacity},
    {"Legend-X", graph_offset::kLegendX, kHeadingCapacity},
    {"Legend-Y", graph_offset::kLegendY, kHeadingCapacity},
    {"Relative Y Axis", graph_offset::kRelativeY, 1},
    {"Nominal Y Reading", graph_offset::kNominalY, 16},
    {"CZ", graph_offset::kCentreZero, 1},
    {"Scale-X", graph_offset::kScaleX, 4},
    {"Scale-Y", graph_offset::kScaleY, 4},
    {"Nominal Scale-Y", graph_offset::kNominalScaleY, 4},
    {"TickLength-X", graph_offset::kTickLengthX, 8},
    {"TickLength-Y", graph_offset::kTickLengthY, 8},
};

namespace {

template <std::size_t N> struct UnsignedOfSize;
template <> struct UnsignedOfSize<1> { using type = std::uint8_t; };
template <> struct UnsignedOfSize<4> { using type = std::uint32_t; };
template <> struct UnsignedOfSize<8> { using type = std::uint64_t; };

// The field's bytes as they are stored: little-endian, whatever the host order.
template <typename T> std::array<std::uint8_t, sizeof(T)> StoredBytes(T value) {
    using U = typename UnsignedOfSize<sizeof(T)>::type;
    U bits = std::bit_cast<U>(value);
    std::array<std::uint8_t, sizeof(T)> bytes{};
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(bits & 0xFFu);
        bits = static_cast<U>(bits >> 8); // promoted to int for one-byte fields
    }
    return bytes;
}

template <typename T> T FromStoredBytes(const std::array<std::uint8_t, sizeof(T)>& bytes) {
    using U = typename UnsignedOfSize<sizeof(T)>::type;
    std::uint64_t bits = 0;
    for (std::size_t i = sizeof(T); i-- > 0;)
        bits = (bits << 8) | bytes[i];
    return std::bit_cast<T>(static_cast<U>(bits));
}

// Reads one scalar field: its current bytes, overwritten at the front by the stored
// value when that value is taken.
template <typename T>
void LoadScalar(const RegFuncs& reg, const RegKey& key, std::string_view name, T& field) {
    auto bytes = StoredBytes(field);
    if (reg.GetValue(key, name, bytes))
        field = FromStoredBytes<T>(bytes);
}

template <typename T>
bool SaveScalar(const RegFuncs& reg, const RegKey& key, std::string_view name, T field,
                platform::SettingsWriteBatch* batch = nullptr) {
    const auto bytes = StoredBytes(field);
    return reg.SetValue(key, name, bytes, batch);
}

// The six project timing values, in their stored order.
template <typename Doc, typename Visit> void ForEachProjectSetting(Doc& doc, Visit visit) {
    visit("Show", doc.m_ShowProject);
    visit("Period", doc.m_Period);
    visit("PeriodMultiplier", doc.m_PeriodMultiplier);
    visit("Duration", doc.m_Duration);
    visit("DurationMultiplier", doc.m_DurationMultiplier);
    visit("Samples", doc.m_Samples);
}

using GraphImage = std::array<std::uint8_t, kGraphRecordSize>;

std::array<RegKey, kGraphCount> OpenGraphKeys(const RegFuncs& reg) {
    // Every new document and every save opens all twelve: their paths are built once.
    static const std::array<std::string, kGraphCount> paths = [] {
        std::array<std::string, kGraphCount> built;
        for (int k = 0; k < kGraphCount; ++k)
            built[static_cast<std::size_t>(k)] = GraphKeyPath(k + 1);
        return built;
    }();
    std::array<RegKey, kGraphCount> keys;
    for (std::size_t k = 0; k < keys.size(); ++k)
        keys[k] = reg.OpenKey(paths[k]);
    return keys;
}

} // namespace

std::string GraphKeyPath(int graphNumber) {
    return std::string(kGraphicalDataKey) + "\\Graph" + std::to_string(graphNumber);
}

namespace {

void LoadStoredValues(CZentraDoc& doc) {
    const RegFuncs reg;
    {
        const RegKey ini = reg.OpenKey(kIniKey);
        std::array<std::uint8_t, kCommSettingsSize> comms{};
        EncodeCommSettings(doc.m_Comms, comms.data());
        if (reg.GetValue(ini, "CommsSettings", comms))
            DecodeCommSettings(comms.data(), doc.m_Comms);
        LoadScalar(reg, ini, "ModbusNode", doc.m_ModbusNode);
    }
    if (const RegKey project = reg.OpenKey(kProjectSettingsKey)) {
        ForEachProjectSetting(doc, [&](std::string_view name, auto& field) {
            LoadScalar(reg, project, name, field);
        });
    }
    // The graph keys are read only when their parent can be opened.
    if (!reg.OpenKey(kGraphicalDataKey))
        return;
    auto keys = OpenGraphKeys(reg);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (!keys[k])
            continue;
        GraphImage image{};
        EncodeGraph(doc.m_Graphs[k], image.data());
        bool taken = false;
        for (const GraphValue& value : kGraphValues)
            taken |= reg.GetValue(keys[k], value.name,
                                  std::span(image).subspan(value.offset, value.size));
        if (taken)
            DecodeGraph(image.data(), doc.m_Graphs[k]);
        keys[k].reset();
    }
}

} // namespace

void LoadRegistryDefaults(CZentraDoc& doc) {
    LoadStoredValues(doc);
    // The store is as untrusted as a file and is read the same way: values are kept
    // as stored, whatever the meter family this new document starts with (defaults
    // set on a variant 3 meter keep their reading indices), and only what no writer
    // leaves is brought into range.
    BoundSetUp(doc);
}

bool SaveRegistryDefaults(const CZentraDoc& doc) {
    const RegFuncs reg;
    // All values reach the disk with one flush (each is still replaced atomically).
    platform::SettingsWriteBatch batch;
    bool allWritten = true;
    if (const RegKey project = reg.OpenKey(kProjectSettingsKey)) {
        ForEachProjectSetting(doc, [&](std::string_view name, auto field) {
            allWritten &= SaveScalar(reg, project, name, field, &batch);
        });
    } else {
        allWritten = false;
    }
    if (!reg.OpenKey(kGraphicalDataKey)) {
        batch.Commit(); // the timing values are stored all the same
        return false;
    }
    auto keys = OpenGraphKeys(reg);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (!keys[k]) {
            allWritten = false;
            continue;
        }
        GraphImage image{};
        EncodeGraph(doc.m_Graphs[k], image.data());
        for (const GraphValue& value : kGraphValues)
            allWritten &= reg.SetValue(keys[k], value.name,
                                       std::span(image).subspan(value.offset, value.size), &batch);
        keys[k].reset();
    }
    return batch.Commit() && allWritten;
}

bool SaveCommsSettings(const CZentraDoc& doc) {
    const RegFuncs reg;
    const RegKey ini = reg.OpenKey(kIniKey);
    std::array<std::uint8_t, kCommSettingsSize> comms{};
    EncodeCommSettings(doc.m_Comms, comms.data());
    const bool commsWritten = reg.SetValue(ini, "CommsSettings", comms);
    const bool nodeWritten = SaveScalar(reg, ini, "ModbusNode", doc.m_ModbusNode);
    return commsWritten && nodeWritten;
}

bool OnSetAsDefault(const CZentraDoc& doc) {
    if (!platform::AskYesNo("Set the current settings as default?", "Default Settings",
                            platform::MessageIcon::None))
        return false;
    return SaveRegistryDefaults(doc);
}

} // namespace zentra
