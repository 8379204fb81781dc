#include "app/lock_keys.h"

#include <fstream>
#include <string>

namespace zentra {
namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// An LED's brightness file holds a decimal number; anything above 0 is lit.
// nullopt when the file cannot be read.
std::optional<bool> Lit(const std::filesystem::path& led) {
    std::ifstream in(led / "brightness");
    int brightness = 0;
    if (!(in >> brightness))
        return std::nullopt;
    return brightness > 0;
}

// One more keyboard's LED for a lock: on when any readable LED is lit.
void Merge(std::optional<bool>& lock, std::optional<bool> led) {
    if (led)
        lock = lock.value_or(false) || *led;
}

} // namespace

LockKeyState ReadLockKeys(const std::filesystem::path& ledFolder) {
    LockKeyState state;
    std::error_code error;
    std::filesystem::directory_iterator it(ledFolder, error);
    if (error)
        return state;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (EndsWith(name, "::capslock"))
            Merge(state.caps, Lit(entry.path()));
        else if (EndsWith(name, "::numlock"))
            Merge(state.num, Lit(entry.path()));
        else if (EndsWith(name, "::scrolllock"))
            Merge(state.scroll, Lit(entry.path()));
    }
    return state;
}

} // namespace zentra
