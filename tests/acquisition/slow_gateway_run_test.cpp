// A meter behind a slow gateway (replies 1.3 s after each request, --latency 1500),
// logged by zentra-log over Modbus TCP and over RTU over TCP side by side: both log
// every sample, one second apart. Real time: the slowness is the point.
#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "tests/acquisition/logger_process.h"
#include "tests/support/delaying_proxy.h"
#include "tests/support/test_support.h"
#include "tools/sim/meter_simulator.h"

#include <gtest/gtest.h>

#include <memory>

namespace zentra {
namespace {

using namespace std::chrono_literals;

constexpr int kSamples = 4;

struct Gateway {
    const char* scheme;
    sim::SimTransport transport;
};

TEST(SlowGateway, ModbusTcpLogsEverySampleAsRtuOverTcpDoes) {
    const Gateway gateways[] = {{"tcp://", sim::SimTransport::RtuOverTcp},
                                {"modbus-tcp://", sim::SimTransport::ModbusTcp}};
    test::TempDir dir;
    std::vector<std::unique_ptr<sim::MeterSimulator>> meters;
    std::vector<std::unique_ptr<test::DelayingProxy>> proxies;
    std::vector<std::unique_ptr<test::LoggerProcess>> loggers;
    for (const Gateway& g : gateways) {
        sim::SimOptions options;
        options.transport = g.transport;
        meters.push_back(std::make_unique<sim::MeterSimulator>(options));
        ASSERT_TRUE(meters.back()->Start()) << meters.back()->Error();
        proxies.push_back(std::make_unique<test::DelayingProxy>(meters.back()->Port(), 1300ms));
        ASSERT_TRUE(proxies.back()->ok());
        const std::string name = g.transport == sim::SimTransport::ModbusTcp ? "mb" : "rtu";
        loggers.push_back(std::make_unique<test::LoggerProcess>(
            std::vector<std::string>{"COM1", "--period", "1s", "--samples",
                                     std::to_string(kSamples), "--latency", "1500", "--give-up",
                                     "8s", "--out", dir.File(name + ".ztr")},
            test::LoggerEnvironment(dir.File(name), proxies.back()->Address(g.scheme))));
        ASSERT_TRUE(loggers.back()->started());
    }
    for (std::size_t i = 0; i < loggers.size(); ++i) {
        SCOPED_TRACE(gateways[i].scheme);
        EXPECT_EQ(loggers[i]->Wait(40s), 0) << loggers[i]->Output() << loggers[i]->Errors();
        CZentraDoc doc;
        const std::string name =
            gateways[i].transport == sim::SimTransport::ModbusTcp ? "mb.ztr" : "rtu.ztr";
        ASSERT_TRUE(OnOpenDocument(doc, dir.File(name)).ok);
        ASSERT_EQ(doc.m_SampleCount, kSamples);
        for (int n = 1; n < kSamples; ++n)
            EXPECT_EQ(doc.m_SampleTimes[static_cast<std::size_t>(n)] -
                          doc.m_SampleTimes[static_cast<std::size_t>(n - 1)],
                      1)
                << "sample " << n + 1;
    }
}

} // namespace
} // namespace zentra
