// A save that cannot complete never damages the project file it was to replace, and
// says why: a medium that fills up half-way, a medium that is read-only (for any user,
// the superuser included), and a program killed in the middle of writing.
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "tests/document/document_test_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zentra {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::FilesIn;
using test::ReadBytes;

// Runs `child` in a forked process that reports "key=value" lines; returns them.
template <class Child> std::map<std::string, std::string> InChild(Child child) {
    int report[2];
    if (pipe(report) != 0)
        return {{"error", "pipe"}};
    const pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        auto say = [fd = report[1]](const std::string& key, const std::string& value) {
            const std::string line = key + "=" + value + "\n";
            (void)!write(fd, line.data(), line.size());
        };
        child(say);
        _exit(0);
    }
    close(report[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(report[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::map<std::string, std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (const auto eq = line.find('='); eq != std::string::npos)
            lines[line.substr(0, eq)] = line.substr(eq + 1);
    return lines;
}

class SaveFailure : public ::testing::Test {
  protected:
    const test::ScopedUserFolders folders_;
    platform::ManualClock clock_{1'357'394'589};
    test::TempDir dir_;
};

TEST_F(SaveFailure, AFullMediumAndAReadOnlyMediumKeepThePreviousFileAndSayWhy) {
    // A small memory file system of its own, in a mount namespace of its own, so the
    // medium really fills up and really is read-only, whoever runs the test.
    const std::string medium = dir_.File("medium");
    fs::create_directories(medium);
    const auto report = InChild([&](auto say) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", medium.c_str(), "tmpfs", 0, "size=2m") != 0) {
            say("skip", std::strerror(errno));
            return;
        }
        const std::string path = medium + "/site.ztr";
        auto doc = new CZentraDoc(); // left for the process's end: no stored defaults written
        doc->OnNewDocument();
        SetText(doc->m_ProjectName, "Old contents");
        say("first", OnSaveDocument(*doc, path).ok ? "saved" : "failed");
        const Bytes before = ReadBytes(path);

        // Room for the file, not for a second copy beside it.
        SetText(doc->m_ProjectName, "New contents");
        doc->m_SampleCount = 9;
        doc->SetModifiedFlag(true);
        FileResult full = OnSaveDocument(*doc, path);
        say("full", full.ok ? "saved" : full.error);
        say("full_intact", ReadBytes(path) == before ? "yes" : "no");
        say("full_files", std::to_string(FilesIn(medium)));
        say("full_modified", doc->IsModified() ? "yes" : "no");

        if (mount(nullptr, medium.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            say("ro", std::string("cannot remount: ") + std::strerror(errno));
            return;
        }
        FileResult readOnly = OnSaveDocument(*doc, path);
        say("ro", readOnly.ok ? "saved" : readOnly.error);
        say("ro_intact", ReadBytes(path) == before ? "yes" : "no");
        say("ro_path", doc->m_PathName);
    });
    if (report.count("skip"))
        GTEST_SKIP() << "no private mount possible here: " << report.at("skip");

    EXPECT_EQ(report.at("first"), "saved");
    const std::string path = medium + "/site.ztr";
    EXPECT_EQ(report.at("full"), "Cannot save \"" + path + "\": " + std::strerror(ENOSPC) + ".");
    EXPECT_EQ(report.at("full_intact"), "yes");
    EXPECT_EQ(report.at("full_files"), "1"); // the half-written copy is gone
    EXPECT_EQ(report.at("full_modified"), "yes");
    EXPECT_EQ(report.at("ro"), "Cannot save \"" + path + "\": " + std::strerror(EROFS) + ".");
    EXPECT_EQ(report.at("ro_intact"), "yes");
    EXPECT_EQ(report.at("ro_path"), path); // still the file it was saved to before
}

TEST_F(SaveFailure, AProgramKilledWhileSavingLeavesAWholeFileOfOneVersion) {
    const std::string path = dir_.File("run.ztr");
    auto doc = test::NewDocument();
    auto version = [&doc](int v) {
        SetText(doc->m_ProjectName, ("version " + std::to_string(v)).c_str());
        doc->m_SampleCount = v % kMaxSamples;
        doc->m_SampleTimes[kMaxSamples - 1] = v; // the file's last bytes
    };
    version(0);
    ASSERT_TRUE(OnSaveDocument(*doc, path).ok);

    int kills = 0;
    for (int round = 0; round < 8; ++round) {
        const pid_t saver = fork();
        ASSERT_GE(saver, 0);
        if (saver == 0) {
            for (int v = 1;; ++v) { // saves until killed
                version(round * 100'000 + v);
                OnSaveDocument(*doc, path);
            }
        }
        usleep(static_cast<useconds_t>(3'000 + round * 4'000)); // into a save, somewhere
        kill(saver, SIGKILL);
        int status = 0;
        waitpid(saver, &status, 0);
        kills += WIFSIGNALED(status) ? 1 : 0;

        auto opened = std::make_unique<CZentraDoc>();
        const FileResult result = OnOpenDocument(*opened, path);
        ASSERT_TRUE(result.ok) << "round " << round << ": " << result.error;
        const std::string name = opened->m_ProjectName.data();
        ASSERT_EQ(name.rfind("version ", 0), 0u) << name;
        const int v = std::stoi(name.substr(8));
        EXPECT_EQ(opened->m_SampleTimes[kMaxSamples - 1], v) << "a file of two versions";
        EXPECT_EQ(opened->m_SampleCount, v % kMaxSamples);
    }
    EXPECT_EQ(kills, 8);
    RecordProperty("temporary_files_left", static_cast<int>(FilesIn(dir_.path()) - 1));
}

TEST_F(SaveFailure, TemporaryFilesOfSavesCutOffLongAgoAreTidiedAway) {
    // What saves cut off by a kill leave behind: their temporary files, an hour old
    // and a minute old; and a file of the user's that only looks similar.
    const auto stamp = [](const std::string& path, std::chrono::minutes age) {
        std::ofstream(path) << "half a project";
        fs::last_write_time(path, fs::file_time_type::clock::now() - age);
    };
    stamp(dir_.File(".zentra-save-4242-0.tmp"), std::chrono::minutes(61));
    stamp(dir_.File(".zentra-save-4242-1.tmp"), std::chrono::minutes(1));
    stamp(dir_.File("notes.tmp"), std::chrono::minutes(600));

    ASSERT_TRUE(OnSaveDocument(*test::NewDocument(), dir_.File("site.ztr")).ok);
    EXPECT_FALSE(fs::exists(dir_.File(".zentra-save-4242-0.tmp")));
    EXPECT_TRUE(fs::exists(dir_.File(".zentra-save-4242-1.tmp"))); // may be a save going on
    EXPECT_TRUE(fs::exists(dir_.File("notes.tmp")));
}

} // namespace
} // namespace zentra
