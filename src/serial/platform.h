// The operating-system side of the serial port: one small interface per
// concern, so that the port's logic (properties, notices, event order, error
// texts, threads) is written once.  posix_platform.cpp implements it with
// termios, win32_platform.cpp with the Win32 comm API.
//
// Every call that can fail returns 0 or the system error code (errno on
// POSIX, GetLastError() on Windows); the port turns codes into CommError
// texts with Platform::errorText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "serial/sync.h"
#include "serial/types.h"

namespace zindra::serial::platform {

enum class EventWaitResult {
    Events,  // monitored events are pending
    Woken,   // the wake event was set
    Gone,    // the device has gone away (hang-up, unplugged); do not wait again
    Failed,  // the wait itself failed
};

// The receive event thread's view of the device.
class EventWaiter {
public:
    virtual ~EventWaiter() = default;
    // Blocks until events of the device's event mask are pending (`events`
    // gets their EV_ bits), the wake event given at creation is set, or the
    // device has gone.  Arriving bytes are announced once per arrival: bytes
    // left unread are announced again only together with further bytes.
    virtual EventWaitResult wait(std::uint32_t& events, int& error) = 0;
};

// One open device.  Every call is safe from any thread; after close() every
// call fails (EBADF) and no call touches the closed descriptor any more.
class Device {
public:
    virtual ~Device() = default;

    // Closes the device at once and releases its exclusive use.
    virtual void close() noexcept = 0;
    // Writes the complete line settings.  Settings the device cannot follow
    // fail as a whole (EINVAL) and change nothing.
    virtual int setState(const Dcb& dcb) = 0;
    virtual int setupQueues(std::uint32_t inSize, std::uint32_t outSize) = 0;
    virtual int setTimeouts(const CommTimeouts& timeouts) = 0;
    virtual int setEventMask(std::uint32_t mask) = 0;
    // Raises or lowers DTR or RTS.
    virtual int escape(EscapeFunction function) = 0;
    // Fetches and clears the line error flags (CE_) and reads the queues.
    virtual int clearError(CommStatus& status) = 0;
    // Bytes waiting in the input queue; leaves the error flags alone.
    virtual int inQueue(std::uint32_t& count) = 0;
    // Never block: `got` / `put` are 0 when nothing could be moved at once.
    virtual int read(void* buffer, std::size_t count, std::size_t& got) = 0;
    virtual int write(const void* buffer, std::size_t count, std::size_t& put) = 0;
    // Waits until write() can take bytes or one of `events` is set.  Returns
    // the index of the first set event, events.size() when writable, -1 on
    // time-out, -2 on failure (`error`).  Callers set an event before they
    // close the device, so a wait never outlives the descriptor unnoticed.
    virtual int waitWritable(std::span<WaitEvent* const> events, std::uint32_t timeoutMs, int& error) = 0;
    // The waiter for the receive event thread; `wake` ends its waits.
    virtual std::unique_ptr<EventWaiter> createEventWaiter(WaitEvent& wake, int& error) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Opens `path` for exclusive read and write use; null and `error` set on
    // failure.
    virtual std::shared_ptr<Device> open(const std::string& path, int& error) = 0;
    // The path opened for a device title such as "COM3".
    [[nodiscard]] virtual std::string devicePath(const std::string& title) const = 0;
    // The system's text for an error code, without trailing blanks and full stops.
    [[nodiscard]] virtual std::string errorText(int code) const = 0;
    // Whether an open error means "no such device".
    [[nodiscard]] virtual bool isNotFound(int code) const = 0;
    // Whether a read or write error means the device has gone for good.
    [[nodiscard]] virtual bool isGone(int code) const = 0;

    // Identifies the calling thread for setThreadPriority.
    [[nodiscard]] virtual std::uint64_t currentThreadId() const = 0;
    // Best effort: a priority the process may not take is left alone.
    virtual void setThreadPriority(std::uint64_t thread, ThreadPriority priority) const = 0;
};

// The platform of this build (POSIX termios on Linux).
std::shared_ptr<Platform> defaultPlatform();

}  // namespace zindra::serial::platform
