// A stop (Ctrl+C, SIGTERM) while zentra-log waits on the network: connecting to a
// gateway that does not answer, before logging began and while logging, is cut short
// at once; a stop before logging began ends with status 0, as during identification.
#include "tests/acquisition/logger_run_fixture.h"
#include "tests/support/loopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zentra::logger {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class LoggerOverNetwork : public LoggerRun {
  protected:
    sim::SimOptions SimOptionsFor() override {
        sim::SimOptions options;
        options.transport = sim::SimTransport::RtuOverTcp;
        return options;
    }
};

// Sets the stop flag `delay` after it is armed, and remembers when.
class DelayedStop {
  public:
    explicit DelayedStop(std::atomic<bool>& stop) : stop_(stop) {}
    ~DelayedStop() {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    void Arm(std::chrono::milliseconds delay) {
        if (thread_.joinable())
            return;
        thread_ = std::thread([this, delay] {
            const auto until = Clock::now() + delay;
            while (!done_ && Clock::now() < until)
                std::this_thread::sleep_for(5ms);
            stoppedAt_ = Clock::now();
            stop_ = true;
        });
    }
    // From the stop to now.
    std::chrono::milliseconds Since() {
        if (thread_.joinable())
            thread_.join();
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stoppedAt_);
    }

  private:
    std::atomic<bool>& stop_;
    std::atomic<bool> done_{false};
    Clock::time_point stoppedAt_{};
    std::thread thread_;
};

struct StopCase {
    const char* stage;
    bool whileLogging; // the gateway goes silent after three samples
    int status;
    const char* says;
};

TEST_F(LoggerOverNetwork, AStopDuringAConnectionAttemptIsHonouredAtOnce) {
    // A listener whose queue is full: a connection attempt to it is never answered.
    test::LoopbackListener silent(0);
    ASSERT_TRUE(silent.ok() && silent.FillQueue());
    for (const StopCase& c : {
             StopCase{"connect", false, kExitOk, "Stopped before logging began"},
             StopCase{"reconnect", true, kExitOk, "Stopped after "},
         }) {
        SCOPED_TRACE(c.stage);
        stop = false;
        out.Clear();
        err.Clear();
        DelayedStop stopper(stop);
        bool moved = false;
        if (c.whileLogging) {
            com1.emplace("ZENTRA_COM1", simulator->DevicePath().c_str());
            out.Watch([&](const std::string& text) {
                if (text.find("sample 3/") != std::string::npos && !moved) {
                    moved = true;
                    com1.emplace("ZENTRA_COM1", silent.Address("tcp://").c_str());
                    simulator->DropClient();
                }
            });
            // The port is tried again five ticks (250 ms) after it went; the attempt
            // would take two seconds.
            err.Watch([&](const std::string& text) {
                if (text.find("has gone") != std::string::npos)
                    stopper.Arm(600ms);
            });
        } else {
            com1.emplace("ZENTRA_COM1", silent.Address("tcp://").c_str());
            stopper.Arm(300ms);
        }
        const int status =
            Run({"--samples", "100", "--out", dir.File(std::string(c.stage) + ".ztr")});
        const auto taken = stopper.Since();
        out.Watch({});
        err.Watch({});
        std::printf("[ stop    ] during %s: honoured in %lld ms\n", c.stage,
                    static_cast<long long>(taken.count()));
        EXPECT_EQ(status, c.status) << err.text();
        EXPECT_NE(out.text().find(c.says), std::string::npos) << out.text() << err.text();
        EXPECT_EQ(err.text().find("timed out"), std::string::npos) << err.text();
        EXPECT_LT(taken, 1000ms);
    }
}

} // namespace
} // namespace zentra::logger
