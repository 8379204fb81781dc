// Thin access to the user's settings store: keys that are created when opened and
// binary values that mirror document fields byte for byte.
#pragma once

#include "platform/settings_tree.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zentra {

// An open key, or nullopt ("null") when it could not be opened. Closing is leaving
// the scope.
using RegKey = std::optional<platform::SettingsKey>;

// Root of the program's keys in the store.
inline constexpr std::string_view kRegistryRoot = "Software\\Corvane\\Zentra";

class RegFuncs {
  public:
    virtual ~RegFuncs() = default;

    // Opens the key at the path, creating it when missing; nullopt on any failure.
    RegKey OpenKey(std::string_view subKeyPath) const;

    // Stores the bytes as the named binary value. True on success; false for a null
    // key or a failed write (the stored bytes are then unchanged). With a batch the
    // value is staged and takes its place when the batch is committed.
    bool SetValue(const RegKey& key, std::string_view name, std::span<const std::uint8_t> data,
                  platform::SettingsWriteBatch* batch = nullptr) const;

    // Reads a value into the front of the field: true only when the value exists and
    // is no larger than the field. A shorter value replaces only the field's first
    // bytes. On false the field is not changed.
    bool GetValue(const RegKey& key, std::string_view name, std::span<std::uint8_t> field) const;
};

} // namespace zentra
