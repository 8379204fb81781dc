// Serial devices through termios and poll(): exclusive open, raw 8-bit line settings
// from a definition text, RS-485 direction control, a read framed by an inter-byte gap
// and bounded by the reply window of the last request, write, and clearing the input
// after a line error. A file descriptor is the port handle; -1 is invalid.
#pragma once

#include "platform/serial_direction.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentra::platform {

using namespace std::chrono_literals;

// A read ends this long after the last byte received (one reply is one burst).
inline constexpr std::chrono::milliseconds kReadIntervalTimeout{20ms};
// The whole read ends after multiplier x bytes asked for + constant, bytes or not.
inline constexpr std::chrono::milliseconds kReadTotalTimeoutMultiplier{1ms};
inline constexpr std::chrono::milliseconds kReadTotalTimeoutConstant{1ms};
// A write that cannot hand its bytes to the driver within this time gives up, so a
// stalled device never hangs the caller (frames here are a few bytes long).
inline constexpr std::chrono::milliseconds kWriteTimeout{1000ms};
// The wait before a reply is read, until the holder sets the user's own.
inline constexpr std::chrono::milliseconds kDefaultReplyLatency{200ms};

enum class SerialOpenError {
    None,
    NoSuchDevice,     // path missing, or the device has gone
    Busy,             // open elsewhere (exclusive lock or TIOCEXCL held)
    PermissionDenied, // the user may not open it (not in the dialout group)
    NotSerial,        // the path is not a terminal device
    Unreachable,      // a network address that did not connect (detail says why)
    InvalidAddress,   // a network address that is not well formed
    Stopped,          // a network connection given up because a stop was asked for
    Other,
};

struct SerialOpenResult {
    int fd = -1;
    SerialOpenError error = SerialOpenError::None;
    int systemError = 0; // errno of the failing call
    std::string detail;  // a sentence a user can act on, where the error alone says too little
};

// Opens a device for exclusive reading and writing (O_NOCTTY, non-blocking I/O under
// poll). A second open of the same device, from this or another process, fails as
// Busy: an advisory flock and TIOCEXCL together, since TIOCEXCL alone is not enforced
// for privileged users. Stale input and output are discarded. RTS is down on return
// and direction control chosen (SetUpRtsControl).
// A network address (tcp://HOST:PORT, modbus-tcp://HOST:PORT, see net_address.h)
// connects instead, within kConnectTimeout; reads and writes then carry the same RTU
// frames, converted at the port where the network framing differs. Line settings and
// modem lines do not apply to it and are not an error.
SerialOpenResult OpenSerialDevice(const std::string& path);

// Whether the device could be opened now (it is closed again at once), for listing
// the ports. A network address counts as present without connecting, since an
// attempt can take seconds: the connection is made, and can fail, when the port opens.
bool SerialDevicePresent(const std::string& path);

// Releases exclusivity and closes; forgets the port's state. Ignores -1.
void CloseSerialDevice(int fd);

// Line settings parsed from a definition text such as
// "COM1: baud=38400 parity=N data=8 stop=1".
struct LineSettings {
    int baud = 0;      // 4800, 9600, 19200, 38400, 57600 or 115200
    char parity = 'N'; // 'N', 'O' or 'E'
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2

    bool operator==(const LineSettings&) const = default;
};

// The settings of a definition text; empty when any of baud, parity, data or stop is
// missing or not one the line can be set to (an unknown parity letter or baud rate).
std::optional<LineSettings> ParseDefinitionText(std::string_view text);

// Raw 8-bit transfer with the given speed and framing. False when the device refuses.
bool ApplyLineSettings(int fd, const LineSettings& settings);

// How RTS is driven on this port (None for a descriptor not opened here).
RtsControl PortRtsControl(int fd);

enum class SerialStatus {
    Ok,       // bytes moved (a read may also end on the gap or total time-out)
    TimedOut, // a read that received nothing within its total time-out
    HangUp,   // the device has gone (adapter pulled, other end closed); sticky
    Error,    // any other failure (bad handle, I/O error)
};

struct SerialTransfer {
    std::size_t count = 0;
    SerialStatus status = SerialStatus::Ok;
    int systemError = 0;
    bool wholeFrame = false; // a read that ended as soon as its frame was in
};

// The reader's knowledge of its frames: given the bytes received so far, the length of
// the whole frame they begin with, or 0 while none is complete (not all in yet, or not
// a frame at all). Bytes after that frame are not part of the reply.
using FrameLength = std::size_t (*)(const std::uint8_t* bytes, std::size_t count);

// Total time-out of a read of maxBytes: 1 ms per byte plus 1 ms.
std::chrono::milliseconds ReadTotalTimeout(std::size_t maxBytes);

// The wait the holder allows between sending a request and reading its reply. With it,
// each request opens a reply window: from the end of its write, this latency plus
// ReadTotalTimeout of the read. Any descriptor may carry one (close it with
// CloseSerialDevice then).
void SetReplyLatency(int fd, std::chrono::milliseconds latency);

// Blocks until maxBytes have arrived, kReadIntervalTimeout has passed since the last
// byte, or ReadTotalTimeout(maxBytes) has passed since the call. The first byte is
// awaited only until the reply window of the last request closes, if that is earlier,
// so a reply that has not begun by then (a silent meter) costs no wait; bytes already
// waiting are still read and framed. A device that has gone returns at once with
// HangUp (the bytes already received are kept).
// With `frame`, the read ends as soon as the bytes in hand begin with a whole frame:
// the count is that frame's length and wholeFrame is set; whatever came with it or
// comes after it is discarded before the next write. Bytes that never make a whole
// frame (cut short, too long, a bad CRC) still end on the gap. On a Modbus TCP port
// the frame is the RTU frame of a reply to any request still awaiting one.
SerialTransfer ReadSerial(int fd, std::uint8_t* buffer, std::size_t maxBytes,
                          FrameLength frame = nullptr);

// Discards whatever input is waiting (a late or doubled reply, noise: nothing that
// arrived before a request can be its reply), then writes all bytes (or as many as
// the driver takes within kWriteTimeout), with RTS up around them where direction
// control is by hand, and opens the reply window.
SerialTransfer WriteSerial(int fd, const std::uint8_t* data, std::size_t length);

// Waits until input is waiting on the port (or it has gone, which the next read then
// reports) or `wait` has passed; true in the first case. For a caller with a reply
// window of its own, shorter than a read's.
bool WaitForInput(int fd, std::chrono::milliseconds wait);

// Clears a line error by discarding whatever is waiting in the input queue.
bool ClearSerialError(int fd);

// True once a read or write on this port saw a hang-up or an I/O error that means the
// device is gone; stays set until the port is closed.
bool PortGone(int fd);

// Status of the last read on this port (Ok before any read).
SerialStatus LastReadStatus(int fd);

} // namespace zentra::platform
