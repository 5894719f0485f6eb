// Internal: what the port shares with its worker threads for one open period.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "serial/platform.h"
#include "serial/types.h"

namespace zindra::serial {

class Comm;

namespace detail {

// Created by open, cut off from the port by close.  Worker threads and the
// calls they have queued on the UI thread hold it, so they can outlive the
// port: a call that runs after close finds `comm` empty and does nothing.
struct Session : std::enable_shared_from_this<Session> {
    // Held while a delivered call runs and while close cuts the session off.
    // Recursive because close may run inside such a call.
    std::recursive_mutex uiMutex;
    Comm* comm = nullptr;  // guarded by uiMutex
    Dispatcher dispatcher;
    ExceptionHandler exceptionHandler;
    // Whether an emptied output buffer is worth a call on the UI thread: only
    // with an OnTxEmpty handler or a listener at open.  Without one the write
    // thread never waits for the UI thread, so a UI thread that waits for the
    // output to leave (a last command before close) cannot stall it.
    bool notifyTxEmpty = true;
    // The disappearance of the device is reported once per open period.
    std::atomic<bool> goneReported{false};

    // Runs fn(port) on the UI thread and returns when it has run; nothing
    // when the port was closed meanwhile.  Exceptions go to the handler.
    void runOnUi(std::function<void(Comm&)> fn);
    void report(std::exception_ptr e) const;
};

// Hands an exception to `handler`, or writes its message to stderr.
void reportException(const ExceptionHandler& handler, std::exception_ptr e);

// Keeps a worker thread's priority; the owner may change it at any time.
class PriorityControl {
public:
    explicit PriorityControl(ThreadPriority priority) : priority_(priority) {}
    // Called by the thread itself when it starts and before it ends.
    void begin(const platform::Platform& platform);
    void end();
    void set(const platform::Platform& platform, ThreadPriority priority);

private:
    std::mutex mutex_;
    ThreadPriority priority_;
    std::uint64_t thread_ = 0;
    bool running_ = false;
};

// Runs `body` on a new detached thread counted in `running` while it runs.
// Raises CommError when no thread can be created.
void startWorker(const std::shared_ptr<std::atomic<int>>& running, std::function<void()> body);

}  // namespace detail
}  // namespace zindra::serial
