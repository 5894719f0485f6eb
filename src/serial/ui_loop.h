// A minimal UI loop for programs without a window system (the CLI) and for
// tests: a queue of functions that the owning thread drains, with a blocking
// post that serves as the serial port's Dispatcher.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

#include "serial/types.h"

namespace zindra::serial {

class UiLoop {
public:
    // The constructing thread owns the loop and is the one that drains it.
    UiLoop();
    // Functions still queued are dropped; threads blocked in the dispatcher
    // return without their function having run.
    ~UiLoop();
    UiLoop(const UiLoop&) = delete;
    UiLoop& operator=(const UiLoop&) = delete;

    // Runs a function on the owning thread and returns once it has run (or
    // once the loop is gone).  Called on the owning thread it runs at once.
    // The dispatcher stays safe to call after the loop is destroyed.
    [[nodiscard]] Dispatcher dispatcher() const;
    // Queues a function without waiting for it.
    void post(std::function<void()> fn);

    // Runs what is queued now; returns how many functions ran.
    std::size_t runPending();
    // Waits up to `timeout` for work, then runs what is queued; false when
    // nothing came.
    bool runOnce(std::chrono::milliseconds timeout);
    // Runs queued functions until `done()` is true or `timeout` has passed;
    // returns done().
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace zindra::serial
