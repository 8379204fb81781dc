// Helpers shared by the tests: temporary folders, environment overrides and scripted
// answers for the message-box seam.
#pragma once

#include "platform/message_box.h"

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentra::test {

// A fresh folder under the build tree's temporary area, removed with its contents.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets an environment variable for the lifetime of the object (unset when value is null).
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Points XDG_CONFIG_HOME and XDG_STATE_HOME at a private temporary folder.
class ScopedUserFolders {
  public:
    ScopedUserFolders();
    const std::string& root() const { return dir_.path(); }
    std::string ConfigHome() const { return dir_.path() + "/config"; }
    std::string StateHome() const { return dir_.path() + "/state"; }

  private:
    TempDir dir_;
    ScopedEnv config_;
    ScopedEnv state_;
};

// Records every message shown through the seam and answers from a script
// (Ok for plain messages; queued answers, else No, for questions).
class ScriptedMessages {
  public:
    ScriptedMessages();
    ~ScriptedMessages();
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    void QueueAnswer(platform::MessageAnswer answer) { answers_.push_back(answer); }
    const std::vector<platform::Message>& shown() const { return shown_; }
    void Clear() { shown_.clear(); }
    // Text of the last message shown, or empty.
    std::string LastText() const { return shown_.empty() ? std::string() : shown_.back().text; }
    std::string LastCaption() const {
        return shown_.empty() ? std::string() : shown_.back().caption;
    }

  private:
    std::deque<platform::MessageAnswer> answers_;
    std::vector<platform::Message> shown_;
};

// Sets up a test process before any test runs: headless Qt, the fixed time zone
// Europe/London, and configuration, state and home folders of its own (removed at
// exit), so that documents, which read and write the stored defaults, never share
// them with another test process or with the user.
void PrepareTestProcess();

// Folder for PNG screenshots written by tests (created on demand).
std::string ScreenshotDir();

// Whether a message holds a phrase.
inline bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

} // namespace zentra::test
