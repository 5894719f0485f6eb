#include "trace/control.h"

#include <array>
#include <chrono>

#include "trace/identify.h"

namespace zindra::trace {
namespace {

const std::uint8_t TraceOn[8] = {'\n', 'T', 'R', 'A', 'C', 'E', 'O', 'N'};
const std::uint8_t TraceOff[8] = {'\n', 'T', 'R', 'A', 'C', 'E', 'O', 'F'};

}  // namespace

bool startTrace(TraceSession& session, TracePort& port) {
    if (port.deviceName().empty()) session.ui().showError(NoPortText);
    port.open();
    if (!port.active()) {
        port.close();
        return false;
    }
    session.clearIdentText();
    std::array<std::uint8_t, ReceiveChunk> drop{};
    for (std::size_t total = 0; total < ReadOnLimit;) {
        const std::size_t n = port.read(drop.data(), ReceiveChunk);
        total += n;
        if (n < ReceiveChunk) break;
    }
    port.write(TraceOn, sizeof TraceOn);
    session.enterWaiting();
    session.ui().armAnswerTimer(AnswerTimeoutMs);
    return true;
}

std::size_t receiveFromPort(TraceSession& session, TracePort& port) {
    std::array<std::uint8_t, 256> buf{};
    std::size_t total = 0;
    for (;;) {
        const std::size_t n = port.read(buf.data(), ReceiveChunk);
        if (n == 0 && total > 0) break;
        // A chunk's time is taken once, where it is read, and travels with it.
        const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::system_clock::now().time_since_epoch());
        session.receiveChunk(buf.data(), n, now.count());
        total += n;
        if (n < ReceiveChunk || total >= ReadOnLimit) break;
    }
    return total;
}

std::size_t drainPort(TraceSession& session, TracePort& port) {
    std::size_t total = 0;
    while (port.active() && total < ReadOnLimit) {
        const std::size_t n = receiveFromPort(session, port);
        if (n == 0) break;
        total += n;
    }
    return total;
}

void stopTrace(TraceSession& session, TracePort& port) {
    if (session.running() && port.active()) {
        drainPort(session, port);
        session.dispatchRest();
    }
    if (session.running()) session.stopp();
}

void stopPort(TracePort& port) {
    port.write(TraceOff, sizeof TraceOff);
    port.flush();
    port.close();
}

}  // namespace zindra::trace
