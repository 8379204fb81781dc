// Shared by the Communication page tests: a private settings store, scripted answers,
// a port map holding only the simulator, and a simulated meter on a pseudo-terminal
// standing for COM1.
#pragma once

#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "settings/comm_page.h"
#include "settings/comm_page_data.h"
#include "tests/support/sim_port.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <QTest>

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace zentra::test {

// 2013-01-05 14:03:09 UTC.
inline constexpr platform::TimeSeconds kCommNow = 1357394589;
// Long enough for any step of the exchange on a loaded machine; the waits end as soon
// as their condition holds.
inline constexpr int kExchangeWaitMs = 5000;

class CommTest : public ::testing::Test {
  protected:
    // Starts a simulator for COM1 with these options.
    sim::MeterSimulator& StartMeter(sim::SimOptions options = {}) {
        meter_ = std::make_unique<sim::MeterSimulator>(std::move(options));
        EXPECT_TRUE(meter_->Start()) << meter_->Error();
        ports_.Assign(1, meter_->DevicePath());
        return *meter_;
    }

    static sim::SimOptions Options(float model = 760.0f, float version = 1.01f) {
        sim::SimOptions options;
        options.identity.model = model;
        options.identity.version = version;
        return options;
    }

    // Page data for COM1 with this latency and float order.
    static CommPageData PageData(const char* latency = "200", std::int32_t floatOrder = 0) {
        CommPageData data;
        SetCommFieldText(data.comms.latency, latency);
        data.comms.floatOrder = floatOrder;
        return data;
    }

    static std::unique_ptr<CZentraDoc> NewDoc() {
        auto doc = std::make_unique<CZentraDoc>();
        doc->OnNewDocument();
        return doc;
    }

    // Connect, then the whole exchange until the page's timer stops.
    static bool ConnectAndWait(PortSetupPP& page) {
        page.OnConnect();
        return QTest::qWaitFor([&] { return page.TimerId() == 0; }, kExchangeWaitMs);
    }

    // Order matters: the store and clock outlive the documents the tests make.
    ScopedUserFolders folders_;
    platform::ManualClock clock_{kCommNow};
    ScriptedMessages messages_;
    ScopedPortMap ports_;
    std::unique_ptr<sim::MeterSimulator> meter_;
};

} // namespace zentra::test
