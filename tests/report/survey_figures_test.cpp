// The survey's figures against values worked out by hand for small constructed
// surveys (the process runs in Europe/London).
#include "tests/report/survey_files.h"
#include "tests/support/test_support.h"
#include "tools/report/local_clock.h"
#include "tools/report/survey_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zentra::test {
namespace {

using namespace element;
using report::BuildSurveyReport;
using report::ReportResult;
using report::SurveyReport;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTolerance = 1e-9;

const report::ReadingSummary* Reading(const SurveyReport& r, const std::string& label) {
    for (const auto& s : r.readings)
        if (s.label == label)
            return &s;
    return nullptr;
}

const report::DemandFigure* Demand(const SurveyReport& r, const std::string& label) {
    for (const auto& d : r.demand)
        if (d.label == label)
            return &d;
    return nullptr;
}

class SurveyFigures : public testing::Test {
  protected:
    TempDir dir;
    ScopedUserFolders folders;

    ReportResult Build(const std::vector<std::string>& files, int demandMinutes = 15) {
        std::vector<report::SurveyPart> parts;
        for (const auto& f : files)
            parts.push_back({f, nullptr});
        return BuildSurveyReport(parts, {demandMinutes, {}});
    }
    std::string Write(const std::string& name, const SurveyFileSetup& setup) {
        return WriteSurveyFile(dir.File(name), setup);
    }

    // 10:00 to 10:29 on 15 Jan 2024 at one minute, in two files: file A 10:00-10:09 at
    // 10 kW, file B 10:10-10:14 at 40 kW and 10:15-10:29 at 16 kW; kVA = 1.25 kW; the
    // counter climbs from 100.0 to 108.5 kWh.
    std::vector<std::string> Straddling() {
        SurveyFileSetup a;
        a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
        a.multiplier = 60;
        a.count = 10;
        auto fill = [](int, std::int64_t t, SampleRecord& r) {
            const int minute = LocalTime(t).tm_min;
            r[kKw] = minute < 10 ? 10.0 : minute < 15 ? 40.0 : 16.0;
            r[kKva] = r[kKw] * 1.25;
            r[kKwh] = 100.0 + 8.5 * minute / 29.0;
        };
        a.fill = fill;
        SurveyFileSetup b = a;
        b.start = a.start + 600;
        b.count = 20;
        // Given in the wrong order: the files are sorted by their first sample.
        return {Write("b.ztr", b), Write("a.ztr", a)};
    }
};

TEST_F(SurveyFigures, DemandIntervalStraddlingTwoFiles) {
    const ReportResult built = Build(Straddling());
    ASSERT_TRUE(built.ok) << built.error;
    const SurveyReport& r = built.report;
    ASSERT_EQ(r.files.size(), 2u);
    EXPECT_EQ(r.files[0].name, "a.ztr");
    EXPECT_EQ(r.samples, 30);
    EXPECT_EQ(r.periodS, 60);
    EXPECT_TRUE(r.gaps.empty());
    EXPECT_EQ(*r.from, LocalTimeOf(2024, 1, 15, 10, 0, 0));
    EXPECT_EQ(*r.to, LocalTimeOf(2024, 1, 15, 10, 29, 0));

    // 10:00-10:15: ten samples of 10 kW (file A) and five of 40 kW (file B): 20 kW.
    // 10:15-10:30: fifteen of 16 kW.
    EXPECT_EQ(r.completeIntervals, 2);
    EXPECT_EQ(r.partialIntervals, 0);
    const auto* kw = Demand(r, "kW Sum");
    ASSERT_NE(kw, nullptr);
    EXPECT_NEAR(kw->max, 20.0, kTolerance);
    EXPECT_EQ(kw->at, LocalTimeOf(2024, 1, 15, 10, 15, 0));
    const auto* kva = Demand(r, "kVA Sum");
    ASSERT_NE(kva, nullptr);
    EXPECT_NEAR(kva->max, 25.0, kTolerance);
    ASSERT_EQ(r.topTen.size(), 2u);
    EXPECT_NEAR(r.topTen[1].kw, 16.0, kTolerance);
    EXPECT_EQ(r.topTen[1].end, LocalTimeOf(2024, 1, 15, 10, 30, 0));

    const auto* s = Reading(r, "kW Sum");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->count, 30);
    EXPECT_NEAR(s->min, 10.0, kTolerance);
    EXPECT_EQ(s->minAt, LocalTimeOf(2024, 1, 15, 10, 0, 0));
    EXPECT_NEAR(s->max, 40.0, kTolerance);
    EXPECT_EQ(s->maxAt, LocalTimeOf(2024, 1, 15, 10, 10, 0));
    EXPECT_NEAR(s->mean, 18.0, kTolerance); // (10 x 10 + 5 x 40 + 15 x 16) / 30

