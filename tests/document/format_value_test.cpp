// The number format shared by the data tables and the CSV rows.
#include "document/format_value.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace zentra {
namespace {

struct Case {
    double value;
    const char* text;
};

TEST(FormatValue, DecimalsFollowTheMagnitudeAndRoundingMayCrossABand) {
    const Case cases[] = {
        {0.0, "0.000"},       {9.87654, "9.877"},        {9.9996, "10.000"}, {-9.5, "-9.500"},
        {10.0, "10.00"},      {12.3456, "12.35"},        {99.5, "99.50"},    {100.0, "100.0"},
        {123.456, "123.5"},   {999.94, "999.9"},         {1000.0, "1000"},   {1234.56, "1235"},
        {-1234.4, "-1234"},   {-5.0, "-5.000"},          {-10.0, "-10.00"},  {1e9, "1000000000"},
        {-0.00004, "-0.000"}, {7.457 / 0.7457, "10.00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatValue(c.value), c.text) << c.value;
}

TEST(FormatValue, NotANumberShowsAsZeroAndInfinitiesAsText) {
    EXPECT_EQ(FormatValue(std::numeric_limits<double>::quiet_NaN()), "0.000");
    EXPECT_EQ(FormatValue(-std::numeric_limits<double>::quiet_NaN()), "0.000");
    EXPECT_EQ(FormatValue(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(FormatValue(-std::numeric_limits<double>::infinity()), "-inf");
    // The largest value still fits.
    EXPECT_EQ(FormatValue(std::numeric_limits<double>::max()).size(), 309u);
}

TEST(FormatValue, AlwaysUsesAPointWhateverTheLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const std::string text = FormatValue(12.3456);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(text, "12.35");
}

} // namespace
} // namespace zentra
