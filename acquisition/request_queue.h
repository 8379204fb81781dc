// The view's small queue of requests still to send, one per tick, after the reply
// of the previous one has been read. It holds request kinds, not function codes.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace zentra {

// Request kinds held by the queue.
inline constexpr std::int32_t kRequestMeterInfo = 2; // fc 3
inline constexpr std::int32_t kRequestReadings = 3;  // fc 4
inline constexpr std::int32_t kRequestLayout = 4;    // fc 66

inline constexpr int kRequestQueueCapacity = 10;

struct RequestQueue {
    std::array<std::int32_t, kRequestQueueCapacity> kinds{};
    int readPosition = 0;
    int count = 0;

    bool Empty() const { return count <= 0; }

    // Replaces the contents with the given kinds (read position 0); kinds beyond the
    // capacity are dropped.
    void Load(std::initializer_list<std::int32_t> list) {
        readPosition = 0;
        count = 0;
        for (std::int32_t kind : list) {
            if (count == kRequestQueueCapacity)
                break;
            kinds[static_cast<std::size_t>(count++)] = kind;
        }
    }

    // Appends a kind; false when the queue is full.
    bool Push(std::int32_t kind) {
        if (count >= kRequestQueueCapacity)
            return false;
        kinds[static_cast<std::size_t>((readPosition + count) % kRequestQueueCapacity)] = kind;
        ++count;
        return true;
    }

    // Takes the next kind: advances the read position and decreases the count.
    std::optional<std::int32_t> Pop() {
        if (count <= 0)
            return std::nullopt;
        readPosition %= kRequestQueueCapacity;
        if (readPosition < 0)
            readPosition = 0;
        std::int32_t kind = kinds[static_cast<std::size_t>(readPosition)];
        readPosition = (readPosition + 1) % kRequestQueueCapacity;
        --count;
        return kind;
    }
};

} // namespace zentra