    // Trapezoids: 9 x 10 kW min, (10 + 40) / 2 across the files, 4 x 40, (40 + 16) / 2,
    // 14 x 16: 1.5 + 437 / 60 kWh.
    ASSERT_TRUE(r.kwhIntegrated);
    EXPECT_NEAR(*r.kwhIntegrated, 1.5 + 437.0 / 60.0, 1e-9);
    ASSERT_EQ(r.energy.size(), 1u + 1u); // kWHr (Imp) and kVArHr (Imp), both logged
    EXPECT_EQ(r.energy[0].label, "kWHr (Imp)");
    EXPECT_NEAR(r.energy[0].first, 100.0, kTolerance);
    EXPECT_NEAR(r.energy[0].last, 108.5, kTolerance);
    EXPECT_NEAR(r.energy[0].used, 8.5, kTolerance);
}

TEST_F(SurveyFigures, ThirtyMinuteDemandTakesTheWholeHalfHour) {
    const ReportResult built = Build(Straddling(), 30);
    ASSERT_TRUE(built.ok) << built.error;
    const auto* kw = Demand(built.report, "kW Sum");
    ASSERT_NE(kw, nullptr);
    EXPECT_NEAR(kw->max, 18.0, kTolerance);
    EXPECT_EQ(kw->at, LocalTimeOf(2024, 1, 15, 10, 30, 0));
    EXPECT_EQ(built.report.completeIntervals, 1);
}

TEST_F(SurveyFigures, GapAcrossFilesIsFoundAndLeavesItsIntervalsOut) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
    a.multiplier = 60;
    a.count = 10; // 10:00 .. 10:09
    a.fill = [](int, std::int64_t, SampleRecord& r) { r[kKw] = 30.0; };
    SurveyFileSetup b = a;
    b.start = LocalTimeOf(2024, 1, 15, 10, 20, 0);
    b.count = 25; // 10:20 .. 10:44
    const ReportResult built = Build({Write("a.ztr", a), Write("b.ztr", b)});
    ASSERT_TRUE(built.ok) << built.error;
    const SurveyReport& r = built.report;
    ASSERT_EQ(r.gaps.size(), 1u);
    EXPECT_EQ(r.gaps[0].from, LocalTimeOf(2024, 1, 15, 10, 9, 0));
    EXPECT_EQ(r.gaps[0].to, LocalTimeOf(2024, 1, 15, 10, 20, 0));
    // 10:00-10:15 ends 6 minutes after its last sample and 10:15-10:30 begins 5 after
    // its start: only 10:30-10:45 is covered.
    EXPECT_EQ(r.completeIntervals, 1);
    EXPECT_EQ(r.partialIntervals, 2);
    // No energy across the gap: 9 + 24 one-minute steps at 30 kW.
    EXPECT_NEAR(*r.kwhIntegrated, 33.0 * 30.0 / 60.0, 1e-9);
}

TEST_F(SurveyFigures, StepsLongerThanOneAndAHalfPeriodsAreGaps) {
    struct Case {
        std::int64_t step; // seconds between the second and third sample, period 60 s
        std::size_t gaps;
    };
    for (const Case c : {Case{60, 0}, Case{90, 0}, Case{91, 1}, Case{3600, 1}}) {
        SurveyFileSetup a;
        a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
        a.multiplier = 60;
        a.count = 4;
        a.timeOf = [&](int n) { return a.start + n * 60 + (n >= 2 ? c.step - 60 : 0); };
        const ReportResult built = Build({Write("gap-" + std::to_string(c.step) + ".ztr", a)});
        ASSERT_TRUE(built.ok) << built.error;
        EXPECT_EQ(built.report.gaps.size(), c.gaps) << c.step;
    }
}

