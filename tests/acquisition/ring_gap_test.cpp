// The live ring's gap test works on the low 32 bits of the two times: a reply whose
// time differs from the previous slot's by 2 in those bits fills the missed second,
// whatever the high bits say.
#include "acquisition/acquisition_cycle.h"
#include "tests/acquisition/acquisition_test_support.h"

#include <gtest/gtest.h>

namespace zentra {
namespace {

using test::Block;
using test::kStart;

constexpr std::int64_t k2To32 = std::int64_t{1} << 32;

TEST(RingGap, OnlyTheLowThirtyTwoBitsOfTheTimesCount) {
    struct Case {
        std::int64_t previous, now;
        int slotsWritten;
    };
    const Case cases[] = {
        {kStart, kStart + 2 + k2To32, 2}, // low halves 2 apart: the missed second is filled
        {kStart + k2To32, kStart + 2, 2}, // the same from the other side
        {kStart, kStart + k2To32, 1},     // low halves equal: one slot
        {kStart, kStart + 3 + k2To32, 1}, // low halves 3 apart: one slot
        {k2To32 - 1, k2To32 + 1, 2},      // across the 32-bit wrap: still 2 apart
    };
    for (const Case& c : cases) {
        auto doc = test::NewDoc();
        doc->m_LiveIndex = 10;
        doc->m_LiveTimes[9] = c.previous;
        StoreInRing(*doc, Block(100), kBlockReadings, c.now);
        EXPECT_EQ(doc->m_LiveIndex, 10 + c.slotsWritten) << c.previous << " -> " << c.now;
        EXPECT_EQ(doc->m_LiveTimes[10], c.now);
        EXPECT_EQ(doc->m_LiveValues[10][1], 101.0);
        if (c.slotsWritten == 2) {
            EXPECT_EQ(doc->m_LiveTimes[11], c.now);
            EXPECT_EQ(doc->m_LiveValues[11], doc->m_LiveValues[10]);
        }
    }
}

} // namespace
} // namespace zentra
