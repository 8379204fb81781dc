// The settings-store reader fed with values made from the input: each record of the
// input is [slot][length][bytes], the slot naming one stored value (the serial link,
// the node, the project timing, every graph value, a recent file, a port device) and
// the bytes becoming that value. Then a new document reads the store as every new
// document does, and what reads a document later runs over it. Shared by the fuzz
// target and the regression tests.
#pragma once

#include "document/port_map.h"
#include "document/recent_files.h"
#include "document/reg_funcs.h"
#include "document/registry_defaults.h"
#include "document/zentra_doc.h"
#include "fuzz/document_readers.h"
#include "platform/settings_tree.h"

#include <cstdint>
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

struct SettingsState {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    std::unique_ptr<CZentraDoc> again = std::make_unique<CZentraDoc>();
    std::vector<std::uint8_t> first = std::vector<std::uint8_t>(kProjectFileSize);
    std::vector<std::uint8_t> second = std::vector<std::uint8_t>(kProjectFileSize);
    std::vector<std::size_t> written; // slots holding a value from the last input
};

inline SettingsState& TheSettingsState() {
    static SettingsState* state = new SettingsState(); // lives for the whole run
    return *state;
}

// The caller points XDG_CONFIG_HOME at a private folder first.
inline void RunSettingsStore(const std::uint8_t* data, std::size_t size) {
    SettingsState& s = TheSettingsState();
    const auto& slots = StoredValues();
    // Nothing of the previous input stays behind.
    for (const std::size_t slot : s.written)
        if (const auto key = platform::OpenSettingsKey(slots[slot].key))
            platform::DeleteSettingsValue(*key, slots[slot].name);
    s.written.clear();

    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::size_t slot = data[at] % slots.size();
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const std::span<const std::uint8_t> bytes(data + at + 2, length);
        at += 2 + length;
        if (const auto key = platform::OpenSettingsKey(slots[slot].key))
            if (platform::WriteSettingsValue(*key, slots[slot].name, bytes))
                s.written.push_back(slot);
    }

    CZentraDoc& doc = *s.doc;
    doc.OnNewDocument(); // built-in defaults, graph defaults, then the store
    ReadRows(doc, static_cast<unsigned>(size));
    RecentFileList recent;
    recent.Load();
    for (int n = 0; n <= 10; ++n)
        (void)StoredPortDevice(n);
    CheckStoredImageReadsBackToItself(doc, *s.again, s.first, s.second);
}

} // namespace zentra::fuzz