TEST_F(SurveyFigures, DayBoundarySharesTheStepAtMidnight) {
    // Hourly, 22:00 on 15 Jan to 02:00 on 16 Jan, 10, 20, 30, 40, 50 kW.
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 22, 0, 0);
    a.multiplier = 3600;
    a.count = 5;
    a.fill = [](int n, std::int64_t, SampleRecord& r) {
        r[kKw] = 10.0 * (n + 1);
        r[kV1] = 230.0 + n;
        r[kV2] = 229.0 - n;
        r[kV3] = 231.0;
    };
    ReportResult built = Build({Write("hourly.ztr", a)});
    ASSERT_TRUE(built.ok) << built.error;
    const SurveyReport& r = built.report;
    ASSERT_EQ(r.days.size(), 2u);
    EXPECT_EQ(r.days[0].day, 20240115);
    EXPECT_NEAR(r.days[0].kwh, 15.0 + 25.0, kTolerance);
    EXPECT_NEAR(r.days[0].kwMax->value, 20.0, kTolerance);
    EXPECT_EQ(r.days[0].kwMax->at, LocalTimeOf(2024, 1, 15, 23, 0, 0));
    EXPECT_NEAR(*r.days[0].vMin, 228.0, kTolerance);
    EXPECT_NEAR(*r.days[0].vMax, 231.0, kTolerance);
    EXPECT_EQ(r.days[1].day, 20240116);
    EXPECT_NEAR(r.days[1].kwh, 35.0 + 45.0, kTolerance);
    EXPECT_NEAR(r.days[1].kwMax->value, 50.0, kTolerance);
    EXPECT_NEAR(*r.days[1].vMin, 225.0, kTolerance);
    EXPECT_NEAR(*r.days[1].vMax, 234.0, kTolerance);
    EXPECT_NEAR(*r.kwhIntegrated, 120.0, kTolerance);
    // An hourly log cannot tell a 15-minute demand.
    EXPECT_TRUE(r.demand.empty());
    EXPECT_EQ(r.completeIntervals, 0);

    // Two hours apart, 23:00 at 10 kW and 01:00 at 30 kW: 20 kW at midnight.
    SurveyFileSetup b;
    b.start = LocalTimeOf(2024, 1, 15, 23, 0, 0);
    b.period = 2;
    b.multiplier = 3600;
    b.count = 2;
    b.fill = [](int n, std::int64_t, SampleRecord& r) { r[kKw] = n == 0 ? 10.0 : 30.0; };
    built = Build({Write("two-hourly.ztr", b)});
    ASSERT_TRUE(built.ok) << built.error;
    ASSERT_EQ(built.report.days.size(), 2u);
    EXPECT_NEAR(built.report.days[0].kwh, 15.0, kTolerance);
    EXPECT_NEAR(built.report.days[1].kwh, 25.0, kTolerance);
}

TEST_F(SurveyFigures, SpringSummerTimeChangeCountsRealHours) {
    // Every 15 minutes from 00:00 GMT to 03:00 BST on 31 Mar 2024: nine samples over
    // two real hours, 1 .. 9 kW.
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 3, 31, 0, 0, 0);
    a.period = 15;
    a.multiplier = 60;
    a.count = 9;
    a.fill = [](int n, std::int64_t, SampleRecord& r) { r[kKw] = n + 1.0; };
    const ReportResult built = Build({Write("spring.ztr", a)});
    ASSERT_TRUE(built.ok) << built.error;
    const SurveyReport& r = built.report;
    EXPECT_TRUE(r.gaps.empty());
    EXPECT_EQ(*r.to - *r.from, 7200);
    EXPECT_NEAR(*r.kwhIntegrated, 10.0, kTolerance); // 0.25 h x (1.5 + 2.5 + ... + 8.5)
    ASSERT_EQ(r.days.size(), 1u);
    EXPECT_NEAR(r.days[0].kwh, 10.0, kTolerance);
    EXPECT_EQ(r.completeIntervals, 9);
    const auto* kw = Demand(r, "kW Sum");
    ASSERT_NE(kw, nullptr);
    EXPECT_NEAR(kw->max, 9.0, kTolerance);
    EXPECT_EQ(report::IsoTime(kw->at), "2024-03-31T03:15:00+01:00");
    // The interval of the 00:45 sample ends at 02:00 BST, the clock's first hour of
    // summer time.
    EXPECT_EQ(report::IsoTime(r.topTen[5].end), "2024-03-31T02:00:00+01:00");
    // The overlay runs on the wall clock: the fifth sample sits at 02:00.
    ASSERT_EQ(r.overlay.size(), 1u);
    ASSERT_EQ(r.overlay[0].points.size(), 9u);
    EXPECT_NEAR(r.overlay[0].points[4].x, 7200.0, 1.0);
}

