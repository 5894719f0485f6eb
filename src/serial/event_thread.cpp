#include "serial/event_thread.h"

#include "serial/comm.h"

namespace zindra::serial {

namespace {
// Pause after a failed wait, so a wait that keeps failing does not spin.
constexpr std::uint32_t FailurePauseMs = 100;
}  // namespace

EventThread::EventThread(std::shared_ptr<platform::Device> device,
                         std::shared_ptr<platform::Platform> platform,
                         std::shared_ptr<detail::Session> session, ThreadPriority priority)
    : device_(std::move(device)),
      platform_(std::move(platform)),
      session_(std::move(session)),
      priority_(priority) {}

std::shared_ptr<EventThread> EventThread::start(std::shared_ptr<platform::Device> device,
                                                std::shared_ptr<platform::Platform> platform,
                                                std::shared_ptr<detail::Session> session,
                                                ThreadPriority priority,
                                                const std::shared_ptr<std::atomic<int>>& running) {
    auto thread =
        std::make_shared<EventThread>(std::move(device), std::move(platform), std::move(session), priority);
    int error = 0;
    thread->waiter_ = thread->device_->createEventWaiter(thread->wake_, error);
    if (!thread->waiter_) {
        throw CommError(formatCommMessage(" Error setting EventMask (%d), %s", error,
                                          thread->platform_->errorText(error)));
    }
    detail::startWorker(running, [thread] { thread->execute(); });
    return thread;
}

void EventThread::stop() {
    terminated_.store(true);
    wake_.set();
}

void EventThread::execute() {
    priority_.begin(*platform_);
    while (!terminated_.load()) {
        std::uint32_t events = 0;
        int error = 0;
        const auto result = waiter_->wait(events, error);
        if (terminated_.load()) break;
        if (result == platform::EventWaitResult::Events) {
            // The next wait begins only after the handlers of this batch are done.
            session_->runOnUi([events](Comm& comm) { comm.handleEvent(events); });
        } else if (result == platform::EventWaitResult::Gone) {
            if (!session_->goneReported.exchange(true))
                session_->runOnUi([error](Comm& comm) { comm.handleGone(error); });
            break;
        } else if (result == platform::EventWaitResult::Failed) {
            wake_.waitFor(FailurePauseMs);
        }
    }
    priority_.end();
}

}  // namespace zindra::serial
