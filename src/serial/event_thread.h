// The receive event thread: waits for the device's events and hands each
// batch to the UI thread, waiting until it has been handled there before it
// waits again.
#pragma once

#include <atomic>
#include <memory>

#include "serial/platform.h"
#include "serial/session.h"
#include "serial/sync.h"

namespace zindra::serial {

class EventThread : public std::enable_shared_from_this<EventThread> {
public:
    // Prepares the wait on `device` and starts the thread; CommError when the
    // system cannot.  The thread ends by itself after stop().
    static std::shared_ptr<EventThread> start(std::shared_ptr<platform::Device> device,
                                              std::shared_ptr<platform::Platform> platform,
                                              std::shared_ptr<detail::Session> session,
                                              ThreadPriority priority,
                                              const std::shared_ptr<std::atomic<int>>& running);

    EventThread(std::shared_ptr<platform::Device> device, std::shared_ptr<platform::Platform> platform,
                std::shared_ptr<detail::Session> session, ThreadPriority priority);

    // Asks the thread to end and wakes its wait; does not wait for it.
    void stop();
    void setPriority(ThreadPriority priority) { priority_.set(*platform_, priority); }

private:
    void execute();

    std::shared_ptr<platform::Device> device_;
    std::shared_ptr<platform::Platform> platform_;
    std::shared_ptr<detail::Session> session_;
    WaitEvent wake_;
    std::unique_ptr<platform::EventWaiter> waiter_;
    std::atomic<bool> terminated_{false};
    detail::PriorityControl priority_;
};

}  // namespace zindra::serial
