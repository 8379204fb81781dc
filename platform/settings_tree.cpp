#include "platform/settings_tree.h"

#include "platform/file_io.h"

#include <algorithm>
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

} // namespace

// The memory store's values, for the operations below.
class MemoryStoreAccess {
    using Names = MemorySettingsStore::Names;

  public:
    static const std::vector<std::uint8_t>* Find(const SettingsKey& key, std::string_view name) {
        const auto& values = gMemoryStore->values_;
        const auto folder = values.find(key.folder.native());
        if (folder == values.end())
            return nullptr;
        const auto value = folder->second.find(name);
        return value == folder->second.end() ? nullptr : &value->second;
    }
    // Reuses the value's bytes when it exists, so rewriting a store allocates nothing.
    static void Put(const SettingsKey& key, std::string_view name,
                    std::span<const std::uint8_t> bytes) {
        auto& values = gMemoryStore->values_;
        auto folder = values.find(key.folder.native());
        if (folder == values.end())
            folder = values.emplace(key.folder.native(), Names()).first;
        auto value = folder->second.find(name);
        if (value == folder->second.end())
            value = folder->second.emplace(std::string(name), std::vector<std::uint8_t>()).first;
        value->second.assign(bytes.begin(), bytes.end());
    }
    static void Erase(const SettingsKey& key, std::string_view name) {
        auto& values = gMemoryStore->values_;
        if (const auto folder = values.find(key.folder.native()); folder != values.end())
            if (const auto value = folder->second.find(name); value != folder->second.end())
                folder->second.erase(value);
    }
};

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
    std::filesystem::path folder = gMemoryStore ? std::filesystem::path() : SettingsRoot();
    if (folder.empty() && !gMemoryStore)
        return std::nullopt;
    std::string joined; // the memory store's name of the key: its parts joined by backslashes
    bool anyPart = false;
    while (!keyPath.empty()) {
        const std::size_t cut = keyPath.find('\\');
        const std::string_view part = keyPath.substr(0, cut);
        keyPath = cut == std::string_view::npos ? std::string_view() : keyPath.substr(cut + 1);
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
    if (gMemoryStore) // one path component: cheap to build and to copy
        return SettingsKey{std::filesystem::path(std::move(joined))};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error))
        return std::nullopt;
    return SettingsKey{folder};
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
    if (!IsValidValueName(name)) {
        allAdded_ = false;
        return false;
    }
    if (gMemoryStore) {
        MemoryStoreAccess::Put(key, name, bytes);
        return true;
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
    if (gMemoryStore) {
        const auto* bytes = IsValidValueName(name) ? MemoryStoreAccess::Find(key, name) : nullptr;
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
    if (!IsValidValueName(name))
        return std::nullopt;
    if (gMemoryStore) {
        const auto* bytes = MemoryStoreAccess::Find(key, name);
        return bytes ? std::optional<std::size_t>(bytes->size()) : std::nullopt;
    }
    struct stat info {};
    const std::filesystem::path file = key.folder / std::string(name);
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::size_t>(info.st_size);
}

std::optional<std::vector<std::uint8_t>>
ReadSettingsValue(const SettingsKey& key, std::string_view name, std::size_t maxSize) {
    if (!IsValidValueName(name))
        return std::nullopt;
    if (gMemoryStore) {
        const auto* bytes = MemoryStoreAccess::Find(key, name);
        if (!bytes || bytes->size() > maxSize)
            return std::nullopt;
        return *bytes;
    }
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
    if (gMemoryStore) {
        MemoryStoreAccess::Erase(key, name);
        return true;
    }
    const std::filesystem::path file = key.folder / std::string(name);
    return ::unlink(file.c_str()) == 0 || errno == ENOENT;
}

} // namespace zentra::platform
