// A scripted device for what a pseudo-terminal cannot do: line errors,
// modem-line events, write failures.
#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "serial/comm_error.h"
#include "serial/platform.h"

namespace zindra::serial::test {

class FakeDevice : public platform::Device {
public:
    // --- the test's controls ---
    // Queues one batch of events for the event thread.
    void pushEvents(std::uint32_t events) {
        std::lock_guard guard(mutex_);
        batches_.push_back(events);
        pending_.set();
    }
    void setInput(const std::string& bytes) {
        std::lock_guard guard(mutex_);
        input_ = bytes;
    }
    void setErrors(std::uint32_t errors) {
        std::lock_guard guard(mutex_);
        errors_ = errors;
    }
    // 0: writes succeed; otherwise every write fails with this code.
    void setWriteError(int error) { writeError_.store(error); }
    [[nodiscard]] int failedWrites() const { return failedWrites_.load(); }
    [[nodiscard]] std::string output() {
        std::lock_guard guard(mutex_);
        return output_;
    }

    // --- Device ---
    void close() noexcept override {}
    int setState(const Dcb&) override { return 0; }
    int setupQueues(std::uint32_t, std::uint32_t) override { return 0; }
    int setTimeouts(const CommTimeouts&) override { return 0; }
    int setEventMask(std::uint32_t) override { return 0; }
    int escape(EscapeFunction) override { return 0; }
    int clearError(CommStatus& status) override {
        std::lock_guard guard(mutex_);
        status = CommStatus{};
        status.errors = errors_;
        status.stat.cbInQue = static_cast<std::uint32_t>(input_.size());
        errors_ = 0;
        return 0;
    }
    int inQueue(std::uint32_t& count) override {
        std::lock_guard guard(mutex_);
        count = static_cast<std::uint32_t>(input_.size());
        return 0;
    }
    int read(void* buffer, std::size_t count, std::size_t& got) override {
        std::lock_guard guard(mutex_);
        got = std::min(count, input_.size());
        std::memcpy(buffer, input_.data(), got);
        input_.erase(0, got);
        return 0;
    }
    int write(const void* buffer, std::size_t count, std::size_t& put) override {
        put = 0;
        if (const int err = writeError_.load(); err != 0) {
            ++failedWrites_;
            std::lock_guard guard(mutex_);
            errors_ |= CE_IOE;
            return err;
        }
        std::lock_guard guard(mutex_);
        output_.append(static_cast<const char*>(buffer), count);
        put = count;
        return 0;
    }
    int waitWritable(std::span<WaitEvent* const>, std::uint32_t, int&) override { return 0; }

    std::unique_ptr<platform::EventWaiter> createEventWaiter(WaitEvent& wake, int&) override {
        struct Waiter : platform::EventWaiter {
            FakeDevice& device;
            WaitEvent& wake;
            Waiter(FakeDevice& d, WaitEvent& w) : device(d), wake(w) {}
            platform::EventWaitResult wait(std::uint32_t& events, int&) override {
                WaitEvent* const list[] = {&wake, &device.pending_};
                if (waitAny(list, INFINITE_WAIT) != 1) return platform::EventWaitResult::Woken;
                std::lock_guard guard(device.mutex_);
                events = device.batches_.front();
                device.batches_.pop_front();
                if (device.batches_.empty()) device.pending_.reset();
                return platform::EventWaitResult::Events;
            }
        };
        return std::make_unique<Waiter>(*this, wake);
    }

private:
    std::mutex mutex_;
    std::deque<std::uint32_t> batches_;
    WaitEvent pending_;
    std::string input_;
    std::string output_;
    std::uint32_t errors_ = 0;
    std::atomic<int> writeError_{0};
    std::atomic<int> failedWrites_{0};
};

class FakePlatform : public platform::Platform {
public:
    std::shared_ptr<FakeDevice> device = std::make_shared<FakeDevice>();

    std::shared_ptr<platform::Device> open(const std::string&, int&) override { return device; }
    [[nodiscard]] std::string devicePath(const std::string& title) const override { return title; }
    [[nodiscard]] std::string errorText(int code) const override {
        return trimErrorText(std::strerror(code));
    }
    [[nodiscard]] bool isNotFound(int code) const override { return code == ENOENT; }
    [[nodiscard]] bool isGone(int code) const override { return code == EIO; }
    [[nodiscard]] std::uint64_t currentThreadId() const override { return 0; }
    void setThreadPriority(std::uint64_t, ThreadPriority) const override {}
};

}  // namespace zindra::serial::test
