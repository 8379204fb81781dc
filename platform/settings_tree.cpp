#include "platform/settings_tree.h"

#include "platform/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zentra::platform {
namespace {

bool IsValidPart(std::string_view part) {
    return !part.empty() && part != "." && part != ".." &&
           part.find('/') == std::string_view::npos && part.find('\0') == std::string_view::npos;
}

MemorySettingsStore* gMemoryStore = nullptr; // the store in use; null: the folder tree
std::atomic<int> gKeysNotCreated{0};         // ScopedSettingsKeysNotCreated alive

} // namespace

// The memory store's keys, for the operations below.
class MemoryStoreAccess {
  public:
    // The key's values in the store in use, created empty when missing.
    static MemorySettingsValues& Folder(std::string_view name) {
        auto& folders = gMemoryStore->values_;
        auto folder = folders.find(name);
        if (folder == folders.end())
            folder = folders.emplace(std::string(name), MemorySettingsValues()).first;
        return folder->second;
    }
    // The key opened before with exactly this path, if any.
    static MemorySettingsValues* Opened(std::string_view keyPath) {
        const auto& opened = gMemoryStore->opened_;
        const auto found = opened.find(keyPath);
        return found == opened.end() ? nullptr : found->second;
    }
    static void Remember(std::string_view keyPath, MemorySettingsValues& values) {
        gMemoryStore->opened_.emplace(std::string(keyPath), &values);
    }
};

namespace {

// Where an operation on the key works: the memory store the key was opened on, or the
// folder tree; a key of the tree is refused while a memory store is in use, since
// nothing is then to reach the disk.
enum class Where { Tree, Memory, Refused };

Where WhereFor(const SettingsKey& key) {
    if (key.memory)
        return Where::Memory;
    return gMemoryStore ? Where::Refused : Where::Tree;
}

// The value in the memory store, or null (also for a refused key, which has none).
const std::vector<std::uint8_t>* FindInMemory(const SettingsKey& key, std::string_view name) {
    if (!key.memory || key.memory->empty()) // most keys of a sparse store: no name to hash
        return nullptr;
    const auto value = key.memory->find(name);
    return value == key.memory->end() ? nullptr : &value->second;
}

// Reuses the value's bytes when it exists, so rewriting a store allocates nothing. A
// name is checked when its value is created; a name that is not usable is therefore
// never found, and reads need not check it again.
bool PutInMemory(const SettingsKey& key, std::string_view name,
                 std::span<const std::uint8_t> bytes) {
    auto value = key.memory->find(name);
    if (value == key.memory->end()) {
        if (!IsValidPart(name))
            return false;
        value = key.memory->emplace(std::string(name), std::vector<std::uint8_t>()).first;
    }
    value->second.assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace

std::size_t MemorySettingsStore::ValueCount() const {
    std::size_t count = 0;
    for (const auto& [folder, names] : values_)
        count += names.size();
    return count;
}

ScopedMemorySettingsStore::ScopedMemorySettingsStore(MemorySettingsStore& store)
    : previous_(std::exchange(gMemoryStore, &store)) {}

ScopedMemorySettingsStore::~ScopedMemorySettingsStore() {
    gMemoryStore = previous_;
}

std::filesystem::path SettingsRoot() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return std::filesystem::path(config);
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::filesystem::path(home) / ".config";
    return {};
}

std::optional<SettingsKey> OpenSettingsKey(std::string_view keyPath) {
    if (gMemoryStore)
        if (MemorySettingsValues* values = MemoryStoreAccess::Opened(keyPath))
            return SettingsKey{{}, values};
    std::filesystem::path folder = gMemoryStore ? std::filesystem::path() : SettingsRoot();
    if (folder.empty() && !gMemoryStore)
        return std::nullopt;
    std::string joined; // the memory store's name of the key: its parts joined by backslashes
    bool anyPart = false;
    for (std::string_view rest = keyPath; !rest.empty();) {
        const std::size_t cut = rest.find('\\');
        const std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (part.empty())
            continue;
        if (!IsValidPart(part))
            return std::nullopt;
        if (gMemoryStore) {
            if (anyPart)
                joined += '\\';
            joined += part;
        } else {
            folder /= std::string(part);
        }
        anyPart = true;
    }
    if (!anyPart)
        return std::nullopt;
    if (gMemoryStore) {
        MemorySettingsValues& values = MemoryStoreAccess::Folder(joined);
        MemoryStoreAccess::Remember(keyPath, values);
        return SettingsKey{{}, &values};
    }
    std::error_code error;
    if (gKeysNotCreated.load() == 0)
        std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error))
        return std::nullopt;
    return SettingsKey{folder};
}

ScopedSettingsKeysNotCreated::ScopedSettingsKeysNotCreated() {
    ++gKeysNotCreated;
}

ScopedSettingsKeysNotCreated::~ScopedSettingsKeysNotCreated() {
    --gKeysNotCreated;
}

