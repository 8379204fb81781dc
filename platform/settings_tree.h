// The user's settings store: a tree of keys holding named binary values, kept as a
// folder tree under $XDG_CONFIG_HOME (default ~/.config). A key path such as
// "Software\Corvane\Zentra\ini" is the folder Software/Corvane/Zentra/ini; each value
// is one file in its key's folder holding exactly the value's bytes. Values are
// replaced atomically (temporary file, fsync, rename), so a crash leaves either the
// old or the new bytes, never a torn value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zentra::platform {

// Hashed, not ordered: key folders share long prefixes ("...\\Graph1", "...\\Graph2"),
// so an ordered look-up would compare a dozen of them in full.
struct SettingsNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        return std::hash<std::string_view>{}(name);
    }
};
template <typename T>
using SettingsByName = std::unordered_map<std::string, T, SettingsNameHash, std::equal_to<>>;
// One key of a memory store (below): its values by name.
using MemorySettingsValues = SettingsByName<std::vector<std::uint8_t>>;

// An open key: the folder that holds its values, or for a key of a memory store, that
// key's values in the store (which the key must not outlive).
struct SettingsKey {
    std::filesystem::path folder;
    MemorySettingsValues* memory = nullptr;
};

// Folder under which the key tree lives: $XDG_CONFIG_HOME when it is set to an
// absolute path, otherwise $HOME/.config; empty when neither can be found.
std::filesystem::path SettingsRoot();

// Opens a key, creating it (and its parents) when missing. Key paths are separated
// by backslashes; empty parts are ignored. Parts "." and ".." and parts holding a
// slash or a NUL are refused, so a key can never leave the tree. Any failure gives
// nullopt.
std::optional<SettingsKey> OpenSettingsKey(std::string_view keyPath);

// While one exists (on any thread), OpenSettingsKey opens only keys that exist in the
// folder tree and creates none: a program that only reads the store (zentra-log,
// zentra-probe) leaves no empty folders behind in it. A missing key then gives nullopt,
// which readers take as "no stored values". Nests.
class ScopedSettingsKeysNotCreated {
  public:
    ScopedSettingsKeysNotCreated();
    ~ScopedSettingsKeysNotCreated();
    ScopedSettingsKeysNotCreated(const ScopedSettingsKeysNotCreated&) = delete;
    ScopedSettingsKeysNotCreated& operator=(const ScopedSettingsKeysNotCreated&) = delete;
};

// True when a value name is usable as a file in a key folder (not empty, not "." or
// "..", no slash, no NUL).
bool IsValidValueName(std::string_view name);

// Several values replaced together with one flush to disk: each value goes to a
// temporary file in its key folder, the file system is synced once, and then every
// file is renamed over its value. Each value is still replaced atomically; storing
// the two hundred values of the defaults costs one flush instead of two hundred.
class SettingsWriteBatch {
  public:
    SettingsWriteBatch() = default;
    ~SettingsWriteBatch(); // discards what was not committed
    SettingsWriteBatch(const SettingsWriteBatch&) = delete;
    SettingsWriteBatch& operator=(const SettingsWriteBatch&) = delete;

    // Writes the bytes to a temporary file; false (and nothing staged) on failure.
    bool Add(const SettingsKey& key, std::string_view name, std::span<const std::uint8_t> bytes);

    // Flushes and renames everything staged. True when every Add and every rename
    // succeeded; a value whose rename failed keeps its previous bytes.
    bool Commit();

  private:
    struct Staged {
        std::string temp; // empty for a value staged for the memory store
        std::filesystem::path target;
    };

    std::vector<Staged> staged_;
    bool allAdded_ = true;
};

// Replaces (or creates) a value with exactly the given bytes. False on any failure;
// the previous bytes then stay as they were.
bool WriteSettingsValue(const SettingsKey& key, std::string_view name,
                        std::span<const std::uint8_t> bytes);

// Copies a stored value into the front of the field when it exists and is no larger
// than the field; returns its size, or nullopt (the field untouched) otherwise.
std::optional<std::size_t> ReadSettingsValueInto(const SettingsKey& key, std::string_view name,
                                                 std::span<std::uint8_t> field);

// Size in bytes of a stored value, or nullopt when it does not exist.
std::optional<std::size_t> SettingsValueSize(const SettingsKey& key, std::string_view name);

// The bytes of a stored value when it exists and holds at most maxSize bytes;
// nullopt when it is absent, unreadable or larger.
std::optional<std::vector<std::uint8_t>>
ReadSettingsValue(const SettingsKey& key, std::string_view name, std::size_t maxSize);

// Removes a value; true when it is gone afterwards (also when it never existed).
bool DeleteSettingsValue(const SettingsKey& key, std::string_view name);

// A store held in memory instead of the folder tree, for tests and fuzzing, where the
// file system would cost far more than the code that reads the values. While one is
// in use every operation above works on it alone and nothing is created on disk (a key
// of the folder tree is refused); a key is then named by its path with the empty parts
// left out (such as "Software\\Corvane\\Zentra\\ini"), and no environment is needed.
// Nothing can tear in memory, so a value added to a write batch takes its place at once.
// The folder tree is the store whenever no memory store is in use. A key opened on a
// memory store holds its values directly (a read is one look-up by value name) and works
// on that store alone, so it must not outlive the store.
class MemorySettingsStore {
  public:
    MemorySettingsStore() = default;
    MemorySettingsStore(const MemorySettingsStore&) = delete;
    MemorySettingsStore& operator=(const MemorySettingsStore&) = delete;

    std::size_t ValueCount() const;

    // Every value, by key folder and value name (for comparing two stores).
    using Values = SettingsByName<MemorySettingsValues>;
    const Values& values() const { return values_; }

  private:
    friend class MemoryStoreAccess;
    Values values_;
    // Every key path opened so far, exactly as given, with its key: a path is checked
    // and its parts joined only the first time (the readers open the same keys again
    // and again).
    SettingsByName<MemorySettingsValues*> opened_;
};

// Makes the store the one every settings operation uses until the object goes; the
// store in use before comes back then. The store must outlive the object.
class ScopedMemorySettingsStore {
  public:
    explicit ScopedMemorySettingsStore(MemorySettingsStore& store);
    ~ScopedMemorySettingsStore();
    ScopedMemorySettingsStore(const ScopedMemorySettingsStore&) = delete;
    ScopedMemorySettingsStore& operator=(const ScopedMemorySettingsStore&) = delete;

  private:
    MemorySettingsStore* previous_ = nullptr;
};

} // namespace zentra::platform
