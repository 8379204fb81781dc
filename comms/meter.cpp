#include "comms/meter.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace zentra {
namespace {

constexpr std::array<std::string_view, 7> kSystemTypeNames{
    "", "1ph", "3ph3w", "3ph4w", "1ph3w", "3ph3w bal", "3ph4w bal"};

// Requests: floats counted from parameter 1.
constexpr std::uint16_t kFirstParameter = 1;
constexpr std::uint8_t kMeterInfoFloats = 32; // 64 holding registers
constexpr std::uint8_t kReadingFloats = 48;   // 96 input registers
constexpr std::uint8_t kLayoutCount = 14;

constexpr double kModelNumberLow = 500.0;
constexpr double kModelNumberHigh = 900.0;

double WordToDouble(std::uint32_t word) {
    return static_cast<double>(std::bit_cast<float>(word));
}

} // namespace

std::string_view SystemTypeName(int number) {
    if (number < 1 || number >= static_cast<int>(kSystemTypeNames.size()))
        return {};
    return kSystemTypeNames[static_cast<std::size_t>(number)];
}

float VersionFraction(double firmwareVersion) {
    return static_cast<float>(firmwareVersion - std::trunc(firmwareVersion));
}

std::int32_t MeterVariant(double firmwareVersion) {
    // The fraction goes through single precision, then is compared as a double with
    // these exact constants (some one unit in the last place off the round decimal);
    // each later match overrides.
    const double f = VersionFraction(firmwareVersion);
    std::int32_t variant = 1;
    if (0.015 < f && f < 0.025)
        variant = 2;
    if (0.024999999999999998 < f && f < 0.034999999999999996)
        variant = 3;
    if (0.035 < f && f < 0.045)
        variant = 4;
    if (0.045000000000000005 < f && f < 0.055)
        variant = 5;
    if (0.055 < f && f < 0.065)
        variant = 6;
    return variant;
}

bool ModelNumberPlausible(double modelNumber) {
    // Written so that a NaN (a common result of a wrong byte order) is implausible too.
    return modelNumber >= kModelNumberLow && modelNumber <= kModelNumberHigh;
}

K760modbus::K760modbus(PortHandle port, std::uint8_t node, std::int32_t order)
    : port(port), node(node), order(order) {}

std::uint32_t K760modbus::RequestMeterInfo() {
    client.BuildRequest(kFcMeterInfo, node, kFirstParameter, kMeterInfoFloats);
    client.AppendCrc();
    client.SendRequest(port);
    return client.bytesWritten;
}

std::uint32_t K760modbus::RequestReadings() {
    client.BuildRequest(kFcReadings, node, kFirstParameter, kReadingFloats);
    client.AppendCrc();
    client.SendRequest(port);
    return client.bytesWritten;
}

std::uint32_t K760modbus::RequestPositionMap() {
    client.BuildRequest(kFcLayout, node, kFirstParameter, kLayoutCount);
    client.AppendCrc();
    client.SendRequest(port);
    return client.bytesWritten;
}

std::uint32_t K760modbus::RequestIdentity() {
    client.BuildRequest(kFcIdentity, node, 0, 0);
    client.AppendCrc();
    client.SendRequest(port);
    return client.bytesWritten;
}

void K760modbus::ReceiveReply() {
    replyFunction = kReplyNone;
    decodedCount = 0;
    client.ReadReply(port, kReplyReadLimit);
    if (client.rxCount == 0)
        return;
    client.CheckReplyCrc();
    if (client.status != 0)
        return;
    // An exception reply is never data; neither is an answer from another node on the
    // shared line (a reply to someone else's request, or a misconfigured slave).
    if (client.exceptionCode != 0 || (client.rxBuffer[1] & 0x80) != 0)
        return;
    if (client.replyNode != node)
        return;
    replyFunction = client.rxBuffer[1];

    // Entries a short reply did not carry are left at zero and counted out.
    auto carried = [&](std::size_t wanted) {
        decodedCount =
            std::min<std::uint32_t>(client.valueCount, static_cast<std::uint32_t>(wanted));
        return decodedCount;
    };
    switch (replyFunction) {
    case kFcMeterInfo: {
        meterInfo.fill(0.0);
        client.DecodeReply(order);
        const std::uint32_t n = carried(kMeterInfoUsed);
        for (std::uint32_t i = 0; i < n; ++i)
            meterInfo[i] = WordToDouble(client.values[i]);
        break;
    }
    case kFcReadings: {
        readings.fill(0.0);
        client.DecodeReply(order);
        const std::uint32_t n = carried(readings.size());
        for (std::uint32_t i = 0; i < n; ++i)
            readings[i] = WordToDouble(client.values[i]);
        break;
    }
    case kFcIdentity: {
        identity.fill(0.0f);
        client.DecodeReply(order);
        const std::uint32_t n = carried(identity.size());
        for (std::uint32_t i = 0; i < n; ++i)
            identity[i] = std::bit_cast<float>(client.values[i]);
        break;
    }
    case kFcLayout: {
        positionCodes.fill(0);
        client.DecodeReply(order);
        const std::uint32_t n = carried(positionCodes.size());
        for (std::uint32_t i = 0; i < n; ++i)
            positionCodes[i] = static_cast<std::int32_t>(client.values[i]);
        break;
    }
    default: // any other code: nothing is stored
        break;
    }
}

} // namespace zentra
