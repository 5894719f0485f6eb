// The serial platform on POSIX terminals (Linux).
//
// - A device is a terminal opened non-blocking, without becoming the
//   controlling terminal, close-on-exec, and for exclusive use: flock() keeps
//   out every other program that asks (and every other Zindra), TIOCEXCL
//   keeps out unprivileged opens altogether.
// - Every call takes the device's mutex around one non-blocking system call,
//   so close() never pulls the descriptor from under a running call and no
//   call uses it afterwards.  Waits happen outside the mutex: the event
//   thread waits in its own epoll set, which forgets the device when it is
//   closed; the write thread's poll() always includes its stop event, which
//   the port sets before it closes the device.
// - Line errors (frame, overrun, parity, break) come from the driver's
//   interrupt counters where it keeps them (TIOCGICOUNT); pseudo-terminals
//   keep none and report no line errors.  Modem-line changes come from the
//   same counters, sampled every 100 ms while such events are monitored.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include <poll.h>

#include "serial/comm_error.h"
#include "serial/platform.h"
#include "serial/posix_termios.h"

namespace zindra::serial::platform {

namespace {

// Bytes the line discipline holds at most; EV_RX80FULL fires at 80 %.
constexpr std::uint32_t InputBufferSize = 4096;
constexpr int ModemSampleMs = 100;
constexpr int TxEmptySampleMs = 20;
constexpr std::uint32_t ModemEvents = EV_CTS | EV_DSR | EV_RING | EV_RLSD;
constexpr std::uint32_t CounterEvents = ModemEvents | EV_ERR | EV_BREAK;

// An error of a modem-line call on a device without modem lines.
bool noModemLines(int err) { return err == ENOTTY || err == EINVAL; }

class PosixEventWaiter;

class PosixDevice final : public Device, public std::enable_shared_from_this<PosixDevice> {
public:
    PosixDevice(int fd, int notifyFd) : fd_(fd), notifyFd_(notifyFd) {
        counters_ = ::ioctl(fd_, TIOCGICOUNT, &errorSnapshot_) == 0;
    }
    ~PosixDevice() override {
        close();
        ::close(notifyFd_);
    }

    void close() noexcept override {
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return;
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);  // also ends the flock()
        fd_ = -1;
    }

    int setState(const Dcb& dcb) override {
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        bool hardwareFlow = false;
        if (const int err = posix::applyLineSettings(fd_, dcb, hardwareFlow); err != 0) return err;
        parityCheck_ = dcb.fParity;
        if (const int err = modemLine(TIOCM_DTR, dcb.fDtrControl == DTR_CONTROL_ENABLE); err != 0) return err;
        if (!hardwareFlow) {
            if (const int err = modemLine(TIOCM_RTS, dcb.fRtsControl == RTS_CONTROL_ENABLE); err != 0)
                return err;
        }
        return 0;
    }

    // Terminal queues have fixed sizes and reads never wait here; nothing to do.
    int setupQueues(std::uint32_t, std::uint32_t) override { return openOrEbadf(); }
    int setTimeouts(const CommTimeouts&) override { return openOrEbadf(); }

    int setEventMask(std::uint32_t mask) override {
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        eventMask_.store(mask);
        return 0;
    }

    int escape(EscapeFunction function) override {
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        switch (function) {
            case EscapeFunction::SETDTR: return modemLine(TIOCM_DTR, true);
            case EscapeFunction::CLRDTR: return modemLine(TIOCM_DTR, false);
            case EscapeFunction::SETRTS: return modemLine(TIOCM_RTS, true);
            case EscapeFunction::CLRRTS: return modemLine(TIOCM_RTS, false);
        }
        return EINVAL;
    }

