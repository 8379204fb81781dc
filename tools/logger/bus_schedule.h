// What one line can carry: the wire time of a meter's readings transaction at the
// line's settings, and how many meters that leaves room for each second.
#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

namespace zentra::logger {

// Bytes of one readings transaction: the 8-byte request and the 197-byte reply
// (node, function, count, 48 floats, CRC).
inline constexpr int kReadingsRequestBytes = 8;
inline constexpr int kReadingsReplyBytes = 197;

struct LineTiming {
    int baud = 38400;
    int bitsPerCharacter = 10; // start, 8 data, parity, stop bits
};

// The line's settings as the document holds them ("38400", "NONE", "1"); a text that
// is none of them keeps the default.
LineTiming TimingOf(const char* baud, const char* parity, const char* stopBits);

// Wire time of one readings transaction: its bytes plus the 3.5-character silence
// that ends each frame (at least 1.75 ms above 19200 baud).
std::chrono::microseconds TransactionTime(const LineTiming& line);

// Meters whose readings the line carries each second (at least 1).
int MetersPerSecond(const LineTiming& line);

// A meter's claim on one round of a line that cannot carry every meter each second.
struct TurnClaim {
    bool wants = false; // it would send a request this round
    bool due = false;   // the reply to it is a logged sample (or the meter is starting)
};

// Which meters send their request this round: every due one, whatever the line's
// room (a logged sample is never put off), then the others in turn, starting at
// `next` and going round, while the round's `room` (transactions) lasts; `next` moves
// past the last one served so that every meter gets its turns. A meter that wants
// nothing takes no room.
std::vector<bool> ChooseTurns(const std::vector<TurnClaim>& claims, int room, std::size_t& next);

} // namespace zentra::logger
