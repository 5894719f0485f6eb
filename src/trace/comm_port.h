// The serial component as the port of trace control.  Header only: for the
// programs that link zindra_serial as well (the window and zindra-cli).
#pragma once

#include "serial/comm.h"
#include "trace/control.h"

namespace zindra::trace {

class CommPort final : public TracePort {
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

}  // namespace zindra::trace
