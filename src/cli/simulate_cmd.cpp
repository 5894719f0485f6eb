// zindra-cli simulate: a FAT on a pseudo-terminal.  It waits for "\nTRACEON",
// sends the bytes of a .TRC file paced at the line rate, stops on
// "\nTRACEOF" and waits for the next "\nTRACEON".  A .TRC file is exactly
// what a FAT sent, so any saved trace plays back as a live device.  With
// --pull-after it pulls the cable each time that many bytes have gone out
// (the pseudo-terminal closes), plugs in a new one --pull-for seconds later
// behind the same link name, and on the host's next "\nTRACEON" answers
// with the reply line and goes on where it was cut off.
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
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "trace/replay.h"

namespace zindra::cli {
namespace {

const char* const SimulateUsage =
    "usage: zindra-cli simulate FILE.TRC [--baud N] [--pull-after BYTES --pull-for SECONDS] [--link PATH]\n";
// Above any serial line's rate; larger numbers are typing errors.
constexpr long MaxBaud = 100000000;
// How long a pull waits for the host to take what is on the line.
constexpr auto DrainWait = std::chrono::seconds(10);

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

// The FAT's end of the line: a pseudo-terminal, raw, so that nothing is
// echoed back or translated before the host configures the line.  The
// simulator keeps its own slave descriptor open (without reading it) so that
// the master does not hang up between hosts, and so that it can see how much
// the host has not read yet.
struct Line {
    int master = -1;
    int slave = -1;
    std::string name;

