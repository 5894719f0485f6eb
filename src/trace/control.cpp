#include "trace/control.h"

#include <array>
#include <chrono>
#include <exception>

#include "trace/identify.h"

namespace zindra::trace {
namespace {

const std::uint8_t TraceOn[8] = {'\n', 'T', 'R', 'A', 'C', 'E', 'O', 'N'};
const std::uint8_t TraceOff[8] = {'\n', 'T', 'R', 'A', 'C', 'E', 'O', 'F'};

}  // namespace

std::int64_t utcMicrosNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

namespace {

// Start's steps once the port is open: a fresh reply awaited on a clean line.
void beginOnOpenPort(TraceSession& session, TracePort& port) {
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
}

}  // namespace

bool startTrace(TraceSession& session, TracePort& port) {
    if (port.deviceName().empty()) session.ui().showError(NoPortText);
    port.open();
    if (!port.active()) {
        port.close();
        return false;
    }
    beginOnOpenPort(session, port);
    return true;
}

bool reopenTrace(TraceSession& session, TracePort& port) {
    try {
        port.open();
    } catch (const std::exception&) {
        // Still gone: the next try comes after the interval.
    }
    if (!port.active()) {
        port.close();
        return false;
    }
    beginOnOpenPort(session, port);
    return true;
}

void CableWatch::lost(TracePort& port, std::int64_t utcNow, Clock::time_point now) {
    port.close();
    if (lostSince_) return;
    lostSince_ = utcNow;
    lastTry_ = now;
    attempts_ = 0;
}

std::optional<std::int64_t> CableWatch::retry(TraceSession& session, TracePort& port, Clock::time_point now) {
    if (!lostSince_ || now - lastTry_ < ReopenInterval) return std::nullopt;
    lastTry_ = now;
    ++attempts_;
    if (!reopenTrace(session, port)) return std::nullopt;
    const std::int64_t from = *lostSince_;
    lostSince_.reset();
    return from;
}

std::size_t receiveFromPort(TraceSession& session, TracePort& port) {
    std::array<std::uint8_t, 256> buf{};
    std::size_t total = 0;
    for (;;) {
        const std::size_t n = port.read(buf.data(), ReceiveChunk);
        if (n == 0 && total > 0) break;
        // A chunk's time is taken once, where it is read, and travels with it.
        session.receiveChunk(buf.data(), n, utcMicrosNow());
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
