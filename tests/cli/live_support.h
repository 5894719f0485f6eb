// What the command-line tests share: a folder of their own, a pseudo-terminal
// the test plays the FAT on, and a UGM telegram.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace zindra::testing {

// One UGM telegram, and the reply line that selects UGM.
inline const std::string UgmTelegram =
    "\x02"
    "1123410000070"
    "\x03"
    "Z";

// A test with a temporary folder of its own, removed afterwards.
struct TempDirTest : ::testing::Test {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zindra-cli-test-" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    // Writes the file and returns its path.
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream(path(name), std::ios::binary) << content;
        return path(name);
    }
};

// A pseudo-terminal a test plays the FAT on.
struct FakeFat {
    int master = -1, slave = -1;
    std::string name;
    FakeFat() {
        char buf[256] = {};
        if (::openpty(&master, &slave, buf, nullptr, nullptr) == 0) {
            name = buf;
            // Not inherited by the programs a test starts: a copy of the
            // master there would keep the line up after the test closes it.
            ::fcntl(master, F_SETFD, FD_CLOEXEC);
            ::fcntl(slave, F_SETFD, FD_CLOEXEC);
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
