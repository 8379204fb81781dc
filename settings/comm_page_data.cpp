#include "settings/comm_page_data.h"

#include "document/zentra_doc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace zentra {
namespace {

template <typename... Args> std::string Format(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

double At(const std::array<float, kIdentityFloats>& identity, int index) {
    return static_cast<double>(identity[static_cast<std::size_t>(index)]);
}

double At(const std::array<double, kMeterInfoSize>& info, int index) {
    return info[static_cast<std::size_t>(index)];
}

} // namespace

CommPageData CommToPage(CZentraDoc& doc) {
    ClosePort(doc.m_PortHandle);

    CommPageData page;
    page.comms = doc.m_Comms;
    page.comms.portSetUp = 0;
    page.nodeAddress = doc.m_ModbusNode;
    page.modelNumber = doc.m_ModelNumber;
    page.versionFraction = doc.m_VersionFraction;
    page.systemType = doc.m_SystemType;
    page.systemVoltage = doc.m_SystemVoltage;
    page.systemCurrent = doc.m_SystemCurrent;
    page.systemTypeNumber = doc.m_SystemTypeNumber;
    page.meterSpare = doc.m_MeterSpare;
    return page;
}

void CommFromPage(const CommPageData& page, PortHandle pagePort, std::int32_t connected,
                  CZentraDoc& doc) {
    CommSettings& comms = doc.m_Comms;
    comms.port = page.comms.port;
    comms.baud = page.comms.baud;
    comms.parity = page.comms.parity;
    comms.dataBits = page.comms.dataBits;
    comms.stopBits = page.comms.stopBits;
    comms.latency = page.comms.latency;
    comms.floatOrder = page.comms.floatOrder;
    // The document's own port was closed when the sheet opened; never drop an open one.
    if (doc.m_PortHandle != pagePort)
        ClosePort(doc.m_PortHandle);
    doc.m_PortHandle = pagePort;
    comms.portSetUp = connected;
    doc.m_ModbusNode = page.nodeAddress;
    doc.m_ModelNumber = page.modelNumber;
    doc.m_VersionFraction = page.versionFraction;
    doc.m_SystemType = page.systemType;
    doc.m_SystemVoltage = page.systemVoltage;
    doc.m_SystemCurrent = page.systemCurrent;
    doc.m_SystemTypeNumber = page.systemTypeNumber;
    doc.m_MeterSpare = page.meterSpare;
    doc.m_LastRequest = 0;
}

void CommCancelled(PortHandle& pagePort, CZentraDoc& doc) {
    ClosePort(pagePort);
    doc.m_Comms.portSetUp = 0;
}

std::string CommFieldText(const CommText& field) {
    return std::string(field.data(), strnlen(field.data(), field.size()));
}

void SetCommFieldText(CommText& field, std::string_view text) {
    field.fill('\0');
    const std::size_t n = std::min<std::size_t>(text.size(), kCommTextChars);
    std::copy_n(text.begin(), n, field.begin());
}

double NodeFromText(std::string_view text) {
    text = text.substr(0, kNodeDigits);
    double node = 0.0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        node = node * 10.0 + (c - '0');
    }
    return node;
}

std::string NodeText(double node) {
    return Format("%.0f", node);
}

std::string LatencyFromText(std::string_view text) {
    return std::string(text.substr(0, kLatencyChars));
}

std::string ShortDevicePath(std::string_view path, std::size_t maxChars) {
    static constexpr std::string_view kEllipsis = "\u2026"; // one character on screen
    if (path.size() <= maxChars || maxChars < 3)
        return std::string(path);
    // Counted in bytes; a cut never splits a multi-byte character.
    auto continuation = [&](std::size_t i) { return (path[i] & 0xC0) == 0x80; };
    const std::size_t keep = maxChars - 1;
    std::size_t head = keep / 3;
    std::size_t tailStart = path.size() - (keep - head);
    while (head > 0 && continuation(head))
        --head;
    while (tailStart < path.size() && continuation(tailStart))
        ++tailStart;
    return std::string(path.substr(0, head)) + std::string(kEllipsis) +
           std::string(path.substr(tailStart));
}

std::vector<std::string> IdentityLines(const std::array<float, kIdentityFloats>& identity) {
    return {
        Format("Model Number: %-.0f", At(identity, kIdentityModel)),
        Format("Version: %-.3f", At(identity, kIdentityVersion)),
        Format("Compile Date: %06.0f", At(identity, kIdentityCompileDate)),
        Format("Serial #: %06.0f%04.0f", At(identity, kIdentitySerialHigh),
               At(identity, kIdentitySerialLow)),
        At(identity, kIdentityCommsLock) != 0.0 ? "Comms Lock: ON" : "Comms Lock: OFF",
    };
}

std::string SystemTypeText(double number) {
    // Only 1..6 have names; anything else (a new meter, or a wrong byte order) is
    // shown as the number the meter sent.
    if (std::isfinite(number) && number >= 1.0 && number < 7.0)
        return std::string(SystemTypeName(static_cast<int>(number)));
    return Format("%g (unknown)", number);
}

std::vector<std::string> InformationLines(const std::array<double, kMeterInfoSize>& info) {
    return {
        "System Type: " + SystemTypeText(At(info, kInfoSystemType)),
        Format("System Voltage: %-.2fV", At(info, kInfoVoltage)),
        Format("VT Primary: %-.3f", At(info, kInfoVtPrimary)),
        Format("VT Secondary: %-.3f", At(info, kInfoVtSecondary)),
        Format("System Current: %-.3f", At(info, kInfoCurrent)),
    };
}

} // namespace zentra