    bool open() {
        char buf[256] = {};
        if (::openpty(&master, &slave, buf, nullptr, nullptr) != 0) return false;
        name = buf;
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        return true;
    }
    // Bytes written that the host has not read yet.
    int unread() const {
        int n = 0;
        return ::ioctl(slave, FIONREAD, &n) == 0 ? n : 0;
    }
    // Pulling the cable: the host sees its device hang up.
    void close() {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
        master = slave = -1;
    }
};

// Points link at target, replacing what was there in one step.
bool pointLink(const std::string& link, const std::string& target) {
    const std::string tmp = link + ".new";
    ::unlink(tmp.c_str());
    return ::symlink(target.c_str(), tmp.c_str()) == 0 && ::rename(tmp.c_str(), link.c_str()) == 0;
}

bool parseNumber(const char* text, long max, long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && errno != ERANGE && out > 0 && out <= max;
}

}  // namespace

int simulateCommand(int argc, char** argv) {
    std::string file;
    long baud = 9600;
    long pullAfter = 0;
    long pullFor = 0;
    std::string link;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        bool ok = true;
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--baud" && i + 1 < argc) {
            ok = parseNumber(argv[++i], MaxBaud, baud);
        } else if (options && arg == "--pull-after" && i + 1 < argc) {
            ok = parseNumber(argv[++i], 1L << 40, pullAfter);
        } else if (options && arg == "--pull-for" && i + 1 < argc) {
            ok = parseNumber(argv[++i], 24L * 3600, pullFor);
        } else if (options && arg == "--link" && i + 1 < argc) {
            link = argv[++i];
            ok = !link.empty();
        } else if (options && !arg.empty() && arg[0] == '-') {
            ok = false;
        } else if (file.empty()) {
            file = arg;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fputs(SimulateUsage, stderr);
            return ExitUsage;
        }
    }
    if (file.empty() || (pullAfter > 0) != (pullFor > 0)) {
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
    // A FAT that comes back answers "\nTRACEON" with its reply line again:
    // the file's first line.
    std::string reply;
    if (const std::size_t lf = data.find('\n'); lf != std::string::npos && lf < 4096)
        reply = data.substr(0, lf + 1);

    Line line;
    if (!line.open()) {
        std::fprintf(stderr, "zindra-cli: cannot open a pseudo-terminal: %s\n", systemText(errno).c_str());
        return ExitPort;
    }
    // A host that reopens after a pull needs a name that stays the same.
    if (pullAfter > 0 && link.empty()) {
        link =
            (std::filesystem::temp_directory_path() / ("zindra-sim-" + std::to_string(::getpid()))).string();
    }
    if (!link.empty() && !pointLink(link, line.name)) {
        std::fprintf(stderr, "zindra-cli: cannot make the link %s: %s\n", link.c_str(),
                     systemText(errno).c_str());
        line.close();
        return ExitPort;
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", link.empty() ? line.name.c_str() : link.c_str());
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const double bytesPerSecond = static_cast<double>(baud) / 10.0;
    CommandWatch watch;
    bool sending = false;
    bool connected = true;
    bool resume = false;   // the next TRACEON goes on where the pull cut off
    std::string pending;   // sent before the file's bytes (the reply line again)
    std::size_t sent = 0;  // the file's bytes the host has been given
    std::size_t pacedFrom = 0;
    std::size_t nextPull = pullAfter > 0 ? static_cast<std::size_t>(pullAfter) : SIZE_MAX;
    Clock::time_point started, drainSince, plugAt;
    bool draining = false;
    // How far into the file the line rate has come since the last TRACEON.
    const auto paced = [&](Clock::time_point now) {
        const double elapsed = std::chrono::duration<double>(now - started).count();
        return pacedFrom + static_cast<std::size_t>(elapsed * bytesPerSecond) + 1;
    };
    while (!stopRequested) {
        if (!connected) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (Clock::now() < plugAt) continue;
            if (!line.open() || !pointLink(link, line.name)) {
                std::fprintf(stderr, "zindra-cli: cannot plug in again: %s\n", systemText(errno).c_str());
                line.close();
                return ExitPort;
            }
            connected = true;
            std::fprintf(stderr, "PLUG %s\n", line.name.c_str());
            continue;
        }
        // Woken as soon as the line takes more when bytes are due (a fast
        // rate outruns the pseudo-terminal's buffer), else every 5 ms.
        const bool due = sending && (!pending.empty() ||
                                     (sent < data.size() && sent < nextPull && paced(Clock::now()) > sent));
        pollfd pfd{line.master, static_cast<short>(POLLIN | (due ? POLLOUT : 0)), 0};
        const int ready = ::poll(&pfd, 1, sending ? 5 : 200);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (pfd.revents & POLLIN) != 0) {
            char buf[256];
            const ssize_t n = ::read(line.master, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                switch (watch.push(buf[i])) {
                    case CommandWatch::Command::TraceOn:
                        sending = true;
                        if (resume) {
                            pending = reply;
                            resume = false;
                        } else {
                            sent = 0;
                        }
                        pacedFrom = sent;
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
        if (sending && !pending.empty()) {
            const ssize_t w = ::write(line.master, pending.data(), pending.size());
            if (w > 0) pending.erase(0, static_cast<std::size_t>(w));
            continue;
        }
        if (sending && sent >= nextPull) {
            // The cable is pulled once the host has taken what is on the line
            // (or after a wait, losing what it has not taken: those bytes are
            // sent again after the reply line when it comes back).
            if (!draining) {
                draining = true;
                drainSince = Clock::now();
            }
            // At least a moment, for bytes still on their way to the queue.
            const int unread = line.unread();
            const auto waited = Clock::now() - drainSince;
            if ((unread > 0 && waited < DrainWait) || waited < std::chrono::milliseconds(100)) continue;
            draining = false;
            sent -= static_cast<std::size_t>(unread);
            line.close();
            connected = false;
            sending = false;
            resume = true;
            nextPull = sent + static_cast<std::size_t>(pullAfter);
            plugAt = Clock::now() + std::chrono::seconds(pullFor);
            std::fprintf(stderr, "PULL %zu\n", sent);
            continue;
        }
        if (sending && sent < data.size()) {
            const std::size_t upTo = std::min({paced(Clock::now()), data.size(), nextPull});
            if (upTo > sent) {
                const ssize_t w = ::write(line.master, data.data() + sent, upTo - sent);
                if (w > 0) sent += static_cast<std::size_t>(w);
            }
        }
    }
    line.close();
    if (!link.empty()) ::unlink(link.c_str());
    return ExitOk;
}

}  // namespace zindra::cli

#endif  // _WIN32
