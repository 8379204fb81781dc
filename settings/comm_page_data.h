// What the "Comms" page edits and shows, as plain data: its working copy of the
// document's serial link and meter fields, the copies to and from the document, and
// the texts of the lines the page lists for the meter's identity and information.
#pragma once

#include "comms/comm_settings.h"
#include "comms/meter.h"
#include "comms/serial_link.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentra {

struct CZentraDoc;

// Texts and captions of the sheet's messages and of the page's own lines.
namespace comm_text {
inline constexpr std::string_view kArchived = "Comms is disabled: Archived File";
inline constexpr std::string_view kArchivedCaption = "Archived File";
inline constexpr std::string_view kTerminateQuestion =
    "Communication To The Node Will Be Terminated\nDo You Want To Continue?";
inline constexpr std::string_view kWarningCaption = "Warning";
inline constexpr std::string_view kSheetCaption = "Port Settings";
inline constexpr std::string_view kPageTitle = "Comms";
inline constexpr std::string_view kNoCommunication = "Unable to establish communication with node";
inline constexpr std::string_view kFloatError = "Endian and/or Word Swapping incorrectly set";
inline constexpr std::string_view kFloatErrorCaption = "Floating Point Error";
} // namespace comm_text

inline constexpr int kNodeDigits = 3;    // node number: decimal, at most 3 digits
inline constexpr int kLatencyChars = 7;  // latency text, milliseconds
inline constexpr int kCommTextChars = 9; // longest text a 10-byte field keeps

// The page's working copy. comms.portSetUp is not edited: the page's connected flag
// decides it when the sheet is confirmed.
struct CommPageData {
    CommSettings comms{};
    double nodeAddress = 1.0;
    double modelNumber = 0.0;
    float versionFraction = 0.0f;
    std::int32_t systemType = 1; // meter variant 1..6
    // Carried through unchanged.
    double systemVoltage = 0.0;
    double systemCurrent = 0.0;
    double systemTypeNumber = 0.0;
    double meterSpare = 0.0;
};

// Opening the sheet: closes the document's port (the page is about to probe and open
// ports itself) and copies the document's fields to the page.
CommPageData CommToPage(CZentraDoc& doc);

// OK: the page's fields back to the document, the page's open port (kInvalidPort when
// none) becomes the document's, portSetUp = connected, and m_LastRequest = 0 so that
// no reply is expected until retrieval is (re)started.
void CommFromPage(const CommPageData& page, PortHandle pagePort, std::int32_t connected,
                  CZentraDoc& doc);

// Any other ending: the page's port is closed and portSetUp cleared.
void CommCancelled(PortHandle& pagePort, CZentraDoc& doc);

// A fixed text field as a string (up to its NUL) and back (cut to what fits).
std::string CommFieldText(const CommText& field);
void SetCommFieldText(CommText& field, std::string_view text);

// The node as typed: the leading decimal digits of its first 3 characters (none: 0).
double NodeFromText(std::string_view text);
// The node as shown: no decimals.
std::string NodeText(double node);
// The latency as typed: its first 7 characters.
std::string LatencyFromText(std::string_view text);

// The five lines of an identity reply: model number, version, compile date, serial
// number and comms lock.
std::vector<std::string> IdentityLines(const std::array<float, kIdentityFloats>& identity);
// The five lines of an information reply: system type, voltage, VT primary and
// secondary, current.
std::vector<std::string> InformationLines(const std::array<double, kMeterInfoSize>& info);
// A device path as the port list shows it: whole up to maxChars characters, longer
// ones cut in the middle ("/dev/serial/by…A50285BI-if00-port0"), since both the folder
// and the end of the name tell devices apart.
std::string ShortDevicePath(std::string_view path, std::size_t maxChars);

// The text of a system type number, or a note for a number the meter should not send.
std::string SystemTypeText(double number);

} // namespace zentra
