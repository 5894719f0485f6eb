#include "trace/control.h"

#include <array>

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
    std::array<std::uint8_t, 256> drop{};
    port.read(drop.data(), ReceiveChunk);
    port.write(TraceOn, sizeof TraceOn);
    session.enterWaiting();
    session.ui().armAnswerTimer(AnswerTimeoutMs);
    return true;
}

std::size_t receiveFromPort(TraceSession& session, TracePort& port) {
    std::array<std::uint8_t, 256> buf{};
    const std::size_t n = port.read(buf.data(), ReceiveChunk);
    session.receiveChunk(buf.data(), n);
    return n;
}

void stopPort(TracePort& port) {
    port.write(TraceOff, sizeof TraceOff);
    port.flush();
    port.close();
}

}  // namespace zindra::trace
