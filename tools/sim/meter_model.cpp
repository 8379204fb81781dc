#include "tools/sim/meter_model.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace zentra::sim {

struct MeterModel::Instant {
    std::array<double, 3> volts{}; // phase to neutral, V
    std::array<double, 3> amps{};  // A
    std::array<double, 3> pf{};    // lagging
    std::array<double, 3> kW{}, kVA{}, kVAr{};
    std::array<double, 3> lineVolts{}; // L1-2, L2-3, L3-1
    double neutralAmps = 0.0;
    double hz = 50.0;
    double kWSum = 0.0, kVASum = 0.0, kVArSum = 0.0;
};

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kDemandSeconds = 900.0; // demand follows the load over 15 minutes
// Phase angles of L1, L2, L3 (radians).
constexpr std::array<double, 3> kPhaseAngle{0.0, -kTwoPi / 3.0, kTwoPi / 3.0};

double Wave(double t, double periodSeconds, double phase) {
    return std::sin(kTwoPi * t / periodSeconds + phase);
}

} // namespace

MeterModel::Instant MeterModel::At(double t) const {
    Instant s;
    std::complex<double> neutral;
    std::array<std::complex<double>, 3> v;
    for (int k = 0; k < 3; ++k) {
        s.volts[k] = 230.0 + 2.5 * Wave(t, 300.0, 2.1 * k) + 0.6 * Wave(t, 37.0, k);
        s.amps[k] = 42.0 + 2.0 * k + 8.0 * Wave(t, 600.0, 1.3 * k) + extraAmps_;
        s.pf[k] = 0.90 + 0.04 * Wave(t, 900.0, 0.7 * k);
        const double phi = std::acos(s.pf[k]);
        s.kVA[k] = s.volts[k] * s.amps[k] / 1000.0;
        s.kW[k] = s.kVA[k] * s.pf[k];
        s.kVAr[k] = s.kVA[k] * std::sin(phi);
        v[k] = std::polar(s.volts[k], kPhaseAngle[k]);
        neutral += std::polar(s.amps[k], kPhaseAngle[k] - phi);
    }
    for (int k = 0; k < 3; ++k)
        s.lineVolts[k] = std::abs(v[k] - v[(k + 1) % 3]);
    s.neutralAmps = std::abs(neutral);
    s.hz = 50.0 + 0.03 * Wave(t, 120.0, 0.0);
    for (int k = 0; k < 3; ++k) {
        s.kWSum += s.kW[k];
        s.kVASum += s.kVA[k];
        s.kVArSum += s.kVAr[k];
    }
    return s;
}

void MeterModel::AdvanceTo(double t) {
    if (kWDemand_ < 0.0) {
        const Instant s = At(0.0);
        kWDemand_ = s.kWSum;
        kVADemand_ = s.kVASum;
        ampDemand_ = (s.amps[0] + s.amps[1] + s.amps[2]) / 3.0;
    }
    const double alpha = 1.0 / kDemandSeconds;
    while (integratedTo_ + 1.0 <= t) {
        const Instant s = At(integratedTo_ + 0.5);
        const double meanAmps = (s.amps[0] + s.amps[1] + s.amps[2]) / 3.0;
        kWh_ += s.kWSum / 3600.0;
        kVArh_ += s.kVArSum / 3600.0;
        kVAh_ += s.kVASum / 3600.0;
        ampHours_ += meanAmps / 3600.0;
        kWDemand_ += alpha * (s.kWSum - kWDemand_);
        kVADemand_ += alpha * (s.kVASum - kVADemand_);
        ampDemand_ += alpha * (meanAmps - ampDemand_);
        integratedTo_ += 1.0;
    }
    maxKWDemand_ = std::max(maxKWDemand_, kWDemand_);
    maxKVADemand_ = std::max(maxKVADemand_, kVADemand_);
    maxAmpDemand_ = std::max(maxAmpDemand_, ampDemand_);
}

std::array<float, kReadingCount> MeterModel::Readings(double t) {
    AdvanceTo(t);
    const Instant s = At(std::max(t, integratedTo_));
    std::array<double, kReadingCount + 1> r{}; // r[index], index 1..48
    r[1] = s.lineVolts[0];
    r[2] = s.lineVolts[1];
    r[3] = s.lineVolts[2];
    for (int k = 0; k < 3; ++k) {
        r[4 + k] = s.volts[k];
        r[7 + k] = s.amps[k];
        r[17 + k] = s.kW[k];
        r[20 + k] = s.kVAr[k];
        r[27 + k] = s.kVA[k];
        r[30 + k] = s.pf[k];
    }
    r[10] = s.kWSum;
    r[11] = s.kVASum;
    r[12] = s.kVArSum;
    r[13] = s.kWSum / s.kVASum;
    r[14] = kWh_;
    r[15] = kVArh_;
    r[16] = s.hz;
    r[23] = kWDemand_;
    r[24] = kVADemand_;
    r[25] = ampDemand_;
    r[26] = s.neutralAmps;
    r[33] = 0.0; // nothing exported by a load
    r[34] = 0.0;
    r[35] = kVAh_;
    r[36] = ampHours_;
    r[37] = 0.0;
    r[38] = maxKWDemand_;
    r[39] = 0.0;
    r[40] = maxKVADemand_;
    r[41] = maxAmpDemand_;
    // 42..48 carry nothing on this meter.
    std::array<float, kReadingCount> out{};
    for (int i = 1; i <= kReadingCount; ++i)
        out[i - 1] = static_cast<float>(r[i]);
    return out;
}

std::array<float, kInfoFloats> MeterModel::InfoBlock(const MeterInfo& info) {
    std::array<float, kInfoFloats> block{};
    block[0] = info.systemVoltage;
    block[1] = info.systemCurrent;
    block[2] = static_cast<float>(info.systemType);
    block[14] = info.vtPrimary;
    block[15] = info.vtSecondary;
    return block;
}

std::array<float, kIdentityFloats> MeterModel::IdentityBlock(const MeterIdentity& identity) {
    std::array<float, kIdentityFloats> block{};
    block[0] = identity.model;
    block[4] = identity.version;
    block[6] = identity.commsLock;
    block[7] = identity.compileDate;
    block[11] = identity.serialHigh;
    block[12] = identity.serialLow;
    return block;
}

} // namespace zentra::sim
