// The write thread: owns the output buffer that writeBuf fills and sends
// everything queued in one write whenever the device takes more.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "serial/platform.h"
#include "serial/session.h"
#include "serial/sync.h"

namespace zindra::serial {

class WriteThread : public std::enable_shared_from_this<WriteThread> {
public:
    enum class QueueResult { Queued, Full, Gone };

    // Allocates a buffer of `capacity` bytes and starts the thread; CommError
    // when the system cannot.  The thread ends by itself after stop().
    static std::shared_ptr<WriteThread> start(std::shared_ptr<platform::Device> device,
                                              std::shared_ptr<platform::Platform> platform,
                                              std::shared_ptr<detail::Session> session, std::size_t capacity,
                                              ThreadPriority priority,
                                              const std::shared_ptr<std::atomic<int>>& running);

    WriteThread(std::shared_ptr<platform::Device> device, std::shared_ptr<platform::Platform> platform,
                std::shared_ptr<detail::Session> session, std::size_t capacity, ThreadPriority priority);

    // Asks the thread to end; whatever is still queued is dropped.
    void stop() { stopEvent_.set(); }
    void setPriority(ThreadPriority priority) { priority_.set(*platform_, priority); }

    // Appends `count` bytes, waiting up to `timeoutMs` for room; bytes are
    // queued all or not at all.  Gone once the device has disappeared.
    QueueResult queue(const void* source, std::size_t count, std::uint32_t timeoutMs);
    // Waits up to `timeoutMs` until everything queued has gone to the device
    // (or the device has gone); true when the buffer is empty.
    bool waitEmpty(std::uint32_t timeoutMs);
    // The device has disappeared (noticed elsewhere): nothing more is queued.
    void deviceGone(int error);
    [[nodiscard]] std::size_t capacity() const { return capacity_; }

private:
    void execute();
    void afterWrite(std::size_t written);
    void acknowledgeCancel();
    // Waits the retry pause; true when a stop request came meanwhile.
    bool pause();

    std::shared_ptr<platform::Device> device_;
    std::shared_ptr<platform::Platform> platform_;
    std::shared_ptr<detail::Session> session_;

    // The buffer: Queue appends behind size_, only the thread removes from
    // the front, the block never moves, so the thread may send from it
    // without holding the lock.
    Lock lock_;
    std::condition_variable_any room_;  // signalled whenever bytes left the buffer
    const std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_ = 0;  // guarded by lock_
    int goneError_ = 0;     // guarded by lock_

    WaitEvent dataEvent_;  // set while the buffer holds bytes
    WaitEvent stopEvent_;
    WaitEvent cancelEvent_;
    WaitEvent cancelDoneEvent_;
    std::atomic<bool> terminated_{false};
    detail::PriorityControl priority_;
};

}  // namespace zindra::serial
