#include "serial/write_thread.h"

#include <chrono>
#include <cstring>
#include <new>

#include "serial/comm.h"

namespace zindra::serial {

namespace {
// Pause before a failed write is tried again.
constexpr std::uint32_t RetryPauseMs = 250;
}  // namespace

WriteThread::WriteThread(std::shared_ptr<platform::Device> device,
                         std::shared_ptr<platform::Platform> platform,
                         std::shared_ptr<detail::Session> session, std::size_t capacity,
                         ThreadPriority priority)
    : device_(std::move(device)),
      platform_(std::move(platform)),
      session_(std::move(session)),
      capacity_(capacity),
      data_(new std::uint8_t[capacity > 0 ? capacity : 1]),
      priority_(priority) {}

std::shared_ptr<WriteThread> WriteThread::start(std::shared_ptr<platform::Device> device,
                                                std::shared_ptr<platform::Platform> platform,
                                                std::shared_ptr<detail::Session> session,
                                                std::size_t capacity, ThreadPriority priority,
                                                const std::shared_ptr<std::atomic<int>>& running) {
    std::shared_ptr<WriteThread> thread;
    try {
        thread = std::make_shared<WriteThread>(std::move(device), platform, std::move(session), capacity,
                                               priority);
    } catch (const std::bad_alloc&) {
        throw CommError(
            formatCommMessage("Error initializing buffers (%d), %s", ENOMEM, platform->errorText(ENOMEM)));
    }
    detail::startWorker(running, [thread] { thread->execute(); });
    return thread;
}

WriteThread::QueueResult WriteThread::queue(const void* source, std::size_t count, std::uint32_t timeoutMs) {
    std::unique_lock lock(lock_);
    if (size_ + count > capacity_) {
        TickTimer timer;
        timer.start(timeoutMs);
        // Wait for room; a whole buffer's worth fits once the buffer is empty.
        while (size_ + count > capacity_) {
            if (goneError_ != 0) break;
            const std::uint32_t now = tickCount();
            if (timer.expired(now)) return QueueResult::Full;
            room_.wait_for(lock, std::chrono::milliseconds(timeoutMs - timer.elapsed(now) + 1));
        }
    }
    if (goneError_ != 0) return QueueResult::Gone;
    if (count > 0) {
        std::memcpy(data_.get() + size_, source, count);
        size_ += count;
        dataEvent_.set();
    }
    return QueueResult::Queued;
}

bool WriteThread::waitEmpty(std::uint32_t timeoutMs) {
    std::unique_lock lock(lock_);
    return room_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return size_ == 0 || goneError_ != 0;
    }) && size_ == 0;
}

void WriteThread::execute() {
    priority_.begin(*platform_);
    WaitEvent* const whileIdle[] = {&stopEvent_, &cancelEvent_, &dataEvent_};
    WaitEvent* const whileBlocked[] = {&stopEvent_, &cancelEvent_};
    while (!terminated_.load()) {
        int error = 0;
        const int which = waitAny(whileIdle, INFINITE_WAIT, &error);
        if (which == 0) break;
        if (which == 1) {
            acknowledgeCancel();
            continue;
        }
        if (which < 0) {
            if (pause()) break;
            continue;
        }

        std::size_t pending = 0;
        {
            std::lock_guard guard(lock_);
            pending = size_;
            if (pending == 0) {
                dataEvent_.reset();
                continue;
            }
        }
        std::size_t written = 0;
        const int err = device_->write(data_.get(), pending, written);
        if (err == 0 && written > 0) {
            afterWrite(written);
        } else if (err == 0) {
            // The device is full: wait until it takes more (or a request comes).
            const int woke = device_->waitWritable(whileBlocked, INFINITE_WAIT, error);
            if (woke == 0) break;
            if (woke == 1) acknowledgeCancel();
            if (woke < 0 && pause()) break;
        } else {
            if (stopEvent_.isSet()) break;  // the port closed the device under us
            if (platform_->isGone(err)) {
                deviceGone(err);
                if (!session_->goneReported.exchange(true))
                    session_->runOnUi([err](Comm& comm) { comm.handleGone(err); });
                break;
            }
            // The bytes stay queued; the error goes to OnError and the write
            // is tried again after a pause.
            session_->runOnUi([](Comm& comm) { comm.handleEvents(EV_ERR); });
            if (pause()) break;
        }
    }
    terminated_.store(true);
    priority_.end();
}

void WriteThread::afterWrite(std::size_t written) {
    bool empty = false;
    {
        std::lock_guard guard(lock_);
        std::memmove(data_.get(), data_.get() + written, size_ - written);
        size_ -= written;
        empty = size_ == 0;
        // Under the lock, so bytes queued meanwhile always leave the event set.
        if (empty) dataEvent_.reset();
        room_.notify_all();
    }
    if (empty && session_->notifyTxEmpty)
        session_->runOnUi([](Comm& comm) { comm.handleEvents(EV_TXEMPTY); });
}

void WriteThread::deviceGone(int error) {
    std::lock_guard guard(lock_);
    if (goneError_ == 0) goneError_ = error;
    room_.notify_all();
}

void WriteThread::acknowledgeCancel() {
    cancelEvent_.reset();
    cancelDoneEvent_.set();
}

bool WriteThread::pause() {
    WaitEvent* const stop[] = {&stopEvent_};
    return waitAny(stop, RetryPauseMs) == 0;
}

}  // namespace zindra::serial
