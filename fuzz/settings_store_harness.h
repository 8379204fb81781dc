// The settings-store reader fed with values made from the input: each record of the
// input is [slot][length][bytes], the slot naming one stored value (the serial link,
// the node, the project timing, every graph value, a recent file, a port device) and
// the bytes becoming that value. The store is held in memory (no file system), and a
// document at its built-in and graph defaults reads it as every new document does;
// then the recent files and the port devices are read, and the defaults the document
// would store are stored, read by another new document and compared: what was read
// must read back the same (done once for each distinct set of stored fields, since it
// depends on them alone). Shared by the fuzz target and the regression tests.
#pragma once

#include "comms/comm_settings.h"
#include "document/graph_defaults.h"
#include "document/port_map.h"
#include "document/recent_files.h"
#include "document/reg_funcs.h"
#include "document/registry_defaults.h"
#include "document/zentra_doc.h"
#include "fuzz/document_readers.h"
#include "platform/settings_tree.h"
#include "records/graph_record.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
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

// The bytes of every stored field of a document: the serial link, the node, the
// project timing and the twelve graph records.
inline constexpr std::size_t kScalarsSize = 64; // room for the node and six timing values
inline constexpr std::size_t kStoredImageSize =
    kCommSettingsSize + kScalarsSize + kGraphCount * kGraphRecordSize;
using StoredImage = std::array<std::uint8_t, kStoredImageSize>;

// The node and the six timing values, one after another in their bytes in memory.
inline void PutStoredScalars(const CZentraDoc& doc, std::uint8_t* out) {
    static_assert(sizeof doc.m_ModbusNode + sizeof doc.m_ShowProject + sizeof doc.m_Period +
                      sizeof doc.m_PeriodMultiplier + sizeof doc.m_Duration +
                      sizeof doc.m_DurationMultiplier + sizeof doc.m_Samples <=
                  kScalarsSize);
    const auto put = [&out](const auto& field) {
        std::memcpy(out, &field, sizeof field);
        out += sizeof field;
    };
    put(doc.m_ModbusNode);
    put(doc.m_ShowProject);
    put(doc.m_Period);
    put(doc.m_PeriodMultiplier);
    put(doc.m_Duration);
    put(doc.m_DurationMultiplier);
    put(doc.m_Samples);
}

inline void StoredImageOf(const CZentraDoc& doc, StoredImage& image) {
    image.fill(0);
    EncodeCommSettings(doc.m_Comms, image.data());
    PutStoredScalars(doc, image.data() + kCommSettingsSize);
    std::size_t at = kCommSettingsSize + kScalarsSize;
    for (std::size_t k = 0; k < kGraphCount; ++k, at += kGraphRecordSize)
        EncodeGraph(doc.m_Graphs[k], image.data() + at);
}

// The stored fields of two documents hold the same bytes.
inline bool SameStoredFields(const CZentraDoc& a, const CZentraDoc& b) {
    auto ia = std::make_unique<StoredImage>(), ib = std::make_unique<StoredImage>();
    StoredImageOf(a, *ia);
    StoredImageOf(b, *ib);
    return *ia == *ib;
}

// The stored fields as they lie in memory, the key under which fields already stored
// and read back are remembered: equal bytes are equal fields. (Padding, which a copy
// carries along, can only make equal fields look different: that costs a check, it
// never skips one.)
inline constexpr std::size_t kFieldBytesSize =
    sizeof(CommSettings) + kScalarsSize + sizeof(CZentraDoc::m_Graphs);
using FieldBytes = std::array<std::uint8_t, kFieldBytesSize>;

inline void FieldBytesOf(const CZentraDoc& doc, FieldBytes& bytes) {
    static_assert(std::is_trivially_copyable_v<CommSettings> &&
                  std::is_trivially_copyable_v<Graph>);
    bytes.fill(0);
    std::memcpy(bytes.data(), &doc.m_Comms, sizeof doc.m_Comms);
    PutStoredScalars(doc, bytes.data() + sizeof doc.m_Comms);
    std::memcpy(bytes.data() + sizeof doc.m_Comms + kScalarsSize, doc.m_Graphs.data(),
                sizeof doc.m_Graphs);
}

// The stored fields most recently stored and read back, found by their hash (and then
// compared in full). Most inputs leave the stored fields as some input before them did.
class CheckedFields {
  public:
    static constexpr std::size_t kCount = 1024; // about 9 MB

    static std::size_t Hash(const FieldBytes& fields) {
        return std::hash<std::string_view>{}(
            std::string_view(reinterpret_cast<const char*>(fields.data()), fields.size()));
    }
    bool Contains(const FieldBytes& fields, std::size_t hash) const {
        const auto found = slotOf_.find(hash);
        return found != slotOf_.end() && fields_[found->second] == fields;
    }
    void Add(const FieldBytes& fields, std::size_t hash) {
        if (used_ == kCount)
            slotOf_.erase(hashes_[next_]); // the oldest makes way
        else
            ++used_;
        fields_[next_] = fields;
        hashes_[next_] = hash;
        slotOf_[hash] = next_;
        next_ = (next_ + 1) % kCount;
    }

