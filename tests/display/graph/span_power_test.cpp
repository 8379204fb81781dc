// The span of a relative axis by source: line and phase voltages, currents, the power
// span by system type number (phases that carry power: 1 for k = 1, 2 for k = 4, 3 for
// k = 2, 3, 5 and 6, none for any other k), power factors and nominal frequencies.
#include "display/graph/graph_model.h"
#include "document/zentra_doc.h"

#include <gtest/gtest.h>

#include <memory>

namespace zentra {
namespace {

// A 230 V, 5 A system.
struct SpanPower : ::testing::Test {
    std::unique_ptr<CZentraDoc> doc = std::make_unique<CZentraDoc>();
    const RelativeSystemSpans spans;
    void SetUp() override {
        doc->m_SystemVoltage = 230.0;
        doc->m_SystemCurrent = 5.0;
    }
};

TEST_F(SpanPower, PhasesBySystemTypeNumberForEveryPowerSource) {
    struct Row {
        double k;
        double span; // 230 V x 5 A x phases / 1000
    };
    const Row rows[] = {{1.0, 1.15}, {2.0, 3.45}, {3.0, 3.45}, {4.0, 2.3}, {5.0, 3.45},
                        {6.0, 3.45}, {0.0, 0.0},  {7.0, 0.0},  {2.5, 0.0}, {-4.0, 0.0}};
    for (const Row& row : rows) {
        doc->m_SystemTypeNumber = row.k;
        for (const int source : {10, 11, 12})
            EXPECT_NEAR(spans.Span(source, *doc, 0.0), row.span, 1e-12)
                << "k " << row.k << ", source " << source;
    }
}

TEST_F(SpanPower, VoltagesAndCurrents) {
    for (const int source : {1, 2, 3})
        EXPECT_DOUBLE_EQ(spans.Span(source, *doc, 0.0), 230.0 * 1.7320508075688772) << source;
    for (const int source : {4, 5, 6})
        EXPECT_DOUBLE_EQ(spans.Span(source, *doc, 0.0), 230.0) << source;
    for (const int source : {7, 8, 9})
        EXPECT_DOUBLE_EQ(spans.Span(source, *doc, 0.0), 5.0) << source;
    for (const int source : {0, 14, 15, 17, 29, 33, 49, -1}) // no span: not drawn relative
        EXPECT_DOUBLE_EQ(spans.Span(source, *doc, 50.0), 0.0) << source;
}

TEST_F(SpanPower, PowerFactorsAndNominalFrequencies) {
    for (const int source : {13, 30, 31, 32})
        EXPECT_EQ(spans.Span(source, *doc, 0.7), 1.0) << source;
    struct Row {
        double value, span;
    };
    const Row rows[] = {{45.0, 1.0},    {45.1, 50.0},   {55.9, 50.0},  {56.0, 60.0},
                        {65.9, 60.0},   {66.0, 1.0},    {95.5, 100.0}, {105.5, 100.0},
                        {106.0, 120.0}, {135.9, 120.0}, {136.0, 1.0},  {395.5, 400.0},
                        {405.9, 400.0}, {406.0, 1.0},   {59.9, 60.0},  {55.5, 50.0},
                        {70.0, 1.0},    {400.0, 400.0}};
    for (const Row& row : rows)
        EXPECT_EQ(spans.Span(16, *doc, row.value), row.span) << row.value;
}

} // namespace
} // namespace zentra
