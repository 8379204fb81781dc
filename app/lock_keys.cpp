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

LockLeds FindLockLeds(const std::filesystem::path& ledFolder) {
    LockLeds leds;
    std::error_code error;
    std::filesystem::directory_iterator it(ledFolder, error);
    if (error)
        return leds;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (EndsWith(name, "::capslock"))
            leds.caps.push_back(entry.path());
        else if (EndsWith(name, "::numlock"))
            leds.num.push_back(entry.path());
        else if (EndsWith(name, "::scrolllock"))
            leds.scroll.push_back(entry.path());
    }
    return leds;
}

LockKeyState ReadLockKeys(const LockLeds& leds) {
    LockKeyState state;
    const auto read = [](std::optional<bool>& lock,
                         const std::vector<std::filesystem::path>& list) {
        for (const auto& led : list)
            Merge(lock, Lit(led));
    };
    read(state.caps, leds.caps);
    read(state.num, leds.num);
    read(state.scroll, leds.scroll);
    return state;
}

LockKeyState ReadLockKeys(const std::filesystem::path& ledFolder) {
    return ReadLockKeys(FindLockLeds(ledFolder));
}

} // namespace zentra
