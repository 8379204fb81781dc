// The "Comms" page against a simulated meter on a pseudo-terminal: its controls, the
// exchange Connect starts on the page's own timer, what it lists, and its failures.
#include "comm_test_support.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace zentra {
namespace {

using Lines = std::vector<std::string>;

const Lines kIdentity760{"Model Number: 760", "Version: 1.010", "Compile Date: 240315",
                         "Serial #: 1234560042", "Comms Lock: OFF"};
const Lines kInformation{"System Type: 3ph4w", "System Voltage: 230.00V", "VT Primary: 230.000",
                         "VT Secondary: 230.000", "System Current: 50.000"};

Lines Concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using test::Control;

class CommPageTest : public test::CommTest {};

TEST_F(CommPageTest, OpensOnTheDocumentsValuesAndReadsTheControls) {
    StartMeter();
    ports_.Assign(3, meter_->DevicePath() + "-missing"); // a name whose device is gone
    CommPageData data = PageData("1500", 2);
    data.nodeAddress = 17.0;
    SetCommFieldText(data.comms.port, "COM5"); // not available: the first entry is taken
    SetCommFieldText(data.comms.baud, "9600");
    SetCommFieldText(data.comms.parity, "EVEN");
    SetCommFieldText(data.comms.stopBits, "2");
    PortSetupPP page(data);

    auto* ports = Control<QComboBox>(page, "1041");
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->itemText(0).toStdString(), "COM1 \u2014 " + meter_->DevicePath());
    EXPECT_EQ(CommFieldText(page.Data().comms.port), "COM1");

    EXPECT_EQ(Control<QLineEdit>(page, "1059")->text(), "17");
    EXPECT_EQ(Control<QLineEdit>(page, "1054")->text(), "1500");
    EXPECT_EQ(Control<QComboBox>(page, "1043")->currentText(), "9600");
    EXPECT_EQ(Control<QComboBox>(page, "1045")->currentText(), "EVEN");
    EXPECT_EQ(Control<QComboBox>(page, "1047")->currentText(), "2");
    auto* order = Control<QComboBox>(page, "1096");
    ASSERT_EQ(order->count(), 4);
    EXPECT_EQ(order->itemText(3), "Float = Little Endian (Word Swap)");
    EXPECT_EQ(order->currentIndex(), 2);

    // The controls become the page's values.
    Control<QLineEdit>(page, "1059")->clear();
    QTest::keyClicks(Control<QLineEdit>(page, "1059"), "1");
    auto* baud = Control<QComboBox>(page, "1043");
    QTest::keyClicks(Control<QLineEdit>(page, "1059"), "2471"); // four digits: three kept
    Control<QLineEdit>(page, "1054")->setText("350");
    baud->setCurrentIndex(0);
    emit baud->activated(0); // the list closes: node and latency are read again too
    EXPECT_EQ(CommFieldText(page.Data().comms.baud), "115200");
    EXPECT_EQ(page.Data().nodeAddress, 124.0); // "1" was there: "1" + "24"
    EXPECT_EQ(CommFieldText(page.Data().comms.latency), "350");

    Control<QComboBox>(page, "1096")->setCurrentIndex(3);
    EXPECT_EQ(page.Data().comms.floatOrder, 3);

    // OK reads the controls as they are, whether or not a list was closed.
    Control<QComboBox>(page, "1045")->setCurrentIndex(1);
    Control<QLineEdit>(page, "1054")->setText("9999999");
    const CommPageData result = page.Result();
    EXPECT_EQ(CommFieldText(result.comms.parity), "ODD");
    EXPECT_EQ(CommFieldText(result.comms.latency), "9999999");
    EXPECT_EQ(CommFieldText(result.comms.dataBits), "8"); // passed through
}

// Latency 200: identity lines at the first step, information at the second, the
// layout read at the third, then the timer stops; one request per step.
TEST_F(CommPageTest, ConnectRunsIdentityThenInformationThenLayout) {
    StartMeter();
    PortSetupPP page(PageData("200"));
    QElapsedTimer elapsed;
    elapsed.start();
    page.OnConnect();
    EXPECT_EQ(page.Connected(), 1);
    EXPECT_NE(page.PagePort(), kInvalidPort);
    EXPECT_EQ(page.TimerId(), kPageTimerId);
    EXPECT_EQ(page.TimerInterval(), 200);

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !page.InformationLines().empty(); }, test::kExchangeWaitMs));
    EXPECT_EQ(page.InformationLines(), kIdentity760);
    EXPECT_GE(elapsed.elapsed(), 180); // a coarse timer may fire up to 5 % early

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page.InformationLines().size() > 5; }, test::kExchangeWaitMs));
    EXPECT_EQ(page.InformationLines(), Concat(kIdentity760, kInformation));
    EXPECT_GE(elapsed.elapsed(), 360);

    ASSERT_TRUE(QTest::qWaitFor([&] { return page.TimerId() == 0; }, test::kExchangeWaitMs));
    EXPECT_GE(elapsed.elapsed(), 540);
    EXPECT_EQ(page.InformationLines().size(), 10u); // the layout adds no line
    EXPECT_TRUE(page.Queue().Empty());
    EXPECT_EQ(meter_->RequestsSeen(), 3u);
    EXPECT_EQ(page.Connected(), 1);
    EXPECT_NE(page.PagePort(), kInvalidPort); // kept for the document
    EXPECT_TRUE(messages_.shown().empty());

    const CommPageData result = page.Result();
    EXPECT_EQ(result.modelNumber, 760.0);
    EXPECT_NEAR(result.versionFraction, 0.01f, 1e-6f);
    EXPECT_EQ(result.systemType, 1);
}

