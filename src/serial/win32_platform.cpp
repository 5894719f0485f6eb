// The serial platform on Win32: a comm device opened for overlapped I/O.
//
// - Every call takes the device's mutex around its system calls, so close()
//   never pulls the handle from under a running call, and no call uses the
//   handle afterwards (a closed handle's number may be given to another
//   object at once).
// - Overlapped operations never outlive the memory they write to.  ReadFile
//   completes at once with the port's time-outs and is waited for inside
//   read().  A WriteFile that does not finish at once goes on from the
//   device's own copy of the bytes; the receive thread's WaitCommEvent uses
//   the waiter's record.  close() cancels both and waits for them to finish
//   before it closes the handle, and a woken waiter cancels its own.
// - ClearCommError is the only way to learn the input queue's size and it
//   clears the error flags on the way; flags fetched by inQueue() are kept
//   for the next clearError(), so none are lost.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "serial/comm_error.h"
#include "serial/platform.h"
#include "serial/win32_api.h"

namespace zindra::serial::platform {

namespace {

// How long read() waits for a ReadFile to finish.  With the time-outs the
// port sets, the driver completes a read at once with what is queued.
constexpr DWORD ReadCompletionMs = 1000;
// How long close() waits for a cancelled operation before it closes the
// handle anyway (which cancels whatever the driver still holds).
constexpr DWORD CancelWaitMs = 2000;

// The error of calls on a closed device.
constexpr int ClosedError = ERROR_INVALID_HANDLE;

int asInt(DWORD code) { return static_cast<int>(code); }

// Waits for a cancelled operation of `handle` to finish; true when it did.
bool finishCancelled(HANDLE handle, OVERLAPPED& ov) {
    if (WaitForSingleObject(ov.hEvent, CancelWaitMs) != WAIT_OBJECT_0) return false;
    DWORD n = 0;
    GetOverlappedResult(handle, &ov, &n, FALSE);
    return true;
}

class Win32Device final : public Device, public std::enable_shared_from_this<Win32Device> {
public:
    Win32Device(HANDLE handle, HANDLE readEvent, HANDLE writeEvent)
        : handle_(handle), readEvent_(readEvent), writeEvent_(writeEvent) {}
    ~Win32Device() override {
        close();
        CloseHandle(readEvent_);
        CloseHandle(writeEvent_);
    }

    void close() noexcept override {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return;
        CancelIoEx(handle_, nullptr);
        bool settled = true;
        if (writing_) settled = finishCancelled(handle_, writeOv_) && settled;
        if (pendingWait_ != nullptr) settled = finishCancelled(handle_, *pendingWait_) && settled;
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        // Closing the handle ends what the driver still held; wait for it so
        // that neither record is written to after it is released.
        if (!settled) {
            if (writing_) WaitForSingleObject(writeOv_.hEvent, INFINITE);
            if (pendingWait_ != nullptr) WaitForSingleObject(pendingWait_->hEvent, INFINITE);
        }
        writing_ = false;
        pendingWait_ = nullptr;
        SetEvent(writeEvent_);  // a writer waiting for room sees the device closed
    }

    int setState(const Dcb& dcb) override {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        DCB state = win32::toWin32Dcb(dcb);
        return SetCommState(handle_, &state) ? 0 : asInt(GetLastError());
    }

    int setupQueues(std::uint32_t inSize, std::uint32_t outSize) override {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        return SetupComm(handle_, inSize, outSize) ? 0 : asInt(GetLastError());
    }

    int setTimeouts(const CommTimeouts& t) override {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        COMMTIMEOUTS ct;
        ct.ReadIntervalTimeout = t.readIntervalTimeout;
        ct.ReadTotalTimeoutMultiplier = t.readTotalTimeoutMultiplier;
        ct.ReadTotalTimeoutConstant = t.readTotalTimeoutConstant;
        ct.WriteTotalTimeoutMultiplier = t.writeTotalTimeoutMultiplier;
        ct.WriteTotalTimeoutConstant = t.writeTotalTimeoutConstant;
        return SetCommTimeouts(handle_, &ct) ? 0 : asInt(GetLastError());
    }

    int setEventMask(std::uint32_t mask) override {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        return SetCommMask(handle_, mask) ? 0 : asInt(GetLastError());
    }

