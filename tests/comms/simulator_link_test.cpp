// The whole link end to end: OpenPort on COM1 mapped to the in-process simulator,
// requests and replies through K760modbus, in every float order and under every fault;
// and the same over TCP, the simulator standing in for a serial device server or a
// Modbus TCP gateway on the loopback address.
#include "comms/meter.h"
#include "comms/serial_link.h"
#include "tests/support/loopback.h"
#include "tests/support/sim_port.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <memory>

namespace zentra {
namespace {

using namespace std::chrono_literals;
using sim::MeterSimulator;
using sim::SimFaults;
using sim::SimOptions;
using sim::SimTransport;

constexpr double kSimTime = 1234.0; // the simulator's clock stands still here

class SimulatorLink : public ::testing::Test {
  protected:
    // Starts a simulator with the options and opens COM1 onto it.
    void Connect(SimOptions options = {}, std::int32_t order = BigEndian) {
        options.clock = [] { return kSimTime; };
        simulator = std::make_unique<MeterSimulator>(std::move(options));
        ASSERT_TRUE(simulator->Start()) << simulator->Error();
        ports.Assign(1, simulator->DevicePath());
        settings.floatOrder = order;
        PortAvailability available = EnumeratePorts();
        ASSERT_TRUE(available[0]);
        PortHandle held = kInvalidPort;
        port = OpenPort(settings, available, held);
        ASSERT_NE(port, kInvalidPort) << LastOpenFailure();
    }
    void Connect(SimFaults faults, SimTransport transport = SimTransport::Pty) {
        SimOptions options;
        options.faults = faults;
        options.transport = transport;
        Connect(options);
    }
    void TearDown() override {
        ClosePort(port);
        if (simulator)
            simulator->Stop();
    }

    // One transaction: a request on one object, the reply on a fresh one.
    K760modbus Ask(std::uint32_t (K760modbus::*request)(), std::uint8_t node = 1) {
        {
            K760modbus sender(port, node, settings.floatOrder);
            EXPECT_GT((sender.*request)(), 0u);
        }
        K760modbus receiver(port, node, settings.floatOrder);
        receiver.ReceiveReply();
        return receiver;
    }
    int AskReadings() { return Ask(&K760modbus::RequestReadings).replyFunction; }

