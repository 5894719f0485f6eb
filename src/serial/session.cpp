#include "serial/session.h"

#include <cstdio>
#include <system_error>
#include <thread>

#include "serial/comm.h"
#include "serial/comm_error.h"

namespace zindra::serial::detail {

void Session::runOnUi(std::function<void(Comm&)> fn) {
    const std::function<void()> call = [self = shared_from_this(), fn = std::move(fn)] {
        std::lock_guard guard(self->uiMutex);
        if (self->comm == nullptr) return;
        try {
            fn(*self->comm);
        } catch (...) {
            self->report(std::current_exception());
        }
    };
    try {
        if (dispatcher) {
            dispatcher(call);
        } else {
            call();
        }
    } catch (...) {
        // A dispatcher that cannot deliver any more (shutting down) drops the call.
    }
}

void Session::report(std::exception_ptr e) const { reportException(exceptionHandler, std::move(e)); }

void reportException(const ExceptionHandler& handler, std::exception_ptr e) {
    try {
        if (handler) {
            handler(e);
            return;
        }
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "%s\n", ex.what());
    } catch (...) {
        std::fprintf(stderr, "unknown exception in a serial port handler\n");
    }
}

void PriorityControl::begin(const platform::Platform& platform) {
    std::lock_guard guard(mutex_);
    thread_ = platform.currentThreadId();
    running_ = true;
    if (priority_ != ThreadPriority::tpNormal) platform.setThreadPriority(thread_, priority_);
}

void PriorityControl::end() {
    std::lock_guard guard(mutex_);
    running_ = false;
}

void PriorityControl::set(const platform::Platform& platform, ThreadPriority priority) {
    std::lock_guard guard(mutex_);
    priority_ = priority;
    if (running_) platform.setThreadPriority(thread_, priority);
}

void startWorker(const std::shared_ptr<std::atomic<int>>& running, std::function<void()> body) {
    running->fetch_add(1);
    try {
        std::thread([running, body = std::move(body)]() mutable {
            body();
            body = nullptr;  // release what the thread held before it counts as ended
            running->fetch_sub(1);
        }).detach();
    } catch (const std::system_error& e) {
        running->fetch_sub(1);
        throw CommError(formatCommMessage("Error creating thread (%d), %s", e.code().value(),
                                          trimErrorText(e.code().message())));
    }
}

}  // namespace zindra::serial::detail
