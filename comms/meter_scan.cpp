#include "comms/meter_scan.h"

#include "comms/meter.h"
#include "platform/serial_port.h"

#include <algorithm>
#include <cstdio>

namespace zentra {
namespace {

using Clock = std::chrono::steady_clock;

} // namespace

std::string ScanHitLine(const ScanHit& hit) {
    char text[160];
    if (!hit.IsMeter()) {
        std::snprintf(text, sizeof text, "node %d: answers with exception %d (not this kind of meter)",
                      hit.node, hit.exceptionCode);
        return text;
    }
    std::snprintf(text, sizeof text, "node %d: model %.0f, version %.3f, serial %s, float order %s",
                  hit.node, hit.model, hit.version, hit.serial.c_str(),
                  hit.orderPlausible ? "plausible" : "not plausible");
    return text;
}

MeterScan::MeterScan(PortHandle port, int first, int last, std::int32_t order,
                     std::chrono::milliseconds window)
    : port_(port), first_(std::clamp(first, kFirstScanNode, kLastScanNode)),
      last_(std::clamp(last, kFirstScanNode, kLastScanNode)), next_(first_), order_(order),
      window_(std::max(window, std::chrono::milliseconds{1})) {}

std::optional<ScanHit> MeterScan::Step() {
    if (Done())
        return std::nullopt;
    const auto node = static_cast<std::uint8_t>(next_++);
    {
        K760modbus sender(port_, node, order_);
        if (sender.RequestIdentity() == 0) {
            portGone_ = zentra::PortGone(port_);
            return std::nullopt;
        }
    }
    // The window is the scan's own: a read alone would wait its whole time-out for a
    // node that is not there. A late answer of the node before (another node) or noise
    // does not end it.
    const auto until = Clock::now() + window_;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left <= std::chrono::milliseconds::zero() || !platform::WaitForInput(port_, left))
            break;
        K760modbus meter(port_, node, order_);
        meter.ReceiveReply();
        if (zentra::PortGone(port_)) {
            portGone_ = true;
            return std::nullopt;
        }
        const Cmodbus& c = meter.client;
        const bool whole = c.rxCount > 0 && c.status == 0;
        if (!whole || c.replyNode != node)
            continue;
        ScanHit hit;
        hit.node = node;
        if (c.rxBuffer[1] == (kFcIdentity | 0x80)) {
            hit.exceptionCode = c.exceptionCode;
            return hit;
        }
        if (meter.replyFunction != kFcIdentity ||
            meter.decodedCount <= static_cast<std::uint32_t>(kIdentitySerialLow))
            continue;
        hit.model = meter.identity[kIdentityModel];
        hit.version = meter.identity[kIdentityVersion];
        char serial[64];
        std::snprintf(serial, sizeof serial, "%06.0f%04.0f",
                      static_cast<double>(meter.identity[kIdentitySerialHigh]),
                      static_cast<double>(meter.identity[kIdentitySerialLow]));
        hit.serial = serial;
        hit.orderPlausible = ModelNumberPlausible(hit.model);
        ++meters_;
        return hit;
    }
    return std::nullopt;
}

} // namespace zentra