    test::ScopedPortMap ports;
    std::unique_ptr<MeterSimulator> simulator;
    CommSettings settings;
    PortHandle port = kInvalidPort;
};

const char* Name(SimTransport t) {
    return t == SimTransport::Pty ? "Pty" : t == SimTransport::ModbusTcp ? "ModbusTcp" : "Tcp";
}

struct Link {
    SimTransport transport;
    int order;
};

class AllFloatOrders : public SimulatorLink, public ::testing::WithParamInterface<Link> {};

TEST_P(AllFloatOrders, IdentityInformationLayoutAndReadings) {
    const auto [transport, order] = GetParam();
    SimOptions options;
    options.floatOrder = order;
    options.transport = transport;
    Connect(options, order);

    const auto id = Ask(&K760modbus::RequestIdentity);
    ASSERT_EQ(id.replyFunction, kFcIdentity);
    EXPECT_EQ(id.identity[kIdentityModel], 760.0f);
    EXPECT_EQ(id.identity[kIdentityVersion], 1.01f);
    EXPECT_EQ(id.identity[kIdentitySerialLow], 42.0f);
    EXPECT_TRUE(ModelNumberPlausible(id.identity[kIdentityModel]));

    const auto info = Ask(&K760modbus::RequestMeterInfo);
    ASSERT_EQ(info.replyFunction, kFcMeterInfo);
    EXPECT_EQ(info.meterInfo[kInfoVoltage], 230.0);
    EXPECT_EQ(info.meterInfo[kInfoCurrent], 50.0);
    EXPECT_EQ(SystemTypeName(static_cast<int>(info.meterInfo[kInfoSystemType])), "3ph4w");

    const auto layout = Ask(&K760modbus::RequestPositionMap);
    ASSERT_EQ(layout.replyFunction, kFcLayout);
    for (int i = 0; i < 48; ++i)
        EXPECT_EQ(layout.positionCodes[i], i + 1);

    const auto r = Ask(&K760modbus::RequestReadings);
    ASSERT_EQ(r.replyFunction, kFcReadings);
    ASSERT_EQ(r.decodedCount, 48u);
    const auto expected = sim::MeterModel().Readings(kSimTime);
    for (int i = 0; i < 48; ++i)
        EXPECT_EQ(r.readings[i], static_cast<double>(expected[i])) << "position " << i + 1;

    // Read in another order, the model number is implausible.
    settings.floatOrder = (order + 1) % 4;
    const auto mismatched = Ask(&K760modbus::RequestIdentity);
    ASSERT_EQ(mismatched.replyFunction, kFcIdentity);
    EXPECT_FALSE(ModelNumberPlausible(mismatched.identity[kIdentityModel]));
}

INSTANTIATE_TEST_SUITE_P(Orders, AllFloatOrders,
                         ::testing::Values(Link{SimTransport::Pty, 0}, Link{SimTransport::Pty, 1},
                                           Link{SimTransport::Pty, 2}, Link{SimTransport::Pty, 3},
                                           Link{SimTransport::RtuOverTcp, BigEndian},
                                           Link{SimTransport::ModbusTcp, BigEndian}),
                         [](const auto& info) {
                             return Name(info.param.transport) + std::to_string(info.param.order);
                         });

TEST_F(SimulatorLink, ReadingsArePlausibleAndFollowTheLayout) {
    SimOptions options;
    options.layout = sim::IdentityLayout();
    std::reverse(options.layout.begin(), options.layout.end());
    options.identity.version = 1.03f;
    Connect(options);

    const auto id = Ask(&K760modbus::RequestIdentity);
    EXPECT_EQ(MeterVariant(id.identity[kIdentityVersion]), 3);
    const auto layout = Ask(&K760modbus::RequestPositionMap);
    ASSERT_EQ(layout.replyFunction, kFcLayout);
    EXPECT_EQ(layout.positionCodes[0], 48);
    EXPECT_EQ(layout.positionCodes[47], 1);

    const auto r = Ask(&K760modbus::RequestReadings);
    ASSERT_EQ(r.replyFunction, kFcReadings);
    // Reading index i sits at block position 49 - i.
    auto reading = [&](int index) { return r.readings[48 - index]; };
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(reading(4 + k), 230.0, 10.0); // phase volts
        EXPECT_NEAR(reading(1 + k), 398.4, 20.0); // line volts
        EXPECT_GT(reading(7 + k), 0.0);           // amps
        EXPECT_NEAR(reading(30 + k), 0.9, 0.05);  // power factors
        const double kw = reading(17 + k), kvar = reading(20 + k), kva = reading(27 + k);
        EXPECT_NEAR(kva * kva, kw * kw + kvar * kvar, 1e-3 * kva * kva);
    }
    EXPECT_NEAR(reading(10), reading(17) + reading(18) + reading(19), 1e-3);
    EXPECT_NEAR(reading(13), reading(10) / reading(11), 1e-5);
    EXPECT_NEAR(reading(16), 50.0, 0.1);
    EXPECT_GT(reading(14), 0.0);         // energy
    EXPECT_GE(reading(38), reading(23)); // maximum demand >= demand
}

TEST(SimulatedMeter, EnergiesGrowWithTime) {
    sim::MeterModel model;
    const auto early = model.Readings(10.0);
    const auto later = model.Readings(3710.0);
    EXPECT_GT(later[13], early[13]);                              // kWHr (Imp)
    EXPECT_NEAR(later[13] - early[13], early[9], 0.2 * early[9]); // about an hour of kW
    EXPECT_GT(later[34], early[34]);                              // kVAHr
    EXPECT_NE(later[6], early[6]);                                // the load moves
}

// The simulated meter's ratings fit its load: relative graphs of a healthy supply
// (a reading over its span: V for a phase voltage, V x 1.7320508 for a line voltage,
// I for a current) sit near 100 % over a whole hour of the demo: the voltages within
// 3 %, the currents, which swing with the load by 8 A either way, between 60 and 115 %.
TEST(SimMeterRatings, RelativeReadingsOfTheDemoSitNearOneHundredPercent) {
    const auto info = sim::MeterModel::InfoBlock(sim::MeterInfo{});
    const double volts = info[0];
    const double amps = info[1];
    EXPECT_EQ(volts, 230.0); // the nominal phase voltage
    EXPECT_EQ(info[14], info[15]) << "a direct connection: VT ratio 1";
    sim::MeterModel model;
    for (int t = 0; t <= 3600; t += 30) {
        const auto r = model.Readings(t); // r[i - 1] is reading i
        for (int phase = 0; phase < 3; ++phase) {
            SCOPED_TRACE(testing::Message() << "t " << t << " phase " << phase + 1);
            const double line = 100.0 * r[static_cast<std::size_t>(phase)] /
                                (volts * 1.7320508075688772); // "V L1-2".."V L3-1"
            const double phaseVolts = 100.0 * r[static_cast<std::size_t>(3 + phase)] / volts;
            const double current = 100.0 * r[static_cast<std::size_t>(6 + phase)] / amps;
            EXPECT_NEAR(line, 100.0, 3.0);
            EXPECT_NEAR(phaseVolts, 100.0, 3.0);
            EXPECT_GT(current, 60.0);
            EXPECT_LT(current, 115.0);
        }
    }
}

TEST_F(SimulatorLink, OtherNodesAreIgnored) {
    SimOptions options;
    options.node = 5;
    Connect(options);
    const auto wrong = Ask(&K760modbus::RequestIdentity, 1);
    EXPECT_EQ(wrong.replyFunction, kReplyNone);
    EXPECT_EQ(wrong.client.rxCount, 0u);
    EXPECT_EQ(Ask(&K760modbus::RequestIdentity, 5).replyFunction, kFcIdentity);
}

class OverEachTransport : public SimulatorLink,
                          public ::testing::WithParamInterface<SimTransport> {};

// Every fault of the simulator ends as no reply, over the network too; over Modbus TCP
// a reply under another transaction id, or whose length does not match, is no reply,
// and the next exchange is not disturbed by it.
TEST_P(OverEachTransport, FaultsEndAsNoReply) {
    const SimTransport transport = GetParam();
    const SimFaults faults[] = {
        {.dropEvery = 1},    {.corruptCrc = true}, {.exceptionCode = 4},
        {.answerAsNode = 2}, {.late = 600ms},      {.splitGap = 40ms},
        {.garbage = true},   {.flood = 600},       {.wrongTransaction = true}};
    for (const SimFaults& fault : faults) {
        if ((fault.wrongTransaction && transport != SimTransport::ModbusTcp) ||
            (fault.late > 0ms && transport != SimTransport::Pty))
            continue;
        SCOPED_TRACE(&fault - faults);
        Connect(fault, transport);
        const auto r = Ask(&K760modbus::RequestReadings);
        EXPECT_EQ(r.replyFunction, kReplyNone);
        EXPECT_EQ(r.decodedCount, 0u);
        if (transport == SimTransport::ModbusTcp && (fault.corruptCrc || fault.wrongTransaction)) {
            simulator->SetFaults({});
            EXPECT_EQ(AskReadings(), kFcReadings);
        }
        TearDown();
    }
}

// A pulled adapter, or a dropped connection, hangs the port up without waiting; a
// network port connects again.
TEST_P(OverEachTransport, ACutLinkHangsUpWithoutWaiting) {
    Connect(SimFaults{}, GetParam());
    ASSERT_EQ(Ask(&K760modbus::RequestIdentity).replyFunction, kFcIdentity);
    if (GetParam() == SimTransport::Pty)
        simulator->CloseMaster();
    else
        simulator->DropClient();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; ++i) {
        K760modbus meter(port, 1, BigEndian);
        meter.ReceiveReply();
        EXPECT_EQ(meter.replyFunction, kReplyNone);
    }
    // Each read would otherwise wait its whole 513 ms.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_TRUE(PortGone(port));
    EXPECT_EQ(K760modbus(port, 1, BigEndian).RequestReadings(), 0u);
    if (GetParam() == SimTransport::Pty)
        return;
    port = OpenPort(settings, EnumeratePorts(), port);
    ASSERT_NE(port, kInvalidPort) << LastOpenFailure();
    EXPECT_FALSE(PortGone(port));
    EXPECT_EQ(Ask(&K760modbus::RequestIdentity).replyFunction, kFcIdentity);
}

