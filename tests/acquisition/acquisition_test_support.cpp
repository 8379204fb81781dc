#include "tests/acquisition/acquisition_test_support.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace zentra::test {
namespace {

// Every test gets its own empty settings store: a new document reads the user's
// stored defaults and a destroyed one writes the serial link settings back, so a
// shared store would carry one test's settings into the next.
class FreshUserFolders final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        folders_ = std::make_unique<ScopedUserFolders>();
    }
    void OnTestEnd(const ::testing::TestInfo&) override { folders_.reset(); }
    std::unique_ptr<ScopedUserFolders> folders_;
};

[[maybe_unused]] const bool kFoldersInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshUserFolders);
    return true;
}();

} // namespace

std::unique_ptr<CZentraDoc> NewDoc() {
    auto doc = std::make_unique<CZentraDoc>();
    doc->OnNewDocument();
    return doc;
}

ReadingsBlock Block(double base) {
    ReadingsBlock block{};
    for (std::size_t p = 0; p < block.size(); ++p)
        block[p] = base + static_cast<double>(p + 1);
    return block;
}

std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> frame) {
    const std::uint16_t crc = ModbusCrc(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

void AppendFloat(std::vector<std::uint8_t>& frame, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.push_back(static_cast<std::uint8_t>(bits >> shift));
}

std::vector<std::uint8_t> ReadingsReply(std::uint8_t node, const ReadingsBlock& block, int count) {
    std::vector<std::uint8_t> frame{node, 4, static_cast<std::uint8_t>(count * 4)};
    for (int p = 0; p < count; ++p)
        AppendFloat(frame, static_cast<float>(block[static_cast<std::size_t>(p)]));
    return WithCrc(frame);
}

std::vector<std::uint8_t> InfoReply(std::uint8_t node, float voltage, float current,
                                    float systemType) {
    std::vector<std::uint8_t> frame{node, 3, 128};
    AppendFloat(frame, voltage);
    AppendFloat(frame, current);
    AppendFloat(frame, systemType);
    for (int f = 3; f < 32; ++f)
        AppendFloat(frame, static_cast<float>(f));
    return WithCrc(frame);
}

std::vector<std::uint8_t> LayoutReply(std::uint8_t node, const std::vector<std::uint8_t>& codes) {
    std::vector<std::uint8_t> frame{node, 66, 0, 0, 0, 0, static_cast<std::uint8_t>(codes.size())};
    frame.insert(frame.end(), codes.begin(), codes.end());
    return WithCrc(frame);
}

std::vector<std::uint8_t> ExceptionReply(std::uint8_t node, std::uint8_t function,
                                         std::uint8_t code) {
    return WithCrc({node, static_cast<std::uint8_t>(function | 0x80), code});
}

ScriptedMeter::ScriptedMeter() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    path_ = ptsname(master_);
}

ScriptedMeter::~ScriptedMeter() {
    HangUp();
}

std::vector<std::vector<std::uint8_t>> ScriptedMeter::TakeRequests() {
    std::vector<std::uint8_t> bytes;
    if (master_ >= 0) {
        std::uint8_t buffer[256];
        pollfd p{master_, POLLIN, 0};
        // Requests are written before the call returns; a short wait covers the
        // pseudo-terminal's hand-over.
        while (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
    }
    std::vector<std::vector<std::uint8_t>> frames;
    std::size_t at = 0;
    while (at + 2 <= bytes.size()) {
        const std::size_t length = bytes[at + 1] == 17 ? 4 : 8;
        const std::size_t end = std::min(bytes.size(), at + length);
        frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
    }
    return frames;
}

void ScriptedMeter::Send(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("cannot write to the pseudo-terminal");
        done += static_cast<std::size_t>(n);
    }
}

void ScriptedMeter::HangUp() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

} // namespace zentra::test
