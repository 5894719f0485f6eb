// Value types of the serial port component: the property enumerations, the
// driver-level records (device control block, status) and the hooks an
// application injects (UI-thread dispatcher, exception handler).
//
// Numbers that reach the driver keep the Win32 values (event mask bits,
// CE_ error flags, DCB codes) so that a Win32 platform layer can pass them
// through unchanged; the POSIX layer translates them.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>

namespace zindra::serial {

// A small set of enumeration values stored as bits (value n is bit n).
template <typename E, typename Bits>
class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> values) {
        for (E v : values) bits_ = static_cast<Bits>(bits_ | bit(v));
    }
    [[nodiscard]] constexpr bool contains(E v) const { return (bits_ & bit(v)) != 0; }
    [[nodiscard]] constexpr bool empty() const { return bits_ == 0; }
    constexpr EnumSet& include(E v) {
        bits_ = static_cast<Bits>(bits_ | bit(v));
        return *this;
    }
    constexpr EnumSet& exclude(E v) {
        bits_ = static_cast<Bits>(bits_ & ~bit(v));
        return *this;
    }
    [[nodiscard]] constexpr Bits bits() const { return bits_; }
    friend constexpr bool operator==(EnumSet, EnumSet) = default;

private:
    static constexpr Bits bit(E v) { return static_cast<Bits>(Bits{1} << static_cast<unsigned>(v)); }
    Bits bits_ = 0;
};

enum class Baudrate : std::uint8_t {
    brUser,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};

enum class Parity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum class Databits : std::uint8_t { db4, db5, db6, db7, db8 };
enum class Stopbits : std::uint8_t { sb1, sb15, sb2 };

enum class ControlDtr : std::uint8_t { dtrDisabled, dtrEnabled, dtrHandshake };
enum class ControlRts : std::uint8_t { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };

enum class CommOption : std::uint8_t { coErrorChar, coNullStrip, coParityCheck };
using CommOptions = EnumSet<CommOption, std::uint8_t>;

enum class CommEvent : std::uint8_t {
    ceBreak,
    ceCts,
    ceDsr,
    ceError,
    ceRing,
    ceRlsd,
    ceRxChar,
    ceTxEmpty,
    ceRxFlag,
    cePErr,
    ceRx80Full,
    ceEvent1,
    ceEvent2,
};
using CommEvents = EnumSet<CommEvent, std::uint16_t>;

enum class ThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};

// Event mask bits.
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;
inline constexpr std::uint32_t EV_PERR = 0x0200;
inline constexpr std::uint32_t EV_RX80FULL = 0x0400;
inline constexpr std::uint32_t EV_EVENT1 = 0x0800;
inline constexpr std::uint32_t EV_EVENT2 = 0x1000;

// The mask bit of one CommEvent.
std::uint32_t eventMaskBit(CommEvent e);

// Line error flags as reported by getStatus.
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;
inline constexpr std::uint32_t CE_IOE = 0x0400;

// A bit of an event mask counts as set when (mask AND bit), taken as a signed
// 32-bit number, is above 0.
constexpr bool maskHas(std::uint32_t mask, std::uint32_t bit) {
    return static_cast<std::int32_t>(mask & bit) > 0;
}

// Codes of the device control block.
inline constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
inline constexpr std::uint8_t DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint8_t RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2,
                              RTS_CONTROL_TOGGLE = 3;

// The complete line settings handed to the driver in one piece.  Built from
// zeros by the port; every field the port does not set stays 0.
struct Dcb {
    std::uint32_t baudRate = 0;
    bool fBinary = false;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    std::uint8_t fDtrControl = 0;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    std::uint8_t fRtsControl = 0;
    bool fAbortOnError = false;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
    std::uint8_t byteSize = 0;
    std::uint8_t parity = 0;
    std::uint8_t stopBits = 0;
    std::uint8_t xonChar = 0;
    std::uint8_t xoffChar = 0;
    std::uint8_t errorChar = 0;
    std::uint8_t eofChar = 0;
    std::uint8_t evtChar = 0;
};

// Queue status of the driver.
struct ComStat {
    std::uint32_t flags = 0;
    std::uint32_t cbInQue = 0;   // bytes waiting to be read
    std::uint32_t cbOutQue = 0;  // bytes not yet sent
};

// Result of Comm::getStatus: the CE_ flags (fetched and cleared) and the queues.
struct CommStatus {
    std::uint32_t errors = 0;
    ComStat stat;
};

// Driver time-outs.  The port always sets "return at once with what is
// queued" for reads and no write time-out.
struct CommTimeouts {
    std::uint32_t readIntervalTimeout = 0;
    std::uint32_t readTotalTimeoutMultiplier = 0;
    std::uint32_t readTotalTimeoutConstant = 0;
    std::uint32_t writeTotalTimeoutMultiplier = 0;
    std::uint32_t writeTotalTimeoutConstant = 0;
};

enum class EscapeFunction : std::uint8_t { SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6 };

// Runs a function on the UI thread and returns once it has run.  The port's
// worker threads deliver every notification through it.
using Dispatcher = std::function<void(const std::function<void()>&)>;

// Receives exceptions that leave event handlers run by the port (OnOpen,
// OnError and everything the worker threads deliver).
using ExceptionHandler = std::function<void(std::exception_ptr)>;

}  // namespace zindra::serial
