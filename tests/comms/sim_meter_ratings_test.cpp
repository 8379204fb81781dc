// The simulated meter's ratings fit its load: relative graphs of a healthy supply
// (a reading over its span: V for a phase voltage, V x 1.7320508 for a line voltage,
// I for a current) sit near 100 % over a whole hour of the demo: the voltages within
// 3 %, the currents, which swing with the load by 8 A either way, between 60 and 115 %.
#include "tools/sim/meter_model.h"

#include <gtest/gtest.h>

namespace zentra {
namespace {

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

} // namespace
} // namespace zentra
