// The Debian package as a cabinet PC gets it: unpacked into a folder of its own, it
// holds the programs, the desktop entry, the project type, the icons, the survey
// service and the man pages, names the libraries it needs, and its zentra-probe and
// zentra-log work against the simulated meter.
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "tests/acquisition/logger_process.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace zentra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What a command prints, and whether it succeeded.
std::pair<bool, std::string> Output(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {false, text};
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        text += buffer.data();
    return {::pclose(pipe) == 0, text};
}

using test::FileText;

class DebianPackage : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = std::make_unique<test::TempDir>();
        const auto [ok, text] = Output("dpkg-deb -x '" + std::string(ZENTRA_PACKAGE_FILE) + "' '" +
                                       root_->path() + "' 2>&1");
        unpacked_ = ok;
        unpackText_ = text;
    }
    static void TearDownTestSuite() { root_.reset(); }
    void SetUp() override { ASSERT_TRUE(unpacked_) << ZENTRA_PACKAGE_FILE << ": " << unpackText_; }
    static fs::path Root() { return root_->path(); }

    static inline std::unique_ptr<test::TempDir> root_;
    static inline bool unpacked_ = false;
    static inline std::string unpackText_;
};

TEST_F(DebianPackage, HoldsTheProgramsTheirDesktopFilesTheServiceAndTheManPages) {
    for (const char* file :
         {"usr/bin/zentra", "usr/bin/zentra-log", "usr/bin/zentra-probe", "usr/bin/zentra-sim",
          "usr/bin/zentra-report",
          "usr/share/applications/zentra.desktop", "usr/share/mime/packages/zentra.xml",
          "usr/share/icons/hicolor/scalable/apps/zentra.svg",
          "usr/share/icons/hicolor/scalable/mimetypes/application-x-zentra-project.svg",
          "usr/lib/systemd/system/zentra-log@.service",
          "usr/share/doc/zentra/examples/zentra-log.conf",
          "usr/lib/systemd/system/zentra-survey@.service",
          "usr/share/doc/zentra/examples/site.toml.example"})
        EXPECT_TRUE(fs::is_regular_file(Root() / file)) << file;
    for (const char* page : {"zentra", "zentra-log", "zentra-probe", "zentra-sim", "zentra-report"}) {
        const fs::path gz = Root() / "usr/share/man/man1" / (std::string(page) + ".1.gz");
        const auto [ok, text] = Output("gzip -dc '" + gz.string() + "'");
        EXPECT_TRUE(ok) << gz;
        EXPECT_NE(text.find(".SH NAME"), std::string::npos) << gz;
    }
    // The desktop entry opens projects of the type the package registers.
    EXPECT_NE(FileText(Root() / "usr/share/applications/zentra.desktop")
                  .find("MimeType=application/x-zentra-project;"),
              std::string::npos);
    EXPECT_NE(FileText(Root() / "usr/share/mime/packages/zentra.xml").find("*.ztr"),
              std::string::npos);
    const std::string unit = FileText(Root() / "usr/lib/systemd/system/zentra-log@.service");
    for (const char* line : {"EnvironmentFile=/etc/zentra/%i.conf", "Restart=on-failure",
                             "KillSignal=SIGTERM", "--roll"})
        EXPECT_NE(unit.find(line), std::string::npos) << line;
    // The survey of a site's meters reads its file and waits for the network; a wrong
    // file is not retried.
    const std::string survey = FileText(Root() / "usr/lib/systemd/system/zentra-survey@.service");
    for (const char* line : {"ExecStart=zentra-log --config /etc/zentra/%i.toml",
                             "Wants=network-online.target", "network-online.target\n",
                             "RestartPreventExitStatus=2", "Restart=on-failure",
                             "StateDirectory=zentra/%i", "KillSignal=SIGTERM"})
        EXPECT_NE(survey.find(line), std::string::npos) << line;

    // The dependencies were computed from the programs' libraries.
    const auto [ok, depends] =
        Output("dpkg-deb -f '" + std::string(ZENTRA_PACKAGE_FILE) + "' Depends");
    ASSERT_TRUE(ok);
    for (const char* library :
         {"libc6", "libstdc++6", "libqt6widgets6", "qt6-qpa-plugins", "libtomlplusplus3"})
        EXPECT_NE(depends.find(library), std::string::npos) << depends;
}

TEST_F(DebianPackage, ItsProbeAndLoggerWorkAgainstTheSimulatedMeter) {
    sim::MeterSimulator simulator;
    ASSERT_TRUE(simulator.Start()) << simulator.Error();
    const test::TempDir dir;
    const auto env = test::LoggerEnvironment(dir.path(), simulator.DevicePath());

    test::LoggerProcess probe({"COM1", "--latency", "50"}, env,
                              (Root() / "usr/bin/zentra-probe").string());
    ASSERT_TRUE(probe.started());
    EXPECT_EQ(probe.Wait(30s), 0) << probe.Output() << probe.Errors();
    EXPECT_NE(probe.Output().find("760"), std::string::npos) << probe.Output(); // the model

    const std::string out = dir.File("run.ztr");
    test::LoggerProcess logger(
        test::QuickRunArgs({"--samples", "3", "--out", out, "--csv", dir.File("run.csv")}), env,
        (Root() / "usr/bin/zentra-log").string());
    ASSERT_TRUE(logger.started());
    ASSERT_EQ(logger.Wait(30s), 0) << logger.Output() << logger.Errors();
    auto doc = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*doc, out).ok);
    EXPECT_EQ(doc->m_SampleCount, 3);
    EXPECT_EQ(doc->m_Locked, 1);
    EXPECT_TRUE(fs::exists(dir.File("run.csv")));

    // The packaged report program makes the survey report of that run.
    test::LoggerProcess report({out, "-o", dir.File("run.pdf"), "--json", dir.File("run.json")}, env,
                               (Root() / "usr/bin/zentra-report").string());
    ASSERT_TRUE(report.started());
    EXPECT_EQ(report.Wait(30s), 0) << report.Output() << report.Errors();
    EXPECT_NE(FileText(dir.File("run.pdf")).rfind("%PDF", 0), std::string::npos);
    EXPECT_NE(FileText(dir.File("run.json")).find("\"samples\": 3"), std::string::npos);
}

} // namespace
} // namespace zentra