  private:
    std::vector<FieldBytes> fields_ = std::vector<FieldBytes>(kCount);
    std::vector<std::size_t> hashes_ = std::vector<std::size_t>(kCount);
    std::unordered_map<std::size_t, std::size_t> slotOf_;
    std::size_t next_ = 0;
    std::size_t used_ = 0;
};

// The key of each slot, opened once on the input's store (a key of a memory store
// stays valid as long as the store).
inline std::vector<platform::SettingsKey> OpenSlotKeys(platform::MemorySettingsStore& store) {
    const platform::ScopedMemorySettingsStore use(store);
    std::vector<platform::SettingsKey> keys;
    for (const StoredValue& slot : StoredValues())
        keys.push_back(platform::OpenSettingsKey(slot.key).value());
    return keys;
}

struct SettingsState {
    platform::MemorySettingsStore store; // the input's values
    platform::MemorySettingsStore saved; // what the document made from them stores
    std::vector<platform::SettingsKey> slotKeys = OpenSlotKeys(store);
    // The input's last record for each slot (a later record replaces an earlier one),
    // and which slots the input before left in the store.
    std::vector<std::span<const std::uint8_t>> latest =
        std::vector<std::span<const std::uint8_t>>(StoredValues().size());
    std::vector<std::uint8_t> present = std::vector<std::uint8_t>(StoredValues().size());
    std::vector<std::size_t> written;       // the slots the input has records for
    std::vector<std::size_t> writtenBefore; // and those of the input before
    std::unique_ptr<CZentraDoc> before = DocumentBeforeTheStore();
    std::unique_ptr<CZentraDoc> doc = DocumentBeforeTheStore();
    std::unique_ptr<CZentraDoc> again = DocumentBeforeTheStore();
    FieldBytes fields{};    // the stored fields of the input's document, in memory
    StoredImage read{};     // and as stored
    StoredImage readBack{}; // and of the document reading what it stored, as stored
    CheckedFields checked;
    bool newFields = false; // the last input's stored fields had not been seen before
};

inline SettingsState& TheSettingsState() {
    static SettingsState* state = new SettingsState(); // lives for the whole run
    return *state;
}

// Calls visit(slot, bytes) for each record of the input, slot indexing StoredValues().
template <typename Visit>
void ForEachRecord(const std::uint8_t* data, std::size_t size, Visit visit) {
    const std::size_t slots = StoredValues().size();
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::size_t slot = data[at] % slots;
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        visit(slot, std::span<const std::uint8_t>(data + at + 2, length));
        at += 2 + length;
    }
}

// Writes the input's records into the store in use.
inline void WriteRecords(const std::uint8_t* data, std::size_t size) {
    ForEachRecord(data, size, [](std::size_t slot, std::span<const std::uint8_t> bytes) {
        const StoredValue& value = StoredValues()[slot];
        if (const auto key = platform::OpenSettingsKey(value.key))
            platform::WriteSettingsValue(*key, value.name, bytes);
    });
}

// Returns the new document made from the input's store (valid until the next call).
inline CZentraDoc& RunSettingsStore(const std::uint8_t* data, std::size_t size) {
    SettingsState& s = TheSettingsState();
    CZentraDoc& doc = *s.doc;
    {
        const platform::ScopedMemorySettingsStore use(s.store);
        // The store ends as the records written in order would leave it; only what
        // differs from the input before is written or removed, so the values' memory
        // is reused.
        std::swap(s.written, s.writtenBefore);
        s.written.clear();
        for (const std::size_t slot : s.writtenBefore)
            s.present[slot] = 0;
        ForEachRecord(data, size, [&s](std::size_t slot, std::span<const std::uint8_t> bytes) {
            s.latest[slot] = bytes;
            if (!s.present[slot])
                s.written.push_back(slot);
            s.present[slot] = 1;
        });
        for (const std::size_t slot : s.writtenBefore)
            if (!s.present[slot])
                platform::DeleteSettingsValue(s.slotKeys[slot], StoredValues()[slot].name);
        for (const std::size_t slot : s.written)
            platform::WriteSettingsValue(s.slotKeys[slot], StoredValues()[slot].name,
                                         s.latest[slot]);
        ReadStoreAsNewDocument(*s.before, doc);
        RecentFileList recent;
        recent.Load();
        if (recent.Files().size() > kRecentFileCount)
            Fail("more recent files than the list holds", recent.Files().size());
        for (int n = 0; n <= 10; ++n)
            (void)StoredPortDevice(n);
    }
    // Storing and reading back depends on the stored fields alone: fields already
    // stored and read back are not stored again.
    FieldBytesOf(doc, s.fields);
    const std::size_t hash = CheckedFields::Hash(s.fields);
    s.newFields = !s.checked.Contains(s.fields, hash);
    if (!s.newFields)
        return doc;
    // Every stored default is written each time, so nothing of an earlier input stays.
    const platform::ScopedMemorySettingsStore use(s.saved);
    SaveRegistryDefaults(doc);
    SaveCommsSettings(doc);
    ReadStoreAsNewDocument(*s.before, *s.again);
    StoredImageOf(doc, s.read);
    StoredImageOf(*s.again, s.readBack);
    if (s.readBack != s.read)
        Fail("stored defaults do not read back to themselves", s.saved.ValueCount());
    s.checked.Add(s.fields, hash);
    return doc;
}

} // namespace zentra::fuzz
