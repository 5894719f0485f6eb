// A pseudo-terminal a test plays the FAT on.
#pragma once

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace zindra::testing {

struct FakeFat {
    int master = -1, slave = -1;
    std::string name;
    FakeFat() {
        char buf[256] = {};
        if (::openpty(&master, &slave, buf, nullptr, nullptr) == 0) {
            name = buf;
            termios t{};
            ::tcgetattr(slave, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(slave, TCSANOW, &t);
        }
    }
    ~FakeFat() {
        ::close(slave);
        ::close(master);
    }
    // Reads what the host sent until `want` appears or the time-out passes.
    bool await(const std::string& want, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char b[256];
                const ssize_t n = ::read(master, b, sizeof b);
                if (n > 0) got.append(b, static_cast<std::size_t>(n));
            }
            if (got.find(want) != std::string::npos) return true;
        }
        return false;
    }
    void send(const std::string& s) const { (void)!::write(master, s.data(), s.size()); }
    std::string got;
};

}  // namespace zindra::testing
