// What the simulated meter measures: a three-phase, four-wire load that drifts slowly,
// given as the 48 readings of the standard block layout at a moment t (seconds since
// the simulator started), plus the fixed information block and identity.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zentra::sim {

inline constexpr int kReadingCount = 48;
inline constexpr int kInfoFloats = 32;     // 64 holding registers
inline constexpr int kIdentityFloats = 14; // identity reply

struct MeterIdentity {
    float model = 760.0f;
    float version = 1.01f; // fraction .01: meter variant 1
    float commsLock = 0.0f;
    float compileDate = 240315.0f;
    float serialHigh = 123456.0f;
    float serialLow = 42.0f;
};

// The installation's ratings. The relative graphs divide a phase voltage by the
// system voltage (a line voltage by it times the square root of 3) and a current by
// the system current, so the system voltage is the nominal phase voltage, 230 V, and
// the current rating sits just above the load (42..54 A per phase): a healthy supply
// plots near 100 %. The meter is connected directly, without a voltage transformer:
// primary and secondary both read the nominal voltage (ratio 1).
struct MeterInfo {
    float systemVoltage = 230.0f; // V, phase to neutral
    float systemCurrent = 50.0f;  // A
    int systemType = 3;           // "3ph4w"
    float vtPrimary = 230.0f;     // V
    float vtSecondary = 230.0f;   // V
};

class MeterModel {
  public:
    MeterModel() = default;
    // A meter whose load carries extraAmps more on every phase (A): on a simulated bus
    // each node measures its own load, so a test can tell whose values it holds.
    explicit MeterModel(double extraAmps) : extraAmps_(extraAmps) {}

    // Readings 1..48 of the standard layout at element index-1. Energies grow and
    // demands follow the load as t advances; t never goes backwards between calls
    // (an earlier t gives the values at the latest t seen).
    std::array<float, kReadingCount> Readings(double t);

    static std::array<float, kInfoFloats> InfoBlock(const MeterInfo& info);
    static std::array<float, kIdentityFloats> IdentityBlock(const MeterIdentity& identity);

  private:
    struct Instant; // the instantaneous quantities at one moment
    Instant At(double t) const;
    void AdvanceTo(double t);

    double extraAmps_ = 0.0; // A added to each phase current

    // Integrated on a one-second grid, so the values are a function of t alone.
    double integratedTo_ = 0.0;
    double kWh_ = 18432.5;
    double kVArh_ = 7311.2;
    double kVAh_ = 20507.9;
    double ampHours_ = 51220.4;
    double kWDemand_ = -1.0; // < 0: not started
    double kVADemand_ = 0.0;
    double ampDemand_ = 0.0;
    double maxKWDemand_ = 0.0;
    double maxKVADemand_ = 0.0;
    double maxAmpDemand_ = 0.0;
};

} // namespace zentra::sim
