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
bool Lit(const std::filesystem::path& led) {
    std::ifstream in(led / "brightness");
    int brightness = 0;
    return in >> brightness && brightness > 0;
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
            state.caps = state.caps || Lit(entry.path());
        else if (EndsWith(name, "::numlock"))
            state.num = state.num || Lit(entry.path());
        else if (EndsWith(name, "::scrolllock"))
            state.scroll = state.scroll || Lit(entry.path());
    }
    return state;
}

} // namespace zentra
