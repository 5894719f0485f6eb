// POSIX wait events: an eventfd whose counter is above 0 while the event is
// set, so that poll() sees it as readable exactly as long as it stays set.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <vector>

#include "serial/comm_error.h"
#include "serial/sync.h"

namespace zindra::serial {

namespace {

// Remaining poll() time-out for a wait that began at `begin`.
int remainingMs(std::uint32_t timeoutMs, std::chrono::steady_clock::time_point begin) {
    if (timeoutMs == INFINITE_WAIT) return -1;
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin)
            .count();
    const long long left = static_cast<long long>(timeoutMs) - spent;
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace

WaitEvent::WaitEvent() {
    handle_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (handle_ < 0) {
        const int err = errno;
        throw CommError(
            formatCommMessage("Error creating event (%d), %s", err, trimErrorText(std::strerror(err))));
    }
}

WaitEvent::~WaitEvent() {
    if (handle_ >= 0) ::close(handle_);
}

void WaitEvent::set() {
    const std::uint64_t one = 1;
    // Only fails when the counter is near its limit, which means set anyway.
    while (::write(handle_, &one, sizeof one) < 0 && errno == EINTR) {}
}

void WaitEvent::reset() {
    std::uint64_t value = 0;
    while (::read(handle_, &value, sizeof value) < 0 && errno == EINTR) {}
}

bool WaitEvent::isSet() const {
    pollfd p{handle_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

WaitResult WaitEvent::waitFor(std::uint32_t timeoutMs) {
    WaitEvent* self = this;
    int err = 0;
    const int r = waitAny(std::span<WaitEvent* const>(&self, 1), timeoutMs, &err);
    if (r == 0) return WaitResult::Signalled;
    if (r == -1) return WaitResult::TimedOut;
    lastError_ = err;
    return WaitResult::Failed;
}

int waitAny(std::span<WaitEvent* const> events, std::uint32_t timeoutMs, int* error) {
    std::vector<pollfd> fds(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) fds[i] = {events[i]->nativeHandle(), POLLIN, 0};
    const auto begin = std::chrono::steady_clock::now();
    for (;;) {
        const int n = ::poll(fds.data(), fds.size(), remainingMs(timeoutMs, begin));
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error != nullptr) *error = errno;
            return -2;
        }
        if (n == 0) return -1;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents & POLLIN) return static_cast<int>(i);
            if (fds[i].revents & (POLLERR | POLLNVAL)) {
                if (error != nullptr) *error = EBADF;
                return -2;
            }
        }
    }
}

}  // namespace zindra::serial