    int clearError(CommStatus& status) override {
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        int in = 0;
        int out = 0;
        if (::ioctl(fd_, FIONREAD, &in) < 0) return errno;
        if (::ioctl(fd_, TIOCOUTQ, &out) < 0) return errno;
        std::uint32_t errors = 0;
        serial_icounter_struct now{};
        if (counters_ && ::ioctl(fd_, TIOCGICOUNT, &now) == 0) {
            const serial_icounter_struct& was = errorSnapshot_;
            if (now.buf_overrun != was.buf_overrun) errors |= CE_RXOVER;
            if (now.overrun != was.overrun) errors |= CE_OVERRUN;
            if (parityCheck_ && now.parity != was.parity) errors |= CE_RXPARITY;
            if (now.frame != was.frame) errors |= CE_FRAME;
            if (now.brk != was.brk) errors |= CE_BREAK;
            errorSnapshot_ = now;
        }
        if (ioError_) errors |= CE_IOE;
        ioError_ = false;
        status = CommStatus{};
        status.errors = errors;
        status.stat.cbInQue = static_cast<std::uint32_t>(in);
        status.stat.cbOutQue = static_cast<std::uint32_t>(out);
        return 0;
    }

    int inQueue(std::uint32_t& count) override {
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        int in = 0;
        if (::ioctl(fd_, FIONREAD, &in) < 0) return errno;
        count = static_cast<std::uint32_t>(in);
        return 0;
    }

    int read(void* buffer, std::size_t count, std::size_t& got) override {
        got = 0;
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, count);
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                return 0;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
            return errno;
        }
    }

    int write(const void* buffer, std::size_t count, std::size_t& put) override {
        put = 0;
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        for (;;) {
            const ssize_t n = ::write(fd_, buffer, count);
            if (n >= 0) {
                put = static_cast<std::size_t>(n);
                if (put > 0 && (eventMask_.load() & EV_TXEMPTY) != 0) {
                    txPending_.store(true);
                    const std::uint64_t one = 1;
                    [[maybe_unused]] const auto r = ::write(notifyFd_, &one, sizeof one);
                }
                return 0;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
            ioError_ = true;
            return errno;
        }
    }

    int waitWritable(std::span<WaitEvent* const> events, std::uint32_t timeoutMs, int& error) override {
        int fd = -1;
        {
            std::lock_guard guard(mutex_);
            fd = fd_;
        }
        if (fd < 0) {
            error = EBADF;
            return -2;
        }
        std::vector<pollfd> fds;
        fds.reserve(events.size() + 1);
        for (WaitEvent* e : events) fds.push_back({e->nativeHandle(), POLLIN, 0});
        fds.push_back({fd, POLLOUT, 0});
        const int timeout = timeoutMs == INFINITE_WAIT
                                ? -1
                                : static_cast<int>(std::min<std::uint32_t>(timeoutMs, 0x7FFFFFFF));
        for (;;) {
            const int n = ::poll(fds.data(), fds.size(), timeout);
            if (n < 0) {
                if (errno == EINTR) continue;
                error = errno;
                return -2;
            }
            if (n == 0) return -1;
            for (std::size_t i = 0; i < events.size(); ++i) {
                if (fds[i].revents & POLLIN) return static_cast<int>(i);
            }
            const short dev = fds.back().revents;
            if (dev & POLLNVAL) {
                error = EBADF;
                return -2;
            }
            // Errors and hang-ups count as writable: the next write reports them.
            if (dev & (POLLOUT | POLLERR | POLLHUP)) return static_cast<int>(events.size());
        }
    }

    std::unique_ptr<EventWaiter> createEventWaiter(WaitEvent& wake, int& error) override;

    // --- for the event waiter ---

    std::uint32_t eventMask() const { return eventMask_.load(); }
    int notifyFd() const { return notifyFd_; }
    bool hasCounters() const { return counters_; }

    // Adds the device to an epoll set (edge-triggered input).
    int watch(int epfd) {
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLET | EPOLLRDHUP;
        ev.data.u32 = 1;
        if (::epoll_ctl(epfd, EPOLL_CTL_ADD, fd_, &ev) < 0) return errno;
        return 0;
    }

    // Reads the interrupt counters into `now`.
    int counters(serial_icounter_struct& now) {
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return EBADF;
        if (::ioctl(fd_, TIOCGICOUNT, &now) < 0) return errno;
        return 0;
    }

    bool parityCheck() {
        std::lock_guard guard(mutex_);
        return parityCheck_;
    }

    // True once everything written since the last call has left the device.
    bool takeTxEmpty() {
        if (!txPending_.load()) return false;
        std::lock_guard guard(mutex_);
        if (fd_ < 0) return false;
        int out = 0;
        if (::ioctl(fd_, TIOCOUTQ, &out) < 0 || out > 0) return false;
        txPending_.store(false);
        return true;
    }
    bool txPending() const { return txPending_.load(); }

private:
    int openOrEbadf() {
        std::lock_guard guard(mutex_);
        return fd_ < 0 ? EBADF : 0;
    }

    // Raises or lowers one modem line; devices without modem lines (pseudo-
    // terminals) have nothing to switch and are left alone.  Mutex held.
    int modemLine(int line, bool on) {
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) < 0) {
            const int err = errno;
            return noModemLines(err) ? 0 : err;
        }
        return 0;
    }

    std::mutex mutex_;
    int fd_;
    const int notifyFd_;  // wakes the event waiter when output was written
    std::atomic<std::uint32_t> eventMask_{0};
    bool counters_ = false;
    bool parityCheck_ = false;
    bool ioError_ = false;
    serial_icounter_struct errorSnapshot_{};
    std::atomic<bool> txPending_{false};
};

