#include "tools/logger/logger_identify.h"

#include "acquisition/acquisition_cycle.h"
#include "comms/meter.h"
#include "comms/serial_link.h"
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
    int exception = 0; // of the last whole exception reply
    for (int attempt = 0; attempt < kIdentifyAttempts; ++attempt) {
        {
            K760modbus meter(doc.m_PortHandle, node, doc.m_Comms.floatOrder);
            if (meter.RequestIdentity() == 0) {
                // A connection the far end has closed shows here, at the latest on
                // the request after the read that met the hang-up.
                if (PortGone(doc.m_PortHandle))
                    err << "zentra-log: " << PortGoneText(port) << '\n';
                else
                    err << "zentra-log: cannot write to " << PortAndDevice(port) << '\n';
                return Identified::Failed;
            }
        }
        if (!WaitUnlessStopped(wait, stop))
            return Identified::Stopped;
        K760modbus meter(doc.m_PortHandle, node, doc.m_Comms.floatOrder);
        meter.ReceiveReply();
        if (stop.load())
            return Identified::Stopped;
        if (meter.client.rxCount > 0 && meter.client.status == 0 && meter.client.exceptionCode)
            exception = meter.client.exceptionCode;
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
    const std::string where = PortAndDevice(port) + ", node " + std::to_string(node);
    if (const std::string gateway = GatewayExceptionText(exception); !gateway.empty())
        err << "zentra-log: " << where << ": " << gateway << '\n';
    else if (exception != 0)
        err << "zentra-log: " << where << ": the meter answers with exception code " << exception
            << " instead of its identity\n";
    else
        err << "zentra-log: no answer from node " << static_cast<int>(node) << " on "
            << PortAndDevice(port)
            << " (check the wiring, the node number, the baud rate and the parity)\n";
    return Identified::Failed;
}

} // namespace zentra::logger
