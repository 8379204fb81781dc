// zentra-log run in this test process against the in-process meter simulator on a
// pseudo-terminal, in accelerated time (a 50 ms "second"): by the wall clock scaled
// as the program scales it, or by a clock the test steps before every tick.
#pragma once

#include "acquisition/calendar.h"
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "tests/acquisition/logger_process.h"
#include "tests/support/test_support.h"
#include "tools/logger/logger_options.h"
#include "tools/logger/logger_run.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace zentra::logger {

// 2 March 2026 10:00:00 in the tests' time zone (Europe/London, no summer time yet). A
// function: the zone is set as the test program starts, after static initialisation.
inline std::int64_t March2At10() {
    return LocalTimeOf(2026, 3, 2, 10, 0, 0);
}

// An output stream that lets a test react to what the logger has printed so far.
class WatchedStream : public std::ostream {
  public:
    WatchedStream() : std::ostream(&buffer_) {}
    void Watch(std::function<void(const std::string&)> watch) { buffer_.watch = std::move(watch); }
    std::string text() const { return buffer_.str(); }
    void Clear() { buffer_.str(""); }

  private:
    struct Buffer : std::stringbuf {
        std::function<void(const std::string&)> watch;
        std::streamsize xsputn(const char* s, std::streamsize n) override {
            return Notify(std::stringbuf::xsputn(s, n));
        }
        int_type overflow(int_type c) override { return Notify(std::stringbuf::overflow(c)); }
        template <class T> T Notify(T result) {
            if (watch)
                watch(str());
            return result;
        }
    } buffer_;
};

class LoggerRun : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::optional<sim::MeterSimulator> simulator;
    std::optional<test::ScopedEnv> com1;
    WatchedStream out, err;
    std::atomic<bool> stop{false};

    virtual sim::SimOptions SimOptionsFor() { return {}; }
    void SetUp() override {
        simulator.emplace(SimOptionsFor());
        ASSERT_TRUE(simulator->Start()) << simulator->Error();
        com1.emplace("ZENTRA_COM1", simulator->DevicePath().c_str());
    }
    std::vector<std::string> Args(const std::vector<std::string>& extra) const {
        auto args = test::QuickRunArgs({"--out", dir.File("run.ztr")});
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    int Run(const std::vector<std::string>& extra) {
        return LoggerMain(Args(extra), out, err, stop);
    }
    // A run whose clock stands at `start` and moves `step` seconds before every tick,
    // so every sample time is known exactly.
    int RunStepped(const std::vector<std::string>& extra, std::int64_t step = 1,
                   std::int64_t start = March2At10()) {
        const ParsedArguments parsed = ParseArguments(Args(extra));
        EXPECT_EQ(parsed.error, "");
        platform::ManualClock clock(start);
        RunHooks hooks;
        hooks.scaleClock = false;
        hooks.beforeTick = [&] { clock.Advance(step); };
        return RunLogger(parsed.options, out, err, stop, hooks);
    }
    std::unique_ptr<CZentraDoc> ReadBack(const std::string& name = "run.ztr") {
        auto doc = std::make_unique<CZentraDoc>();
        const FileResult opened = OnOpenDocument(*doc, dir.File(name));
        EXPECT_TRUE(opened.ok) << name << ": " << opened.error;
        return doc;
    }
};

} // namespace zentra::logger