class PosixEventWaiter final : public EventWaiter {
public:
    PosixEventWaiter(std::shared_ptr<PosixDevice> device, int epfd)
        : device_(std::move(device)), epfd_(epfd) {
        if (device_->hasCounters()) counters_ = device_->counters(seen_) == 0;
    }
    ~PosixEventWaiter() override { ::close(epfd_); }

    EventWaitResult wait(std::uint32_t& events, int& error) override {
        for (;;) {
            const std::uint32_t mask = device_->eventMask();
            int timeout = -1;
            if (counters_ && (mask & ModemEvents) != 0) timeout = ModemSampleMs;
            if ((mask & EV_TXEMPTY) != 0 && device_->txPending()) timeout = TxEmptySampleMs;

            epoll_event ready[4];
            const int n = ::epoll_wait(epfd_, ready, 4, timeout);
            if (n < 0) {
                if (errno == EINTR) continue;
                error = errno;
                return EventWaitResult::Failed;
            }
            bool received = false;
            bool gone = false;
            bool woken = false;
            for (int i = 0; i < n; ++i) {
                switch (ready[i].data.u32) {
                    case 0: woken = true; break;
                    case 1:
                        if (ready[i].events & (EPOLLHUP | EPOLLERR)) gone = true;
                        if (ready[i].events & EPOLLIN) received = true;
                        break;
                    case 2: {
                        std::uint64_t v = 0;
                        [[maybe_unused]] const auto r = ::read(device_->notifyFd(), &v, sizeof v);
                        break;
                    }
                    default: break;
                }
            }
            if (woken) return EventWaitResult::Woken;
            if (gone) {
                error = EIO;
                return EventWaitResult::Gone;
            }

            std::uint32_t found = 0;
            if (received) found |= EV_RXCHAR;
            if (counters_ && (mask & CounterEvents) != 0) {
                serial_icounter_struct now{};
                if (const int err = device_->counters(now); err != 0) {
                    if (err == EIO || err == ENXIO || err == ENODEV) {
                        error = err;
                        return EventWaitResult::Gone;
                    }
                } else {
                    found |= counterEvents(now);
                }
            }
            if (received && (mask & EV_RX80FULL) != 0) {
                std::uint32_t in = 0;
                if (device_->inQueue(in) == 0 && in >= InputBufferSize * 8 / 10) found |= EV_RX80FULL;
            }
            if ((mask & EV_TXEMPTY) != 0 && device_->takeTxEmpty()) found |= EV_TXEMPTY;
            found &= mask;
            if (found != 0) {
                events = found;
                return EventWaitResult::Events;
            }
        }
    }

private:
    // Events told by counters that moved since the last look.
    std::uint32_t counterEvents(const serial_icounter_struct& now) {
        std::uint32_t ev = 0;
        const serial_icounter_struct& was = seen_;
        if (now.frame != was.frame || now.overrun != was.overrun || now.buf_overrun != was.buf_overrun ||
            (now.parity != was.parity && device_->parityCheck()))
            ev |= EV_ERR;
        if (now.brk != was.brk) ev |= EV_BREAK | EV_ERR;
        if (now.cts != was.cts) ev |= EV_CTS;
        if (now.dsr != was.dsr) ev |= EV_DSR;
        if (now.rng != was.rng) ev |= EV_RING;
        if (now.dcd != was.dcd) ev |= EV_RLSD;
        seen_ = now;
        return ev;
    }

