// Shared by the Communication page tests: a private store, scripted answers and a
// simulated meter on a pseudo-terminal standing for COM1.
#pragma once

#include "display/view/zentra_view.h"
#include "document/port_map.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/serial_ports.h"
#include "project_test_support.h"
#include "settings/comm_page.h"
#include "settings/comm_page_data.h"
#include "settings/comm_sheet.h"
#include "settings/port_device_dialog.h"
#include "settings/property_sheet.h"
#include "tests/support/sim_port.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace zentra::test {

// Long enough for any step of the exchange on a loaded machine; the waits end as soon
// as their condition holds.
inline constexpr int kExchangeWaitMs = 5000;

inline bool HandleOpen(int fd) {
    return fd >= 0 && ::fcntl(fd, F_GETFD) != -1;
}

// True when nothing holds the device: it opens (and is closed again).
inline bool DeviceFree(const std::string& path) {
    const auto fd = platform::OpenSerialDevice(path).fd;
    if (fd >= 0)
        platform::CloseSerialDevice(fd);
    return fd >= 0;
}

class CommTest : public ::testing::Test {
  protected:
    // Starts a simulator for COM1 with these options.
    sim::MeterSimulator& StartMeter(sim::SimOptions options = {}) {
        meter_ = std::make_unique<sim::MeterSimulator>(std::move(options));
        EXPECT_TRUE(meter_->Start()) << meter_->Error();
        ports_.Assign(1, meter_->DevicePath());
        return *meter_;
    }

    // The default options with `change` made to them.
    template <typename Change> static sim::SimOptions With(Change change) {
        sim::SimOptions options;
        change(options);
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

    // Runs the Communication sheet over the document with this action on its page; a
    // sheet left open is cancelled.
    void RunSheet(CZentraDoc& doc, CZentraView* view,
                  const std::function<void(PropertySheet&, PortSetupPP&)>& action) {
        OnCommSettings(doc, view, [&](PropertySheet& sheet) {
            ++sheetsShown_;
            sheet.show();
            auto* page = dynamic_cast<PortSetupPP*>(sheet.Page(0));
            EXPECT_NE(page, nullptr);
            if (page)
                action(sheet, *page);
            if (sheet.isVisible())
                sheet.reject();
            return sheet.result();
        });
    }

    // Settings > Communication as the user runs it: "Yes" to the question, Connect, wait
    // for the exchange, OK. The next tick expects the layout request of a (re)start.
    void ConnectThroughSheet(CZentraDoc& doc, CZentraView& view) {
        messages_.QueueAnswer(platform::MessageAnswer::Yes);
        RunSheet(doc, &view, [](PropertySheet& sheet, PortSetupPP& page) {
            if (ConnectAndWait(page))
                PressOk(sheet);
        });
        repliesExpected_ = meter_->RepliesSent() + 1;
    }

    // One acquisition tick as timer 1 would run it, once the meter has answered the
    // previous request. The wait does not run the event loop, so the view's own timer
    // cannot tick in between; the clock moves one second per tick.
    bool Tick(CZentraView& view) {
        using namespace std::chrono_literals;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (meter_->RepliesSent() < repliesExpected_) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        ++repliesExpected_;
        clock_.Advance(1);
        view.OnTimer(view.Acquisition().timerId);
        return true;
    }

    // Order matters: the store and clock outlive the documents the tests make.
    ScopedUserFolders folders_;
    platform::ManualClock clock_{kFixedNow};
    ScriptedMessages messages_;
    ScopedPortMap ports_;
    std::unique_ptr<sim::MeterSimulator> meter_;
    std::uint64_t repliesExpected_ = 0;
    int sheetsShown_ = 0;
};

// For the tests that choose devices: the user's port map is in use.
class CommMapTest : public CommTest {
  protected:
    void SetUp() override { InstallPortMap(); }
    void TearDown() override { platform::SetPortMapLookup({}); }

    // The page's device dialog, acted on by `action`, which presses OK or not.
    void ChangeDevice(PortSetupPP& page, const std::function<void(PortDeviceDialog&)>& action) {
        page.SetDeviceCandidates([this] { return candidates_; });
        page.SetDeviceDialogRunner([&](PortDeviceDialog& dialog) {
            dialog.show();
            action(dialog);
            if (dialog.isVisible())
                dialog.reject();
            return dialog.result();
        });
        QTest::mouseClick(page.findChild<QPushButton*>("changeDevice"), Qt::LeftButton);
    }

    static void Choose(PortDeviceDialog& dialog, int comNumber, const std::string& device) {
        dialog.findChild<QComboBox*>("portNumber")->setCurrentIndex(comNumber - 1);
        dialog.findChild<QComboBox*>("devicePath")->setEditText(QString::fromStdString(device));
    }

    static bool OkEnabled(const PortDeviceDialog& dialog) {
        return dialog.findChild<QPushButton*>("IDOK")->isEnabled();
    }

    std::vector<std::string> candidates_;
};

} // namespace zentra::test
