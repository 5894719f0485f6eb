// Trace control over a serial port: Start, the receive handler and Stopp's
// port steps, shared by the window and the command line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "trace/session.h"

namespace zindra::trace {

// The few things trace control asks of the serial port.
class TracePort {
public:
    virtual ~TracePort() = default;
    virtual std::string deviceName() const = 0;
    // Opens the device; throws (the port's own error) when it cannot.
    virtual void open() = 0;
    virtual bool active() const = 0;
    // Nothing happens when the port is not open.
    virtual void close() = 0;
    // Up to max bytes from the input queue; 0 when none wait or the port is closed.
    virtual std::size_t read(std::uint8_t* buf, std::size_t max) = 0;
    // Writes (or queues) the bytes; nothing when the port is closed.
    virtual std::size_t write(const std::uint8_t* buf, std::size_t n) = 0;
    // Waits (bounded) until queued output has gone to the device.
    virtual void flush() {}
};

inline constexpr int AnswerTimeoutMs = 4000;
inline constexpr std::size_t ReceiveChunk = 80;
// The most bytes one notification, one drain or Start's drop reads.
inline constexpr std::size_t ReadOnLimit = 1 << 20;

// Start: warns about an empty device name, opens the port (its error
// propagates and nothing changes), empties IdentText, drops the bytes waiting
// from before (80 at a time, while whole chunks come: a FAT left mirroring
// may have filled the queue), sends "\nTRACEON", enters the waiting state and
// arms the answer timer.  Returns false when the port did not open.
bool startTrace(TraceSession& session, TracePort& port);

// The receive handler: 80-byte chunks from the port into the capture, the
// ring and the dispatcher, read on while whole chunks come (a notification
// comes only with new bytes, so what it leaves would wait for the next
// arrival).  Returns the number of bytes read.
std::size_t receiveFromPort(TraceSession& session, TracePort& port);

// Receives what the port still holds, so that nothing that has arrived is
// lost when the trace ends.  Bounded, for a device that never pauses.
// Returns the number of bytes read.
std::size_t drainPort(TraceSession& session, TracePort& port);

// Stopp: while a live trace runs on an open port, drains it and shows what
// the identifying chunk left in the ring; then runs Stopp if the trace still
// runs (the drained bytes may have ended it).  During a replay: Stopp only.
void stopTrace(TraceSession& session, TracePort& port);

// Watch mode's reopen: opens the port again after the device vanished
// (an error to open counts as "not yet": nothing is thrown), drops what
// waits from before, sends "\nTRACEON" again and waits for the reply again
// (the answer timer armed as at Start).  Returns whether the port is open.
bool reopenTrace(TraceSession& session, TracePort& port);

inline constexpr std::chrono::milliseconds ReopenInterval{2000};

// Watch mode through cable pulls: a vanished device does not end the trace.
// The owner reports the loss (its port's hang-up notice) and calls retry()
// now and then (at least every ReopenInterval); every ReopenInterval a
// reopen is tried until one succeeds.  Stopp ends the trace as always;
// calling nothing more of this object is all it takes.
class CableWatch {
public:
    using Clock = std::chrono::steady_clock;

    // The device went away: closes the port and remembers when (UTC
    // microseconds, for the gap).  Nothing when already lost.
    void lost(TracePort& port, std::int64_t utcNow, Clock::time_point now = Clock::now());
    // While lost and at least ReopenInterval after the loss or the last try:
    // tries reopenTrace.  Returns the gap's start when the port is open
    // again (the gap ends now); nullopt otherwise.
    std::optional<std::int64_t> retry(TraceSession& session, TracePort& port,
                                      Clock::time_point now = Clock::now());
    // The answer timer ran out.  After a reopen the device counts as gone
    // again (a FAT still starting, an adapter back without its cable): the
    // port is closed and tried again every ReopenInterval instead of ending
    // the trace as at Start.  Returns whether it took the time-out; if not,
    // the caller runs the session's answerTimeoutCheck as always.
    bool answerMissing(TraceSession& session, TracePort& port, std::int64_t utcNow,
                       Clock::time_point now = Clock::now());
    bool disconnected() const { return lostSince_.has_value(); }
    // When the device was lost (UTC microseconds), while it is.
    std::optional<std::int64_t> lostSince() const { return lostSince_; }
    // Reopen attempts since the loss.
    int attempts() const { return attempts_; }

private:
    std::optional<std::int64_t> lostSince_;
    Clock::time_point lastTry_{};
    int attempts_ = 0;
    bool reopened_ = false;  // the last reopen has not been answered yet
};

// Now, as a chunk's time: UTC microseconds since 1970-01-01.
std::int64_t utcMicrosNow();

// Stopp's port steps: "\nTRACEOF", then close.  Close drops output still
// queued, so the command is given a moment to leave first: a FAT that never
// hears it goes on mirroring its link.
void stopPort(TracePort& port);

}  // namespace zindra::trace