TEST_F(SurveyFigures, AutumnSummerTimeChangeKeepsTheRepeatedHourApart) {
    // Every 15 minutes from 01:00 BST to 01:45 GMT on 27 Oct 2024: the clock shows
    // 01:00 .. 01:45 twice; eight intervals, not four.
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 10, 27, 0, 0, 0) + 3600; // 00:00 UTC = 01:00 BST
    a.period = 15;
    a.multiplier = 60;
    a.count = 8;
    a.fill = [](int n, std::int64_t, SampleRecord& r) { r[kKw] = n + 1.0; };
    const ReportResult built = Build({Write("autumn.ztr", a)});
    ASSERT_TRUE(built.ok) << built.error;
    const SurveyReport& r = built.report;
    EXPECT_EQ(r.completeIntervals, 8);
    EXPECT_EQ(report::IsoTime(*r.from), "2024-10-27T01:00:00+01:00");
    EXPECT_EQ(report::IsoTime(*r.to), "2024-10-27T01:45:00+00:00");
    EXPECT_NEAR(*r.kwhIntegrated, 0.25 * (1.5 + 2.5 + 3.5 + 4.5 + 5.5 + 6.5 + 7.5), kTolerance);
    EXPECT_EQ(report::IsoTime(Demand(r, "kW Sum")->at), "2024-10-27T02:00:00+00:00");

    // Hourly demand over the same change, one sample a minute: 01:00-02:00 BST at
    // 10 kW, then 01:00-02:00 GMT at 20 kW, back to back on the same clock hour.
    SurveyFileSetup b = a;
    b.period = 1;
    b.count = 120;
    b.fill = [](int n, std::int64_t, SampleRecord& rec) { rec[kKw] = n < 60 ? 10.0 : 20.0; };
    const ReportResult hourly = Build({Write("autumn-hourly.ztr", b)}, 60);
    ASSERT_TRUE(hourly.ok) << hourly.error;
    EXPECT_EQ(hourly.report.completeIntervals, 2);
    ASSERT_EQ(hourly.report.topTen.size(), 2u);
    EXPECT_NEAR(hourly.report.topTen[0].kw, 20.0, kTolerance);
    EXPECT_EQ(report::IsoTime(hourly.report.topTen[0].end), "2024-10-27T02:00:00+00:00");
    EXPECT_NEAR(hourly.report.topTen[1].kw, 10.0, kTolerance);
}

TEST_F(SurveyFigures, NaNSamplesAreSkippedAndCounted) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
    a.multiplier = 60;
    a.count = 5;
    a.fill = [](int n, std::int64_t, SampleRecord& r) {
        const double kw[] = {10.0, kNaN, 30.0, 40.0, kNaN};
        r[kKw] = kw[n];
        r[kV1] = n == 3 ? kNaN : 230.0;
        r[kV2] = 230.0;
        r[kV3] = 230.0;
    };
    const ReportResult built = Build({Write("nan.ztr", a)});
    ASSERT_TRUE(built.ok) << built.error;
    const SurveyReport& r = built.report;
    const auto* kw = Reading(r, "kW Sum");
    EXPECT_EQ(kw->count, 3);
    EXPECT_EQ(kw->nanCount, 2);
    EXPECT_NEAR(kw->min, 10.0, kTolerance); // not the 0.0 a NaN reads as
    EXPECT_NEAR(kw->mean, 80.0 / 3.0, kTolerance);
    EXPECT_NEAR(kw->max, 40.0, kTolerance);
    const auto* v1 = Reading(r, "V 1");
    EXPECT_EQ(v1->count, 4);
    EXPECT_EQ(v1->nanCount, 1);
    EXPECT_NEAR(v1->min, 230.0, kTolerance);
    EXPECT_TRUE(r.gaps.empty()); // a NaN is a sample, not a missing one
    // From 10 kW at 10:00 to 30 kW at 10:02, then to 40 kW at 10:03.
    EXPECT_NEAR(*r.kwhIntegrated, (20.0 * 2.0 + 35.0) / 60.0, kTolerance);
    EXPECT_NEAR(r.voltageLow->value, 230.0, kTolerance);
}

