// zindra-cli simulate: a FAT on a pseudo-terminal.  It waits for "\nTRACEON",
// sends the bytes of a .TRC file paced at the line rate, stops on
// "\nTRACEOF" and waits for the next "\nTRACEON".  A .TRC file is exactly
// what a FAT sent, so any saved trace plays back as a live device.
#include "cli/common.h"

#ifdef _WIN32
#include <cstdio>

namespace zindra::cli {

// Windows has no pseudo-terminals to offer a FAT on; a simulator on Linux
// serves Windows hosts through a serial cable or Wine's COM port mapping.
int simulateCommand(int, char**) {
    std::fputs("zindra-cli: simulate needs a pseudo-terminal, which Windows does not have\n", stderr);
    return ExitUsage;
}

}  // namespace zindra::cli

#else
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <system_error>

#include "trace/replay.h"

namespace zindra::cli {
namespace {

const char* const SimulateUsage = "usage: zindra-cli simulate FILE.TRC [--baud N]\n";
// Above any serial line's rate; larger numbers are typing errors.
constexpr long MaxBaud = 100000000;

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

// Watches the bytes from the host for the two commands.
class CommandWatch {
public:
    enum class Command { None, TraceOn, TraceOff };
    Command push(char c) {
        window_.push_back(c);
        if (window_.size() > 8) window_.erase(0, window_.size() - 8);
        if (window_ == "\nTRACEON") return Command::TraceOn;
        if (window_ == "\nTRACEOF") return Command::TraceOff;
        return Command::None;
    }

private:
    std::string window_;
};

}  // namespace

int simulateCommand(int argc, char** argv) {
    std::string file;
    long baud = 9600;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--baud" && i + 1 < argc) {
            char* end = nullptr;
            errno = 0;
            baud = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || errno == ERANGE || baud <= 0 || baud > MaxBaud) {
                std::fputs(SimulateUsage, stderr);
                return ExitUsage;
            }
        } else if (options && !arg.empty() && arg[0] == '-') {
            std::fputs(SimulateUsage, stderr);
            return ExitUsage;
        } else if (file.empty()) {
            file = arg;
        } else {
            std::fputs(SimulateUsage, stderr);
            return ExitUsage;
        }
    }
    if (file.empty()) {
        std::fputs(SimulateUsage, stderr);
        return ExitUsage;
    }

    // A regular file only: a FIFO or a device could block or never end.
    std::string data;
    try {
        const trace::FilePtr in = trace::openTraceFile(file);
        char buf[64 * 1024];
        std::size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, in.get())) > 0) data.append(buf, n);
        if (std::ferror(in.get())) {
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "Cannot read " + file);
        }
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "zindra-cli: cannot read %s: %s\n", file.c_str(), reasonText(e.code()).c_str());
        return ExitFile;
    }

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "zindra-cli: cannot open a pseudo-terminal: %s\n", systemText(errno).c_str());
        return ExitPort;
    }
    // Raw, so that nothing is echoed back or translated before the host
    // configures the line.  The simulator keeps its own slave descriptor open
    // (without reading it) so that the master does not hang up between hosts.
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", name);
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const double bytesPerSecond = static_cast<double>(baud) / 10.0;
    CommandWatch watch;
    bool sending = false;
    std::size_t sent = 0;
    Clock::time_point started;
    while (!stopRequested) {
        pollfd pfd{master, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, sending ? 5 : 200);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (pfd.revents & POLLIN) != 0) {
            char buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                switch (watch.push(buf[i])) {
                    case CommandWatch::Command::TraceOn:
                        sending = true;
                        sent = 0;
                        started = Clock::now();
                        std::fprintf(stderr, "TRACEON\n");
                        break;
                    case CommandWatch::Command::TraceOff:
                        sending = false;
                        std::fprintf(stderr, "TRACEOF\n");
                        break;
                    case CommandWatch::Command::None: break;
                }
            }
        }
        if (sending && sent < data.size()) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
            auto due = static_cast<std::size_t>(elapsed * bytesPerSecond) + 1;
            if (due > data.size()) due = data.size();
            if (due > sent) {
                const ssize_t w = ::write(master, data.data() + sent, due - sent);
                if (w > 0) sent += static_cast<std::size_t>(w);
            }
        }
    }
    ::close(slave);
    ::close(master);
    return ExitOk;
}

}  // namespace zindra::cli

#endif  // _WIN32
