// The few things the live engine asks of a serial port, so that it runs on the
// serial component (CommPort) and, in tests, on a port in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zindra::live {

class Port {
public:
    virtual ~Port() = default;
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

}  // namespace zindra::live
