// The serial component as the live engine's port.
#pragma once

#include "live/port.h"
#include "serial/comm.h"

namespace zindra::live {

class CommPort final : public Port {
public:
    explicit CommPort(serial::Comm& comm) : comm_(comm) {}
    std::string deviceName() const override { return comm_.deviceName(); }
    void open() override { comm_.open(); }
    bool active() const override { return comm_.active(); }
    void close() override { comm_.close(); }
    std::size_t read(std::uint8_t* buf, std::size_t max) override {
        const int n = comm_.readBuf(buf, static_cast<int>(max));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    std::size_t write(const std::uint8_t* buf, std::size_t n) override {
        const int w = comm_.writeBuf(buf, static_cast<int>(n));
        return w > 0 ? static_cast<std::size_t>(w) : 0;
    }

    // At 9600 baud the eight bytes of a command take under 10 ms; a second
    // covers a slow driver without hanging Stopp on a stuck one.
    void flush() override { comm_.flushOutput(1000); }

private:
    serial::Comm& comm_;
};

}  // namespace zindra::live
