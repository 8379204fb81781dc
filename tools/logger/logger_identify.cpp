#include "tools/logger/logger_identify.h"

#include "acquisition/acquisition_cycle.h"
#include "comms/meter.h"
#include "document/zentra_doc.h"
#include "tools/logger/logger_timing.h"

#include <chrono>
#include <cstdio>
#include <ostream>

namespace zentra::logger {
namespace {

constexpr int kIdentifyAttempts = 3;

} // namespace

Identified IdentifyMeter(CZentraDoc& doc, const std::string& port, const std::atomic<bool>& stop,
                         std::ostream& out, std::ostream& err, IdentityTexts* texts) {
    const std::uint8_t node = NodeByte(doc.m_ModbusNode);
    const std::chrono::milliseconds wait{LatencyMilliseconds(doc.m_Comms)};
    for (int attempt = 0; attempt < kIdentifyAttempts; ++attempt) {
        {
            K760modbus meter(doc.m_PortHandle, node, doc.m_Comms.floatOrder);
            if (meter.RequestIdentity() == 0) {
                err << "zentra-log: cannot write to " << port << '\n';
                return Identified::Failed;
            }
        }
        if (!WaitUnlessStopped(wait, stop))
            return Identified::Stopped;
        K760modbus meter(doc.m_PortHandle, node, doc.m_Comms.floatOrder);
        meter.ReceiveReply();
        if (stop.load())
            return Identified::Stopped;
        if (meter.replyFunction != kFcIdentity || meter.client.replyNode != node ||
            meter.decodedCount <= static_cast<std::uint32_t>(kIdentityVersion))
            continue;
        const double model = meter.identity[kIdentityModel];
        const double version = meter.identity[kIdentityVersion];
        if (!ModelNumberPlausible(model)) {
            err << "zentra-log: Endian and/or Word Swapping incorrectly set (model number " << model
                << " with --order " << doc.m_Comms.floatOrder << ")\n";
            return Identified::Failed;
        }
        doc.m_ModelNumber = model;
        doc.m_VersionFraction = VersionFraction(version);
        doc.m_SystemType = MeterVariant(version);
        char text[160];
        std::snprintf(text, sizeof text, "Meter: model %.0f, version %.3f, variant %d (%s list)\n",
                      model, version, doc.m_SystemType, doc.ShortList() ? "short" : "full");
        out << text << std::flush;
        if (texts) {
            std::snprintf(text, sizeof text, "%.3f", version);
            texts->version = text;
            if (meter.decodedCount > static_cast<std::uint32_t>(kIdentitySerialLow)) {
                std::snprintf(text, sizeof text, "%06.0f%04.0f",
                              meter.identity[kIdentitySerialHigh], meter.identity[kIdentitySerialLow]);
                texts->serial = text;
            }
        }
        return Identified::Yes;
    }
    err << "zentra-log: no answer from node " << static_cast<int>(node) << " on " << port
        << " (check the wiring, the node number, the baud rate and the parity)\n";
    return Identified::Failed;
}

} // namespace zentra::logger
