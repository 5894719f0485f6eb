// Synchronisation helpers of the serial port: a manual-reset wait event, a
// lock and a millisecond time-out on the 32-bit tick counter.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>

namespace zindra::serial {

enum class WaitResult { Signalled, TimedOut, Abandoned, Failed };

// Time-out value meaning "no limit".
inline constexpr std::uint32_t INFINITE_WAIT = 0xFFFFFFFFu;

// A manual-reset event, created not set.  set, reset and waitFor may be used
// from any thread.  On POSIX it is an eventfd, so it can be waited for
// together with a device (nativeHandle).
class WaitEvent {
public:
    // Raises CommError when the system has no event left to give.
    WaitEvent();
    ~WaitEvent();
    WaitEvent(const WaitEvent&) = delete;
    WaitEvent& operator=(const WaitEvent&) = delete;

    void set();
    void reset();
    [[nodiscard]] bool isSet() const;
    // Signalled, TimedOut, or Failed with lastError() set; never raises.
    WaitResult waitFor(std::uint32_t timeoutMs);
    [[nodiscard]] int lastError() const { return lastError_; }
    [[nodiscard]] int nativeHandle() const { return handle_; }

private:
    int handle_ = -1;
    int lastError_ = 0;
};

// Waits until one of `events` is set; when several are, the first in the list
// counts.  Returns its index, -1 on time-out, -2 on failure (errno in *error).
int waitAny(std::span<WaitEvent* const> events, std::uint32_t timeoutMs, int* error = nullptr);

// The lock shared between the UI thread and a worker thread.
class Lock {
public:
    void enter() { mutex_.lock(); }
    void leave() { mutex_.unlock(); }
    // For std::lock_guard and friends.
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

private:
    std::mutex mutex_;
};

// Milliseconds of a monotonic clock, truncated to 32 bits (wraps after about
// 49.7 days).
std::uint32_t tickCount();

// A time-out measured on tickCount().
struct TickTimer {
    std::uint32_t startTick = 0;
    std::uint32_t timeout = 0;

    void start(std::uint32_t timeoutMs) { start(timeoutMs, tickCount()); }
    void start(std::uint32_t timeoutMs, std::uint32_t now) {
        startTick = now;
        timeout = timeoutMs;
    }
    [[nodiscard]] bool expired() const { return expired(tickCount()); }
    [[nodiscard]] bool expired(std::uint32_t now) const { return elapsed(now) > timeout; }
    // Time since start; across the wrap of the counter it is
    // now + (0xFFFFFFFF - start).
    [[nodiscard]] std::uint32_t elapsed(std::uint32_t now) const {
        return now >= startTick ? now - startTick : now + (0xFFFFFFFFu - startTick);
    }
};

}  // namespace zindra::serial
