#include "tools/logger/bus_schedule.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zentra::logger {
namespace {

constexpr std::chrono::microseconds kLeastSilence{1750};

} // namespace

LineTiming TimingOf(const char* baud, const char* parity, const char* stopBits) {
    LineTiming line;
    const long rate = std::strtol(baud, nullptr, 10);
    if (rate >= 300 && rate <= 4000000)
        line.baud = static_cast<int>(rate);
    line.bitsPerCharacter = 10;
    if (std::strcmp(parity, "ODD") == 0 || std::strcmp(parity, "EVEN") == 0)
        ++line.bitsPerCharacter;
    if (std::strcmp(stopBits, "2") == 0)
        ++line.bitsPerCharacter;
    return line;
}

std::chrono::microseconds TransactionTime(const LineTiming& line) {
    const double character = 1e6 * line.bitsPerCharacter / line.baud; // µs
    const auto silence =
        std::max(std::chrono::microseconds(static_cast<long>(3.5 * character)), kLeastSilence);
    const auto bytes = std::chrono::microseconds(
        static_cast<long>(character * (kReadingsRequestBytes + kReadingsReplyBytes)));
    return bytes + 2 * silence;
}

int MetersPerSecond(const LineTiming& line) {
    const auto each = TransactionTime(line).count();
    return std::max(1, static_cast<int>(1'000'000 / each));
}

std::vector<bool> ChooseTurns(const std::vector<TurnClaim>& claims, int room, std::size_t& next) {
    std::vector<bool> turns(claims.size(), false);
    for (std::size_t i = 0; i < claims.size(); ++i)
        if (claims[i].wants && claims[i].due) {
            turns[i] = true;
            --room;
        }
    const std::size_t count = claims.size();
    const std::size_t first = next;
    for (std::size_t k = 0; k < count && room > 0; ++k) {
        const std::size_t i = (first + k) % count;
        if (!claims[i].wants || turns[i])
            continue;
        turns[i] = true;
        --room;
        next = (i + 1) % count;
    }
    return turns;
}

} // namespace zentra::logger