TEST_F(SurveyFigures, VoltageAgainstSystemVoltageAndUnbalance) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
    a.multiplier = 60;
    a.count = 3;
    a.systemVoltage = 230.0;
    a.systemCurrent = 100.0; // current unbalance counts from a 5 A mean
    a.fill = [](int n, std::int64_t, SampleRecord& r) {
        const double v[3][3] = {{230, 230, 230}, {220, 230, 240}, {229, 231, 230}};
        const double i[3][3] = {{1, 1, 4}, {10, 10, 16}, {50, 50, 50}};
        for (int k = 0; k < 3; ++k) {
            r[std::size_t(kV1 + k)] = v[n][k];
            r[std::size_t(kI1 + k)] = i[n][k];
        }
    };
    const ReportResult built = Build({Write("volts.ztr", a)});
    ASSERT_TRUE(built.ok) << built.error;
    const SurveyReport& r = built.report;
    const std::int64_t second = LocalTimeOf(2024, 1, 15, 10, 1, 0);
    EXPECT_NEAR(r.voltageLow->value, 220.0, kTolerance);
    EXPECT_EQ(r.voltageLow->phase, "V 1");
    EXPECT_NEAR(*r.voltageLow->percent, 220.0 / 230.0 * 100.0, 1e-9);
    EXPECT_NEAR(r.voltageHigh->value, 240.0, kTolerance);
    EXPECT_EQ(r.voltageHigh->phase, "V 3");
    EXPECT_NEAR(*r.voltageHigh->percent, 240.0 / 230.0 * 100.0, 1e-9);
    EXPECT_NEAR(r.voltageUnbalance->value, 10.0 / 230.0 * 100.0, 1e-9);
    EXPECT_EQ(r.voltageUnbalance->at, second);
    // 1, 1, 4 A (100 % off a 2 A mean) is below 5 A; 10, 10, 16 A is 4 A off 12 A.
    EXPECT_NEAR(r.currentUnbalance->value, 100.0 / 3.0, 1e-9);
    EXPECT_EQ(r.currentUnbalance->phase, "I 3");
    EXPECT_EQ(r.currentUnbalance->at, second);
}

TEST_F(SurveyFigures, ReducedListMeter) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
    a.multiplier = 60;
    a.count = 30;
    a.systemType = 3;
    a.fill = [](int n, std::int64_t, SampleRecord& r) {
        r[kShortV1] = 240.0 - n;
        r[kShortI1] = 10.0;
        r[kShortKw] = 7.457;
        r[kShortKwh] = 50.0 + n * 0.1;
    };
    const ReportResult built = Build({Write("short.ztr", a)});
    ASSERT_TRUE(built.ok) << built.error;
    const SurveyReport& r = built.report;
    ASSERT_EQ(r.readings.size(), 9u);
    EXPECT_EQ(r.readings[0].label, "V 1");
    EXPECT_EQ(r.readings[8].label, "h.p.");
    EXPECT_NEAR(r.readings[8].mean, 10.0, 1e-9); // 7.457 kW / 0.7457
    EXPECT_EQ(Reading(r, "kVA Sum"), nullptr);
    ASSERT_EQ(r.demand.size(), 1u);
    EXPECT_EQ(r.demand[0].label, "kW Sum");
    EXPECT_NEAR(r.demand[0].max, 7.457, kTolerance);
    ASSERT_EQ(r.energy.size(), 1u);
    EXPECT_NEAR(r.energy[0].used, 2.9, 1e-9);
    EXPECT_NEAR(r.voltageLow->value, 211.0, kTolerance);
    EXPECT_FALSE(r.voltageUnbalance);
    EXPECT_FALSE(r.currentUnbalance);
    EXPECT_EQ(r.profile.size(), 1u);
    EXPECT_EQ(r.voltages.size(), 1u);
}

