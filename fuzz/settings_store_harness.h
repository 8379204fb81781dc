// The settings-store reader fed with values made from the input: each record of the
// input is [slot][length][bytes], the slot naming one stored value (the serial link,
// the node, the project timing, every graph value, a recent file, a port device) and
// the bytes becoming that value. The store is held in memory (no file system), and a
// document at its built-in and graph defaults reads it as every new document does;
// then the recent files and the port devices are read, and the defaults the document
// would store are stored, read by another new document and compared: what was read
// must read back the same. Shared by the fuzz target and the regression tests.
#pragma once

#include "comms/comm_settings.h"
#include "display/graph/graph_record.h"
#include "document/port_map.h"
#include "document/recent_files.h"
#include "document/reg_funcs.h"
#include "document/registry_defaults.h"
#include "document/zentra_doc.h"
#include "fuzz/document_readers.h"
#include "platform/settings_tree.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zentra::fuzz {

struct StoredValue {
    std::string key;
    std::string name;
};

// Every value a reader of the store looks at.
inline const std::vector<StoredValue>& StoredValues() {
    static const std::vector<StoredValue> values = [] {
        std::vector<StoredValue> v;
        v.push_back({std::string(kIniKey), "CommsSettings"});
        v.push_back({std::string(kIniKey), "ModbusNode"});
        for (const char* name :
             {"Show", "Period", "PeriodMultiplier", "Duration", "DurationMultiplier", "Samples"})
            v.push_back({std::string(kProjectSettingsKey), name});
        for (int g = 1; g <= kGraphCount; ++g)
            for (const GraphValue& value : kGraphValues)
                v.push_back({GraphKeyPath(g), std::string(value.name)});
        for (std::size_t n = 1; n <= kRecentFileCount; ++n)
            v.push_back({std::string(kRecentFileKey), "File" + std::to_string(n)});
        for (int n = 1; n <= 9; ++n)
            v.push_back({std::string(kPortMapKey), "COM" + std::to_string(n)});
        return v;
    }();
    return values;
}

// A new document before it reads the store: built-in defaults, then graph defaults.
inline std::unique_ptr<CZentraDoc> DocumentBeforeTheStore() {
    auto doc = std::make_unique<CZentraDoc>();
    doc->ResetToDefaults();
    ApplyGraphDefaults(*doc);
    return doc;
}

// Puts back every field the store can change to the value it has before the store is
// read, so one document serves every input without resetting its 1.5 MB log.
inline void RestoreStoredFields(const CZentraDoc& from, CZentraDoc& to) {
    to.m_Comms = from.m_Comms;
    to.m_ModbusNode = from.m_ModbusNode;
    to.m_ShowProject = from.m_ShowProject;
    to.m_Period = from.m_Period;
    to.m_PeriodMultiplier = from.m_PeriodMultiplier;
    to.m_Duration = from.m_Duration;
    to.m_DurationMultiplier = from.m_DurationMultiplier;
    to.m_Samples = from.m_Samples;
    to.m_Graphs = from.m_Graphs;
}

// The rest of OnNewDocument, over a document whose stored fields were just restored.
inline void ReadStoreAsNewDocument(const CZentraDoc& before, CZentraDoc& doc) {
    RestoreStoredFields(before, doc);
    LoadRegistryDefaults(doc);
    doc.m_Comms.portSetUp = 0; // as OnNewDocument: a new document holds no open port
}

// The stored fields of two documents hold the same bytes.
inline bool SameStoredFields(const CZentraDoc& a, const CZentraDoc& b) {
    std::array<std::uint8_t, kCommSettingsSize> ca{}, cb{};
    EncodeCommSettings(a.m_Comms, ca.data());
    EncodeCommSettings(b.m_Comms, cb.data());
    if (ca != cb || std::memcmp(&a.m_ModbusNode, &b.m_ModbusNode, sizeof a.m_ModbusNode) != 0)
        return false;
    if (a.m_ShowProject != b.m_ShowProject || a.m_Period != b.m_Period ||
        a.m_PeriodMultiplier != b.m_PeriodMultiplier || a.m_Duration != b.m_Duration ||
        a.m_DurationMultiplier != b.m_DurationMultiplier || a.m_Samples != b.m_Samples)
        return false;
    std::array<std::uint8_t, kGraphRecordSize> ga{}, gb{};
    for (std::size_t k = 0; k < kGraphCount; ++k) {
        EncodeGraph(a.m_Graphs[k], ga.data());
        EncodeGraph(b.m_Graphs[k], gb.data());
        if (ga != gb)
            return false;
    }
    return true;
}

struct SettingsState {
    platform::MemorySettingsStore store; // the input's values
    platform::MemorySettingsStore saved; // what the document made from them stores
    std::unique_ptr<CZentraDoc> before = DocumentBeforeTheStore();
    std::unique_ptr<CZentraDoc> doc = DocumentBeforeTheStore();
    std::unique_ptr<CZentraDoc> again = DocumentBeforeTheStore();
};

inline SettingsState& TheSettingsState() {
    static SettingsState* state = new SettingsState(); // lives for the whole run
    return *state;
}

// Writes the input's records into the store in use.
inline void WriteRecords(const std::uint8_t* data, std::size_t size) {
    const auto& slots = StoredValues();
    std::size_t at = 0;
    while (at + 2 <= size) {
        const StoredValue& slot = slots[data[at] % slots.size()];
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const std::span<const std::uint8_t> bytes(data + at + 2, length);
        at += 2 + length;
        if (const auto key = platform::OpenSettingsKey(slot.key))
            platform::WriteSettingsValue(*key, slot.name, bytes);
    }
}

// Returns the new document made from the input's store (valid until the next call).
inline CZentraDoc& RunSettingsStore(const std::uint8_t* data, std::size_t size) {
    SettingsState& s = TheSettingsState();
    CZentraDoc& doc = *s.doc;
    {
        const platform::ScopedMemorySettingsStore use(s.store);
        s.store.Clear();
        WriteRecords(data, size);
        ReadStoreAsNewDocument(*s.before, doc);
        RecentFileList recent;
        recent.Load();
        if (recent.Files().size() > kRecentFileCount)
            Fail("more recent files than the list holds", recent.Files().size());
        for (int n = 0; n <= 10; ++n)
            (void)StoredPortDevice(n);
    }
    // Every stored default is written each time, so nothing of an earlier input stays.
    const platform::ScopedMemorySettingsStore use(s.saved);
    SaveRegistryDefaults(doc);
    SaveCommsSettings(doc);
    ReadStoreAsNewDocument(*s.before, *s.again);
    if (!SameStoredFields(doc, *s.again))
        Fail("stored defaults do not read back to themselves", s.saved.ValueCount());
    return doc;
}

} // namespace zentra::fuzz
