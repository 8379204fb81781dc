#include "tests/acquisition/acquisition_test_support.h"

#include "comms/serial_link.h"

#include <bit>

namespace zentra::test {
namespace {

// Every test gets its own empty settings store: a new document reads the stored
// defaults and a destroyed one writes the link settings back.
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

void AppendFloat(Bytes& frame, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.push_back(static_cast<std::uint8_t>(bits >> shift));
}

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

::testing::AssertionResult CycleRig::OpenCom1() {
    doc->m_PortHandle = OpenPort(doc->m_Comms, EnumeratePorts(), doc->m_PortHandle);
    if (doc->m_PortHandle == kInvalidPort)
        return ::testing::AssertionFailure() << LastOpenFailure();
    doc->m_Comms.portSetUp = 1;
    return ::testing::AssertionSuccess();
}

Bytes ReadingsReply(std::uint8_t node, const ReadingsBlock& block, int count) {
    Bytes frame{node, 4, static_cast<std::uint8_t>(count * 4)};
    for (int p = 0; p < count; ++p)
        AppendFloat(frame, static_cast<float>(block[static_cast<std::size_t>(p)]));
    return WithCrc(frame);
}

Bytes InfoReply(std::uint8_t node, float voltage, float current, float systemType) {
    Bytes frame{node, 3, 128};
    for (const float f : {voltage, current, systemType})
        AppendFloat(frame, f);
    for (int f = 3; f < 32; ++f)
        AppendFloat(frame, static_cast<float>(f));
    return WithCrc(frame);
}

Bytes LayoutReply(std::uint8_t node, const Bytes& codes) {
    Bytes frame{node, 66, 0, 0, 0, 0, static_cast<std::uint8_t>(codes.size())};
    frame.insert(frame.end(), codes.begin(), codes.end());
    return WithCrc(frame);
}

std::vector<Bytes> ScriptedMeter::TakeRequests() {
    // Requests are written before the call returns; a short wait covers the hand-over.
    const Bytes bytes = Received(std::chrono::milliseconds(5));
    std::vector<Bytes> frames;
    for (std::size_t at = 0; at + 2 <= bytes.size();) {
        const std::size_t end = std::min(bytes.size(), at + (bytes[at + 1] == 17 ? 4 : 8));
        frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
    }
    return frames;
}

} // namespace zentra::test