TEST_F(SurveyFigures, OneSampleAndNone) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
    a.multiplier = 60;
    a.count = 1;
    a.fill = [](int, std::int64_t, SampleRecord& r) { r[kKw] = 12.0; };
    ReportResult built = Build({Write("one.ztr", a)});
    ASSERT_TRUE(built.ok) << built.error;
    EXPECT_EQ(built.report.samples, 1);
    EXPECT_NEAR(Reading(built.report, "kW Sum")->mean, 12.0, kTolerance);
    EXPECT_TRUE(built.report.demand.empty());
    EXPECT_TRUE(built.report.energy.empty());
    EXPECT_FALSE(built.report.kwhIntegrated);
    EXPECT_TRUE(built.report.profile.empty());

    a.count = 0;
    built = Build({Write("none.ztr", a)});
    ASSERT_TRUE(built.ok) << built.error;
    EXPECT_EQ(built.report.samples, 0);
    EXPECT_FALSE(built.report.from);
    EXPECT_EQ(Reading(built.report, "kW Sum")->count, 0);
    EXPECT_TRUE(built.report.days.empty());
}

TEST_F(SurveyFigures, FilesOfAnotherMeterOrOverlappingAreRefused) {
    struct Case {
        const char* what;
        std::function<void(SurveyFileSetup&)> change;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"node", [](SurveyFileSetup& s) { s.node = 2; }, "node 2 against node 1"},
        {"model", [](SurveyFileSetup& s) { s.model = 761; }, "model 761 against model 760"},
        {"variant", [](SurveyFileSetup& s) { s.systemType = 3; },
         "meter variant 3 against variant 1"},
        {"type", [](SurveyFileSetup& s) { s.typeNumber = 1; },
         "system type 1 against system type 3"},
        {"overlap", [](SurveyFileSetup& s) { s.start -= 120; }, "overlap in time"},
    };
    for (const Case& c : cases) {
        SurveyFileSetup a;
        a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
        a.multiplier = 60;
        a.count = 10;
        SurveyFileSetup b = a;
        b.start = a.start + 600;
        c.change(b);
        const std::string first = Write(std::string("first-") + c.what + ".ztr", a);
        const std::string second = Write(std::string("second-") + c.what + ".ztr", b);
        const ReportResult built = Build({first, second});
        EXPECT_FALSE(built.ok) << c.what;
        EXPECT_TRUE(Contains(built.error, c.expected)) << built.error;
        EXPECT_TRUE(Contains(built.error, std::string("first-") + c.what + ".ztr")) << built.error;
        EXPECT_TRUE(Contains(built.error, std::string("second-") + c.what + ".ztr")) << built.error;
    }
}

TEST_F(SurveyFigures, UnreadableFileAndTheSameFileTwice) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
    a.count = 3;
    const std::string file = Write("a.ztr", a);
    ReportResult built = Build({file, file});
    EXPECT_FALSE(built.ok);
    EXPECT_TRUE(Contains(built.error, "named twice")) << built.error;
    built = Build({dir.File("missing.ztr")});
    EXPECT_FALSE(built.ok);
    EXPECT_TRUE(Contains(built.error, "missing.ztr")) << built.error;
}

TEST_F(SurveyFigures, OpenProjectIsTakenFromMemoryAndItsFileNotTwice) {
    SurveyFileSetup a;
    a.start = LocalTimeOf(2024, 1, 15, 10, 0, 0);
    a.multiplier = 60;
    a.count = 10;
    a.fill = [](int, std::int64_t, SampleRecord& r) { r[kKw] = 5.0; };
    SurveyFileSetup b = a;
    b.start = a.start + 600;
    const std::string first = Write("first.ztr", a);
    const std::string second = Write("second.ztr", b);
    auto open = MakeSurveyDocument(b);
    open->m_PathName = second;
    open->m_SampleValues[0][kKw] = 99.0; // changed since it was saved
    const auto parts = report::PartsWithOpenProject(*open, {first, second});
    ASSERT_EQ(parts.size(), 2u);
    const ReportResult built = BuildSurveyReport(parts, {});
    ASSERT_TRUE(built.ok) << built.error;
    EXPECT_EQ(built.report.samples, 20);
    EXPECT_NEAR(Reading(built.report, "kW Sum")->max, 99.0, kTolerance);
    EXPECT_EQ(built.report.files[0].name, "first.ztr");
}

} // namespace
} // namespace zentra::test