bool IsValidValueName(std::string_view name) {
    return IsValidPart(name);
}

SettingsWriteBatch::~SettingsWriteBatch() {
    for (const Staged& staged : staged_)
        ::unlink(staged.temp.c_str());
}

bool SettingsWriteBatch::Add(const SettingsKey& key, std::string_view name,
                             std::span<const std::uint8_t> bytes) {
    if (const Where where = WhereFor(key); where != Where::Tree) {
        const bool put = where == Where::Memory && PutInMemory(key, name, bytes);
        allAdded_ = allAdded_ && put;
        return put;
    }
    if (!IsValidValueName(name)) {
        allAdded_ = false;
        return false;
    }
    std::string temp = (key.folder / ".zentra-value-XXXXXX").string();
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid()) {
        allAdded_ = false;
        return false;
    }
    const bool written = WriteAll(fd.get(), bytes) == 0;
    if (fd.Close() != 0 || !written) {
        ::unlink(temp.c_str());
        allAdded_ = false;
        return false;
    }
    staged_.push_back({std::move(temp), key.folder / std::string(name)});
    return true;
}

bool SettingsWriteBatch::Commit() {
    std::vector<Staged> staged = std::move(staged_);
    staged_.clear();
    bool ok = std::exchange(allAdded_, true);
    if (staged.empty())
        return ok;
    // One value: sync its file. Several: sync the file system they live on once
    // (falling back to a sync per file).
    bool synced = false;
    {
        UniqueFd first(::open(staged.front().temp.c_str(), O_RDONLY | O_CLOEXEC));
        if (first.valid())
            synced = staged.size() == 1 ? ::fsync(first.get()) == 0 : ::syncfs(first.get()) == 0;
    }
    for (const Staged& item : staged) {
        bool itemSynced = synced;
        if (!itemSynced) {
            UniqueFd fd(::open(item.temp.c_str(), O_RDONLY | O_CLOEXEC));
            itemSynced = fd.valid() && ::fsync(fd.get()) == 0;
        }
        if (!itemSynced || ::rename(item.temp.c_str(), item.target.c_str()) != 0) {
            ::unlink(item.temp.c_str());
            ok = false;
        }
    }
    return ok;
}

bool WriteSettingsValue(const SettingsKey& key, std::string_view name,
                        std::span<const std::uint8_t> bytes) {
    // The rename is atomic; the folder itself is not synced.
    SettingsWriteBatch batch;
    return batch.Add(key, name, bytes) && batch.Commit();
}

std::optional<std::size_t> ReadSettingsValueInto(const SettingsKey& key, std::string_view name,
                                                 std::span<std::uint8_t> field) {
    if (WhereFor(key) != Where::Tree) {
        const auto* bytes = FindInMemory(key, name);
        if (!bytes || bytes->size() > field.size())
            return std::nullopt;
        std::copy(bytes->begin(), bytes->end(), field.begin());
        return bytes->size();
    }
    // The read itself refuses a missing value and one larger than the field.
    const auto bytes = ReadSettingsValue(key, name, field.size());
    if (!bytes)
        return std::nullopt;
    std::copy(bytes->begin(), bytes->end(), field.begin());
    return bytes->size();
}

std::optional<std::size_t> SettingsValueSize(const SettingsKey& key, std::string_view name) {
    if (WhereFor(key) != Where::Tree) {
        const auto* bytes = FindInMemory(key, name);
        return bytes ? std::optional<std::size_t>(bytes->size()) : std::nullopt;
    }
    if (!IsValidValueName(name))
        return std::nullopt;
    struct stat info {};
    const std::filesystem::path file = key.folder / std::string(name);
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::size_t>(info.st_size);
}

std::optional<std::vector<std::uint8_t>>
ReadSettingsValue(const SettingsKey& key, std::string_view name, std::size_t maxSize) {
    if (WhereFor(key) != Where::Tree) {
        const auto* bytes = FindInMemory(key, name);
        if (!bytes || bytes->size() > maxSize)
            return std::nullopt;
        return *bytes;
    }
    if (!IsValidValueName(name))
        return std::nullopt;
    const std::filesystem::path file = key.folder / std::string(name);
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    // One byte more than allowed tells a larger value apart from one that fits.
    std::vector<std::uint8_t> bytes(maxSize + 1);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    if (done > maxSize)
        return std::nullopt;
    bytes.resize(done);
    return bytes;
}

bool DeleteSettingsValue(const SettingsKey& key, std::string_view name) {
    if (!IsValidValueName(name))
        return false;
    if (const Where where = WhereFor(key); where != Where::Tree) {
        if (where == Where::Refused)
            return false;
        if (const auto value = key.memory->find(name); value != key.memory->end())
            key.memory->erase(value);
        return true;
    }
    const std::filesystem::path file = key.folder / std::string(name);
    return ::unlink(file.c_str()) == 0 || errno == ENOENT;
}

} // namespace zentra::platform