    int escape(EscapeFunction function) override {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        // The port's codes are the system's: SETRTS 3, CLRRTS 4, SETDTR 5, CLRDTR 6.
        return EscapeCommFunction(handle_, static_cast<DWORD>(function)) ? 0 : asInt(GetLastError());
    }

    int clearError(CommStatus& status) override {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        COMSTAT stat;
        if (const int e = fetchStatus(stat)) return e;
        status = CommStatus{};
        status.errors = keptErrors_ | (writeFailed_ ? CE_IOE : 0u);
        keptErrors_ = 0;
        writeFailed_ = false;
        // The status flags are the bit fields of COMSTAT's first word.
        std::memcpy(&status.stat.flags, &stat, sizeof status.stat.flags);
        status.stat.cbInQue = stat.cbInQue;
        status.stat.cbOutQue = stat.cbOutQue;
        return 0;
    }

    int inQueue(std::uint32_t& count) override {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        COMSTAT stat;
        if (const int e = fetchStatus(stat)) return e;
        count = stat.cbInQue;
        return 0;
    }

    int read(void* buffer, std::size_t count, std::size_t& got) override {
        got = 0;
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        // Only what is queued is asked for, and nothing when nothing is: a
        // read then ends at once also on drivers that let it wait for the
        // first byte despite the time-outs (Wine's does).
        COMSTAT stat;
        if (const int e = fetchStatus(stat)) return e;
        if (stat.cbInQue == 0 || count == 0) return 0;
        OVERLAPPED ov;
        ZeroMemory(&ov, sizeof ov);
        ov.hEvent = readEvent_;
        ResetEvent(readEvent_);
        const auto want = static_cast<DWORD>(std::min<std::size_t>(count, stat.cbInQue));
        DWORD n = 0;
        if (ReadFile(handle_, buffer, want, &n, &ov)) {
            got = n;
            return 0;
        }
        const DWORD err = GetLastError();
        if (err != ERROR_IO_PENDING) return asInt(err);
        // The caller's buffer goes away with this call, so the read must end
        // here: cancelled when the driver has not finished it in time.
        if (WaitForSingleObject(readEvent_, ReadCompletionMs) != WAIT_OBJECT_0) CancelIoEx(handle_, &ov);
        if (GetOverlappedResult(handle_, &ov, &n, TRUE)) {
            got = n;
            return 0;
        }
        const DWORD done = GetLastError();
        if (done == ERROR_OPERATION_ABORTED) {
            got = n;
            return 0;
        }
        return asInt(done);
    }

    // A write that cannot finish at once continues from the device's copy
    // and put stays 0; the caller waits with waitWritable and calls again
    // with the same bytes (more may follow them), and that call reports how
    // many went out.  Different bytes mean the caller gave up on the earlier
    // write; they are sent anew.
    int write(const void* buffer, std::size_t count, std::size_t& put) override {
        put = 0;
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) return ClosedError;
        if (writing_) {
            DWORD n = 0;
            if (!GetOverlappedResult(handle_, &writeOv_, &n, FALSE)) {
                const DWORD err = GetLastError();
                if (err == ERROR_IO_INCOMPLETE) return 0;
                writing_ = false;
                writeFailed_ = true;
                return asInt(err);
            }
            writing_ = false;
            if (sameBytes(buffer, count)) {
                put = n;
                return 0;
            }
        }
        if (count == 0) return 0;
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        const std::size_t take = std::min<std::size_t>(count, MAXDWORD);
        writeCopy_.assign(bytes, bytes + take);
        ZeroMemory(&writeOv_, sizeof writeOv_);
        writeOv_.hEvent = writeEvent_;
        ResetEvent(writeEvent_);
        DWORD n = 0;
        if (WriteFile(handle_, writeCopy_.data(), static_cast<DWORD>(take), &n, &writeOv_)) {
            put = n;
            return 0;
        }
        const DWORD err = GetLastError();
        if (err == ERROR_IO_PENDING) {
            writing_ = true;
            writeSource_ = buffer;
            return 0;
        }
        writeFailed_ = true;
        return asInt(err);
    }

