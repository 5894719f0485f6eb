// Where the live engine takes its time from: a steady clock for its deadlines
// (the answer time-out, the reopen interval) and the wall clock for the times
// chunks, gaps and recordings carry.  Tests give it a clock they move by hand.
#pragma once

#include <chrono>
#include <cstdint>

namespace zindra::live {

class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    // UTC microseconds since 1970-01-01.
    virtual std::int64_t utcMicros() const = 0;
};

class SystemClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    std::int64_t utcMicros() const override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace zindra::live
