#include "tests/support/test_support.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace zentra::test {

TempDir::TempDir() {
    std::string base = std::filesystem::temp_directory_path().string() + "/zentra-test-XXXXXX";
    if (!mkdtemp(base.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = base;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name))
        previous_ = old;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (previous_)
        setenv(name_.c_str(), previous_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

ScopedUserFolders::ScopedUserFolders()
    : config_("XDG_CONFIG_HOME", (dir_.path() + "/config").c_str()),
      state_("XDG_STATE_HOME", (dir_.path() + "/state").c_str()) {
    std::filesystem::create_directories(dir_.path() + "/config");
    std::filesystem::create_directories(dir_.path() + "/state");
}

ScriptedMessages::ScriptedMessages() {
    platform::SetMessageHandler([this](const platform::Message& message) {
        shown_.push_back(message);
        if (message.buttons == platform::MessageButtons::Ok)
            return platform::MessageAnswer::Ok;
        if (answers_.empty())
            return platform::MessageAnswer::No;
        auto answer = answers_.front();
        answers_.pop_front();
        return answer;
    });
}

ScriptedMessages::~ScriptedMessages() {
    platform::SetMessageHandler({});
}

void PrepareTestProcess() {
    static TempDir* folders = nullptr; // lives until exit
    if (folders)
        return;
    setenv("TZ", "Europe/London", 1);
    tzset();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ZENTRA_SCREENSHOT_DIR", ZENTRA_DEFAULT_SCREENSHOT_DIR, 0);
    folders = new TempDir();
    const std::string config = folders->path() + "/config";
    const std::string state = folders->path() + "/state";
    std::filesystem::create_directories(config);
    std::filesystem::create_directories(state);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    setenv("HOME", folders->path().c_str(), 1);
    std::atexit([] { delete folders; });
}

std::string ScreenshotDir() {
    const char* dir = std::getenv("ZENTRA_SCREENSHOT_DIR");
    std::string path =
        dir ? dir : (std::filesystem::temp_directory_path().string() + "/zentra-shots");
    std::filesystem::create_directories(path);
    return path;
}

} // namespace zentra::test
