#include "serial/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace zindra::serial::test {

Pty::Pty() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) < 0) throw std::runtime_error("openpty failed");
    path_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(slave_, F_SETFL, ::fcntl(slave_, F_GETFL) | O_NONBLOCK);
    // Raw from the start, so nothing is echoed or translated before the port
    // sets its own modes.
    termios t{};
    ::tcgetattr(slave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
}

Pty::~Pty() {
    if (master_ >= 0) ::close(master_);
    ::close(slave_);
}

void Pty::send(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            throw std::runtime_error("writing the pty master failed");
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string Pty::receive(std::size_t count, std::chrono::milliseconds timeout) const {
    std::string got;
    const auto start = std::chrono::steady_clock::now();
    while (got.size() < count) {
        const long long left = timeout.count() - msSince(start);
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

std::string Pty::drain(std::chrono::milliseconds quiet) const {
    std::string got;
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0) return got;
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) return got;
        got.append(buf, static_cast<std::size_t>(n));
    }
}

std::size_t Pty::block() const {
    // The terminal moves bytes to the far end's queue in the background, so
    // room may reappear shortly after a write was refused: fill until a
    // whole round finds none.
    std::size_t total = 0;
    const std::string chunk(256, 'F');
    for (;;) {
        std::size_t round = 0;
        for (;;) {
            const ssize_t n = ::write(slave_, chunk.data(), chunk.size());
            if (n <= 0) break;
            round += static_cast<std::size_t>(n);
        }
        total += round;
        if (round == 0 && total > 0) return total;
        ::usleep(20000);
    }
}

void Pty::closeMaster() {
    ::close(master_);
    master_ = -1;
}

termios Pty::attributes() const {
    termios t{};
    ::tcgetattr(slave_, &t);
    return t;
}

std::uint32_t Pty::speed() const { return terminalSpeed(slave_); }

}  // namespace zindra::serial::test