INSTANTIATE_TEST_SUITE_P(Transports, OverEachTransport,
                         ::testing::Values(SimTransport::Pty, SimTransport::RtuOverTcp,
                                           SimTransport::ModbusTcp),
                         [](const auto& info) { return std::string(Name(info.param)); });

TEST_F(SimulatorLink, ExceptionCodeIsKept) {
    Connect({.exceptionCode = 2});
    const auto r = Ask(&K760modbus::RequestMeterInfo);
    EXPECT_EQ(r.replyFunction, kReplyNone);
    EXPECT_EQ(r.client.exceptionCode, 2);
    EXPECT_EQ(r.client.rxBuffer[1], 0x83);
}

TEST_F(SimulatorLink, DropEveryOtherReply) {
    Connect({.dropEvery = 2});
    EXPECT_EQ(AskReadings(), kFcReadings);
    EXPECT_EQ(AskReadings(), kReplyNone);
    EXPECT_EQ(AskReadings(), kFcReadings);
}

TEST_F(SimulatorLink, AReplySplitByALongGapIsReadAsTwo) {
    Connect({.splitGap = 50ms});
    const auto first = Ask(&K760modbus::RequestReadings);
    EXPECT_EQ(first.replyFunction, kReplyNone);
    Cmodbus second;
    second.ReadReply(port, kReplyReadLimit);
    const std::uint32_t whole = 3 + 4 * 48 + 2;
    EXPECT_EQ(first.client.rxCount, whole / 2);
    EXPECT_EQ(second.rxCount, whole - whole / 2);
}

