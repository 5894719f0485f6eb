// Trace control over a serial port: Start, the receive handler and Stopp's
// port steps, shared by the window and the command line.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Stopp's port steps: "\nTRACEOF", then close.  Close drops output still
// queued, so the command is given a moment to leave first: a FAT that never
// hears it goes on mirroring its link.
void stopPort(TracePort& port);

}  // namespace zindra::trace
