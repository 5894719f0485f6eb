// A pseudo-terminal for the port tests: the port opens the slave by its path,
// the test plays the far end on the master.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace zindra::serial::test {

class Pty {
public:
    Pty();  // throws std::runtime_error when no pseudo-terminal is available
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }
    // Bytes from the far end to the port.
    void send(std::string_view bytes) const;
    // Reads what the port sent until `count` bytes came or `timeout` passed.
    [[nodiscard]] std::string receive(std::size_t count, std::chrono::milliseconds timeout) const;
    // Reads until nothing more comes for `quiet`.
    [[nodiscard]] std::string drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(50)) const;
    // Fills the way from the port to the far end until it takes nothing more,
    // so the port's next write has to wait; returns how many bytes it took.
    std::size_t block() const;
    // Hangs up the far end.
    void closeMaster();
    [[nodiscard]] termios attributes() const;
    // The output speed in bits per second, also for rates without a B-constant.
    [[nodiscard]] std::uint32_t speed() const;

private:
    int master_ = -1;
    int slave_ = -1;  // kept open so the terminal survives the port's close
    std::string path_;
};

// Reads the rate through the kernel's termios2 record (separate file: it
// cannot share a translation unit with <termios.h>).
std::uint32_t terminalSpeed(int fd);

// Milliseconds since `start`.
inline long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace zindra::serial::test