    int waitWritable(std::span<WaitEvent* const> events, std::uint32_t timeoutMs, int& error) override {
        bool busy = false;
        {
            std::lock_guard guard(mutex_);
            if (handle_ == INVALID_HANDLE_VALUE) {
                error = ClosedError;
                return -2;
            }
            busy = writing_;
        }
        if (events.size() + 1 > MAXIMUM_WAIT_OBJECTS) {
            error = ERROR_INVALID_PARAMETER;
            return -2;
        }
        HANDLE handles[MAXIMUM_WAIT_OBJECTS];
        DWORD n = 0;
        for (WaitEvent* e : events) handles[n++] = win32::intToHandle(e->nativeHandle());
        // The write in flight sets writeEvent_ when it ends (and close() sets
        // it too); with none in flight the device takes bytes at once.
        if (busy) handles[n++] = writeEvent_;
        if (n == 0) return 0;
        const DWORD r = WaitForMultipleObjects(n, handles, FALSE, busy ? timeoutMs : 0);
        if (r < WAIT_OBJECT_0 + events.size()) return static_cast<int>(r - WAIT_OBJECT_0);
        if (r < WAIT_OBJECT_0 + n) return static_cast<int>(events.size());
        if (r == WAIT_TIMEOUT) return busy ? -1 : static_cast<int>(events.size());
        error = r == WAIT_FAILED ? asInt(GetLastError()) : 0;
        return -2;
    }

    std::unique_ptr<EventWaiter> createEventWaiter(WaitEvent& wake, int& error) override;

    // --- for the event waiter ---

    // Issues WaitCommEvent with `ov`.  Returns 1 when it completed at once,
    // 0 when it is pending (and registered for close()), -1 on failure.
    int startWait(OVERLAPPED& ov, DWORD& mask, int& error) {
        std::lock_guard guard(mutex_);
        if (handle_ == INVALID_HANDLE_VALUE) {
            error = ClosedError;
            return -1;
        }
        ResetEvent(ov.hEvent);
        const HANDLE event = ov.hEvent;
        ZeroMemory(&ov, sizeof ov);
        ov.hEvent = event;
        mask = 0;
        if (WaitCommEvent(handle_, &mask, &ov)) return 1;
        const DWORD err = GetLastError();
        if (err != ERROR_IO_PENDING) {
            error = asInt(err);
            return -1;
        }
        pendingWait_ = &ov;
        return 0;
    }

    // Takes the result of a completed wait.  1 done, -1 failed, 0 when
    // close() has already taken it (the device is closed).
    int finishWait(OVERLAPPED& ov, int& error) {
        std::lock_guard guard(mutex_);
        if (pendingWait_ != &ov) return 0;
        pendingWait_ = nullptr;
        DWORD n = 0;
        if (GetOverlappedResult(handle_, &ov, &n, FALSE)) return 1;
        error = asInt(GetLastError());
        return -1;
    }

    // Ends a pending wait that nobody waits for any more.
    void cancelWait(OVERLAPPED& ov) {
        std::lock_guard guard(mutex_);
        if (pendingWait_ != &ov) return;
        pendingWait_ = nullptr;
        CancelIoEx(handle_, &ov);
        if (!finishCancelled(handle_, ov)) {
            // Not cancelled in time: only closing the handle ends it.  The
            // record stays registered so that close() waits for it.
            pendingWait_ = &ov;
        }
    }

    // Whether `ov` is still registered (its owner must not release it).
    bool waitPending(const OVERLAPPED& ov) {
        std::lock_guard guard(mutex_);
        return pendingWait_ == &ov;
    }

private:
    // ClearCommError with the mutex held: the queue sizes into stat, the
    // error flags it clears kept for the next clearError().
    int fetchStatus(COMSTAT& stat) {
        DWORD errors = 0;
        ZeroMemory(&stat, sizeof stat);
        if (!ClearCommError(handle_, &errors, &stat)) return asInt(GetLastError());
        keptErrors_ |= errors;
        return 0;
    }

    // Whether `buffer` starts with the bytes of the write in flight.
    bool sameBytes(const void* buffer, std::size_t count) const {
        return buffer == writeSource_ && count >= writeCopy_.size() &&
               std::memcmp(buffer, writeCopy_.data(), writeCopy_.size()) == 0;
    }