    std::shared_ptr<PosixDevice> device_;
    int epfd_;
    bool counters_ = false;
    serial_icounter_struct seen_{};
};

std::unique_ptr<EventWaiter> PosixDevice::createEventWaiter(WaitEvent& wake, int& error) {
    const int epfd = ::epoll_create1(EPOLL_CLOEXEC);
    if (epfd < 0) {
        error = errno;
        return nullptr;
    }
    auto waiter = std::make_unique<PosixEventWaiter>(shared_from_this(), epfd);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u32 = 0;
    if (::epoll_ctl(epfd, EPOLL_CTL_ADD, wake.nativeHandle(), &ev) < 0) {
        error = errno;
        return nullptr;
    }
    ev.data.u32 = 2;
    if (::epoll_ctl(epfd, EPOLL_CTL_ADD, notifyFd_, &ev) < 0) {
        error = errno;
        return nullptr;
    }
    if (const int err = watch(epfd); err != 0) {
        error = err;
        return nullptr;
    }
    return waiter;
}

bool iequalsPrefix(const std::string& s, const char* prefix) {
    for (std::size_t i = 0; prefix[i] != '\0'; ++i) {
        if (i >= s.size() ||
            std::toupper(static_cast<unsigned char>(s[i])) != static_cast<unsigned char>(prefix[i]))
            return false;
    }
    return true;
}

class PosixPlatform final : public Platform {
public:
    std::shared_ptr<Device> open(const std::string& path, int& error) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        const auto fail = [&](int err) -> std::shared_ptr<Device> {
            ::close(fd);
            error = err;
            return nullptr;
        };
        if (!::isatty(fd)) return fail(ENOTTY);
        if (::flock(fd, LOCK_EX | LOCK_NB) < 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
        if (::ioctl(fd, TIOCEXCL) < 0) return fail(errno);
        const int notifyFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (notifyFd < 0) {
            const int err = errno;
            ::ioctl(fd, TIOCNXCL);
            return fail(err);
        }
        return std::make_shared<PosixDevice>(fd, notifyFd);
    }

    // "\\.\" in front is dropped; an absolute path is used as it is; "COMn"
    // (any case, n >= 1) is /dev/ttyS<n-1>; any other name is looked up in
    // /dev ("ttyUSB0").  An empty name stays empty and is not found.
    [[nodiscard]] std::string devicePath(const std::string& title) const override {
        std::string name = title;
        if (name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
        if (name.empty() || name.front() == '/') return name;
        if (name.size() > 3 && name.size() <= 12 && iequalsPrefix(name, "COM") &&
            std::all_of(name.begin() + 3, name.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
            const unsigned long long n = std::stoull(name.substr(3));
            if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
        }
        return "/dev/" + name;
    }

    [[nodiscard]] std::string errorText(int code) const override {
        char buf[256];
        // GNU strerror_r may return a static string instead of filling buf.
        const char* text = ::strerror_r(code, buf, sizeof buf);
        return trimErrorText(text);
    }

    [[nodiscard]] bool isNotFound(int code) const override { return code == ENOENT; }
    [[nodiscard]] bool isGone(int code) const override {
        return code == EIO || code == ENXIO || code == ENODEV;
    }

    [[nodiscard]] std::uint64_t currentThreadId() const override {
        return static_cast<std::uint64_t>(::gettid());
    }

    void setThreadPriority(std::uint64_t thread, ThreadPriority priority) const override {
        static constexpr int nice[] = {19, 10, 5, 0, -5, -10, -20};
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice[static_cast<std::size_t>(priority)]);
    }
};

}  // namespace

std::shared_ptr<Platform> defaultPlatform() {
    static const std::shared_ptr<Platform> platform = std::make_shared<PosixPlatform>();
    return platform;
}

}  // namespace zindra::serial::platform
