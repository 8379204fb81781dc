// Hostile documents for the text renderings (CSV rows, data tables) and the checks of
// what they write: every number text is the number with the decimals of its band,
// every row has its columns, nothing grows without bound. Shared by the CSV and the
// data-table fuzz targets and the tests that replay their inputs.
#pragma once

#include "document/zentra_doc.h"
#include "fuzz/document_readers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace zentra::fuzz {

// The longest number text: a sign and the 309 digits of the largest double.
inline constexpr std::size_t kLongestValueText = 310;

// Reads the input front to back; past its end every read gives zero bytes.
class InputReader {
  public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    template <typename T> T Raw() {
        std::uint8_t bytes[sizeof(T)] = {};
        for (auto& b : bytes)
            b = Byte();
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    std::size_t Left() const { return size_ - std::min(at_, size_); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A double the input picks: mostly one of the values that break number formatting,
// else its raw bits.
inline double HostileDouble(InputReader& in) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    static constexpr double kValues[] = {
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        kInf,
        -kInf,
        std::numeric_limits<double>::max(),
        -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::min(),
        std::numeric_limits<double>::denorm_min(),
        -0.0,
        0.0,
        9.9995,
        -99.995,
        999.95,
        1e15,
        -1e300,
        7.457,
    };
    const std::uint8_t pick = in.Byte();
    if (pick < std::size(kValues))
        return kValues[pick];
    return in.Raw<double>();
}

// A 32-bit count or index the input picks: the edges first, else its raw bits.
inline std::int32_t HostileInt(InputReader& in, std::int32_t small) {
    static constexpr std::int32_t kValues[] = {std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max(),
                                               -1,
                                               0,
                                               1,
                                               kMaxSamples,
                                               kMaxSamples + 1,
                                               kRingSlots,
                                               kRingSlots - 1};
    const std::uint8_t pick = in.Byte();
    if (pick < std::size(kValues))
        return kValues[pick];
    if (pick < 128)
        return static_cast<std::int32_t>(pick % (small + 1));
    return in.Raw<std::int32_t>();
}

// Decimals of the number text of v: three below 10, two below 100, one below 1000,
// none from 1000 on (and for infinities).
inline int DecimalsFor(double v) {
    const double a = std::fabs(v);
    return a < 10.0 ? 3 : a < 100.0 ? 2 : a < 1000.0 ? 1 : 0;
}

// Checks one number text against the value it shows.
inline void CheckValueText(std::string_view text, double v, std::size_t where) {
    if (text.empty() || text.size() > kLongestValueText)
        Fail("a number text is empty or too long", where);
    if (std::isnan(v)) {
        if (text != "0.000")
            Fail("a value that is not a number does not show as 0.000", where);
        return;
    }
    if (std::isinf(v)) {
        if (text != (v > 0 ? "inf" : "-inf"))
            Fail("an infinity shows as something else", where);
        return;
    }
    const std::size_t point = text.find('.');
    const int decimals =
        point == std::string_view::npos ? 0 : static_cast<int>(text.size() - point - 1);
    if (decimals != DecimalsFor(v))
        Fail("a number text has the decimals of another band", where);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!(c >= '0' && c <= '9') && !(c == '-' && i == 0) && !(c == '.' && i == point))
            Fail("a number text holds a character that is not part of a number", where);
    }
    double shown = 0.0; // the text read back: plain digits, so no locale is involved
    if (std::from_chars(text.data(), text.data() + text.size(), shown).ec != std::errc())
        Fail("a number text does not read back as a number", where);
    const double step = decimals == 3 ? 0.0005 : decimals == 2 ? 0.005 : decimals == 1 ? 0.05 : 0.5;
    if (!(std::fabs(shown - v) <= step * (1.0 + 1e-9) + std::fabs(v) * 1e-15))
        Fail("a number text is not the value it shows", where);
}

// The number of times the separator occurs in a text.
inline std::size_t CountOf(std::string_view text, std::string_view separator) {
    std::size_t count = 0;
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, at + separator.size()))
        ++count;
    return count;
}

} // namespace zentra::fuzz
