// A FAT played by the test on a pseudo-terminal (POSIX only).
#pragma once

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "gui_support.h"

namespace zindra::testing {

// A pseudo-terminal whose master end the test drives as the FAT.
struct FakeFat {
    int master = -1, slave = -1;
    std::string name;
    std::string got;

    FakeFat() {
        char buf[256] = {};
        if (::openpty(&master, &slave, buf, nullptr, nullptr) != 0) return;
        name = buf;
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ~FakeFat() { hangUp(); }
    // The FAT goes away: both ends closed.
    void hangUp() {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
        slave = master = -1;
    }
    void send(const std::string& s) const { (void)!::write(master, s.data(), s.size()); }
    // Collects what the host sent, with the window's event loop running,
    // until `want` has come.
    bool await(const std::string& want, int timeoutMs = 5000) {
        return waitUntil(
            [&] {
                pollfd p{master, POLLIN, 0};
                while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0) {
                    char b[256];
                    const ssize_t n = ::read(master, b, sizeof b);
                    if (n <= 0) break;
                    got.append(b, static_cast<std::size_t>(n));
                }
                return got.find(want) != std::string::npos;
            },
            timeoutMs);
    }
};

}  // namespace zindra::testing
