#include "document/reg_funcs.h"

namespace zentra {

RegKey RegFuncs::OpenKey(std::string_view subKeyPath) const {
    return platform::OpenSettingsKey(subKeyPath);
}

bool RegFuncs::SetValue(const RegKey& key, std::string_view name,
                        std::span<const std::uint8_t> data,
                        platform::SettingsWriteBatch* batch) const {
    if (!key)
        return false;
    return batch ? batch->Add(*key, name, data) : platform::WriteSettingsValue(*key, name, data);
}

bool RegFuncs::GetValue(const RegKey& key, std::string_view name,
                        std::span<std::uint8_t> field) const {
    if (!key)
        return false;
    // A larger value does not fit and is not taken.
    return platform::ReadSettingsValueInto(*key, name, field).has_value();
}

} // namespace zentra