TEST_F(SimulatorLink, AFloodGivesNothingAndIsCleared) {
    Connect({.flood = kReplyReadLimit});
    const auto r = Ask(&K760modbus::RequestReadings);
    EXPECT_EQ(r.client.rxCount, 0u);
    EXPECT_EQ(r.replyFunction, kReplyNone);
    // Once the fault is gone the link works again.
    simulator->SetFaults({});
    EXPECT_EQ(AskReadings(), kFcReadings);
}

// Listing the ports never connects; the connection, and its failure with the reason,
// come with OpenPort.
TEST(NetworkPortOpen, ListedWithoutConnectingAndRefusalExplained) {
    test::ScopedPortMap ports;
    const std::string port = std::to_string(test::RefusingPort());
    ports.Assign(2, "modbus-tcp://127.0.0.1:" + port);
    const auto start = std::chrono::steady_clock::now();
    const PortAvailability available = EnumeratePorts();
    EXPECT_TRUE(available[1]);
    CommSettings settings;
    settings.port[3] = '2'; // COM2
    PortHandle held = kInvalidPort;
    EXPECT_EQ(OpenPort(settings, available, held), kInvalidPort);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(LastOpenFailure().rfind("COM2 (modbus-tcp://127.0.0.1:" + port +
                                          "): cannot reach 127.0.0.1:" + port +
                                          ": connection refused. ",
                                      0),
              0u)
        << LastOpenFailure();
}

} // namespace
} // namespace zentra
