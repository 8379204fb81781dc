// The meter's register map: which requests fetch the readings, the information
// block, the identity and the readings layout, and where each value sits in a reply.
// Built for one step and discarded, like the client it embeds.
#pragma once

#include "comms/modbus_client.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zentra {

inline constexpr std::uint32_t kReplyReadLimit = 512; // bytes asked for per reply
inline constexpr int kMeterInfoSize = 59;
inline constexpr int kMeterInfoUsed = 16;
inline constexpr int kIdentityFloats = 14;
inline constexpr int kReplyNone = -1; // replyFunction when no usable reply arrived

// Function codes the program sends.
inline constexpr std::uint8_t kFcMeterInfo = 3;
inline constexpr std::uint8_t kFcReadings = 4;
inline constexpr std::uint8_t kFcIdentity = 17;
inline constexpr std::uint8_t kFcLayout = 66;

// Identity floats and information floats used by the program.
inline constexpr int kIdentityModel = 0, kIdentityVersion = 4, kIdentityCommsLock = 6,
                     kIdentityCompileDate = 7, kIdentitySerialHigh = 11, kIdentitySerialLow = 12;
inline constexpr int kInfoVoltage = 0, kInfoCurrent = 1, kInfoSystemType = 2, kInfoVtPrimary = 14,
                     kInfoVtSecondary = 15;

// "1ph" .. "3ph4w bal" for system type numbers 1..6; empty otherwise.
std::string_view SystemTypeName(int number);

// Meter variant 1..6 from the firmware version (its fractional part).
std::int32_t MeterVariant(double firmwareVersion);
// The fractional part of the version as the document keeps it.
float VersionFraction(double firmwareVersion);

// A model number outside 500..900 means the float byte order is set wrongly.
bool ModelNumberPlausible(double modelNumber);

class K760modbus {
  public:
    K760modbus(PortHandle port, std::uint8_t node, std::int32_t order);
    virtual ~K760modbus() = default;

    std::uint32_t RequestMeterInfo();
    std::uint32_t RequestReadings();
    std::uint32_t RequestPositionMap();
    std::uint32_t RequestIdentity();
    void ReceiveReply();

    Cmodbus client;
    PortHandle port;
    std::uint8_t node;
    std::int32_t order;
    std::int32_t replyFunction = kReplyNone;
    std::array<double, kMeterInfoSize> meterInfo{};
    std::array<double, 48> readings{};
    std::array<std::int32_t, 48> positionCodes{};
    std::array<float, kIdentityFloats> identity{};
    // How many entries of readings / positionCodes / identity / meterInfo the last
    // reply actually carried; entries beyond are zero and are not data.
    std::uint32_t decodedCount = 0;
};

} // namespace zentra