// The meter sends big-endian floats while little-endian is selected: the model number
// decodes far below 500 and the user is warned once. A real message box runs its own
// event loop for as long as the user takes: the page holds its exchange meanwhile
// instead of polling again under the box, and the exchange still runs to its end.
TEST_F(CommPageTest, WrongFloatOrderWarnsOnceWhileTheExchangeWaits) {
    StartMeter(With([](sim::SimOptions& o) { o.identity.model = 700.0f; }));
    std::vector<platform::Message> boxes;
    platform::SetMessageHandler([&](const platform::Message& message) {
        boxes.push_back(message);
        QTest::qWait(300); // six latency periods with the box open
        return platform::MessageAnswer::Ok;
    });
    PortSetupPP page(PageData("50", LittleEndian));
    ASSERT_TRUE(ConnectAndWait(page));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Endian and/or Word Swapping incorrectly set");
    EXPECT_EQ(boxes[0].caption, "Floating Point Error");
    EXPECT_LT(page.Result().modelNumber, 500.0);
    EXPECT_EQ(meter_->RequestsSeen(), 3u);
    ASSERT_EQ(page.InformationLines().size(), 10u);
    EXPECT_EQ(page.InformationLines()[5].rfind("System Type: ", 0), 0u);
    EXPECT_EQ(page.Connected(), 1);
    EXPECT_NE(page.PagePort(), kInvalidPort);

    // With the right order the same meter is fine.
    Control<QComboBox>(page, "1096")->setCurrentIndex(BigEndian);
    ASSERT_TRUE(ConnectAndWait(page));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(page.InformationLines().front(), "Model Number: 700");
}

// Silence, an exception reply and another node's answer all count as no answer: one
// request, the port closed, the link not set up.
TEST_F(CommPageTest, NoAnswerEndsTheExchange) {
    struct {
        const char* name;
        sim::SimFaults faults;
        const char* node;
        std::uint64_t requestsSeen; // the meter ignores requests to other nodes
    } cases[] = {{"silent", {}, "1", 1}, {"exception", {}, "1", 1}, {"other node", {}, "2", 0}};
    cases[0].faults.dropEvery = 1;
    cases[1].faults.exceptionCode = 2;
    StartMeter();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        meter_->SetFaults(c.faults);
        const auto requests = meter_->RequestsSeen();
        PortSetupPP page(PageData("50"));
        Control<QLineEdit>(page, "1059")->setText(c.node);
        ASSERT_TRUE(ConnectAndWait(page));
        EXPECT_EQ(page.InformationLines(), Lines{"Unable to establish communication with node"});
        EXPECT_EQ(page.PagePort(), kInvalidPort);
        EXPECT_EQ(page.Connected(), 0);
        EXPECT_EQ(meter_->RequestsSeen(), requests + c.requestsSeen);
    }
}

// A port that cannot be opened: no exchange and nothing connected, but the list says
// why.
TEST_F(CommPageTest, UnopenablePortShowsTheReason) {
    test::TempDir dir;
    const std::string link = dir.File("meter"); // removed with the device: it cannot come back
    StartMeter(With([&](sim::SimOptions& o) { o.link = link; }));
    ports_.Assign(1, link);
    PortSetupPP page(PageData("50"));

    const auto other = platform::OpenSerialDevice(link); // held elsewhere
    ASSERT_GE(other.fd, 0);
    page.OnConnect();
    ASSERT_EQ(page.InformationLines().size(), 1u);
    EXPECT_NE(page.InformationLines()[0].find("busy"), std::string::npos)
        << page.InformationLines()[0];
    EXPECT_EQ(page.Connected(), 0);
    EXPECT_EQ(page.PagePort(), kInvalidPort);
    EXPECT_EQ(page.TimerId(), 0);
    platform::CloseSerialDevice(other.fd);

    meter_->Stop(); // the device has gone since the ports were listed
    page.OnConnect();
    ASSERT_EQ(page.InformationLines().size(), 1u);
    EXPECT_NE(page.InformationLines()[0].find("no such device"), std::string::npos)
        << page.InformationLines()[0];
    EXPECT_EQ(page.Connected(), 0);
    EXPECT_TRUE(messages_.shown().empty());
}

// A second Connect closes the first port and starts afresh; destroying the page
// closes a port it still holds.
TEST_F(CommPageTest, ReconnectAndDestructionReleaseThePort) {
    StartMeter();
    {
        PortSetupPP page(PageData("50"));
        ASSERT_TRUE(ConnectAndWait(page));
        ASSERT_TRUE(ConnectAndWait(page));
        EXPECT_EQ(page.InformationLines().size(), 10u);
        EXPECT_EQ(meter_->RequestsSeen(), 6u);
    }
    EXPECT_TRUE(test::DeviceFree(meter_->DevicePath())) << "the page left its port open";
}

} // namespace
} // namespace zentra