    std::mutex mutex_;
    HANDLE handle_;
    const HANDLE readEvent_;
    const HANDLE writeEvent_;
    OVERLAPPED writeOv_{};
    std::vector<std::uint8_t> writeCopy_;
    const void* writeSource_ = nullptr;
    bool writing_ = false;
    OVERLAPPED* pendingWait_ = nullptr;  // the event waiter's pending WaitCommEvent
    DWORD keptErrors_ = 0;               // CE_ flags fetched and not yet reported
    bool writeFailed_ = false;           // reported as CE_IOE by the next clearError()
};

class Win32EventWaiter final : public EventWaiter {
public:
    Win32EventWaiter(std::shared_ptr<Win32Device> device, HANDLE wake, HANDLE event)
        : device_(std::move(device)), wake_(wake) {
        ZeroMemory(&ov_, sizeof ov_);
        ov_.hEvent = event;
    }
    ~Win32EventWaiter() override {
        device_->cancelWait(ov_);
        // A wait only closing the handle can end: the record must outlive it.
        while (device_->waitPending(ov_)) Sleep(10);
        CloseHandle(ov_.hEvent);
    }

    EventWaitResult wait(std::uint32_t& events, int& error) override {
        for (;;) {
            DWORD mask = 0;
            const int started = device_->startWait(ov_, mask, error);
            if (started < 0)
                return win32::isGoneError(static_cast<DWORD>(error)) ? EventWaitResult::Gone
                                                                     : EventWaitResult::Failed;
            if (started == 0) {
                const HANDLE handles[] = {wake_, ov_.hEvent};
                const DWORD r = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
                if (r != WAIT_OBJECT_0 + 1) {
                    device_->cancelWait(ov_);
                    if (r == WAIT_OBJECT_0) return EventWaitResult::Woken;
                    error = asInt(GetLastError());
                    return EventWaitResult::Failed;
                }
                const int finished = device_->finishWait(ov_, error);
                if (finished == 0) return EventWaitResult::Woken;
                if (finished < 0) {
                    return win32::isGoneError(static_cast<DWORD>(error)) ? EventWaitResult::Gone
                                                                         : EventWaitResult::Failed;
                }
            }
            // A changed event mask ends a pending wait with no events; wait again.
            if (mask != 0) {
                events = mask;
                return EventWaitResult::Events;
            }
        }
    }

private:
    std::shared_ptr<Win32Device> device_;
    const HANDLE wake_;
    OVERLAPPED ov_;
};

std::unique_ptr<EventWaiter> Win32Device::createEventWaiter(WaitEvent& wake, int& error) {
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        error = asInt(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32EventWaiter>(shared_from_this(), win32::intToHandle(wake.nativeHandle()),
                                              event);
}

class Win32Platform final : public Platform {
public:
    std::shared_ptr<Device> open(const std::string& path, int& error) override {
        const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = asInt(GetLastError());
            return nullptr;
        }
        const HANDLE readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        const HANDLE writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (readEvent == nullptr || writeEvent == nullptr) {
            error = asInt(GetLastError());
            if (readEvent != nullptr) CloseHandle(readEvent);
            if (writeEvent != nullptr) CloseHandle(writeEvent);
            CloseHandle(h);
            return nullptr;
        }
        return std::make_shared<Win32Device>(h, readEvent, writeEvent);
    }

    [[nodiscard]] std::string devicePath(const std::string& title) const override {
        return win32::devicePathFor(title, nt_);
    }

    [[nodiscard]] std::string errorText(int code) const override {
        return win32::errorText(static_cast<DWORD>(code));
    }

    [[nodiscard]] bool isNotFound(int code) const override { return code == ERROR_FILE_NOT_FOUND; }
    [[nodiscard]] bool isGone(int code) const override {
        return win32::isGoneError(static_cast<DWORD>(code));
    }

    [[nodiscard]] std::uint64_t currentThreadId() const override { return GetCurrentThreadId(); }

    void setThreadPriority(std::uint64_t thread, ThreadPriority priority) const override {
        const HANDLE h = OpenThread(THREAD_SET_INFORMATION, FALSE, static_cast<DWORD>(thread));
        if (h == nullptr) return;
        SetThreadPriority(h, win32::threadPriority(priority));
        CloseHandle(h);
    }

private:
    const bool nt_ = win32::isNtPlatform();
};

}  // namespace

std::shared_ptr<Platform> defaultPlatform() {
    static const std::shared_ptr<Platform> platform = std::make_shared<Win32Platform>();
    return platform;
}

}  // namespace zindra::serial::platform
