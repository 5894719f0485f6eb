// zindra-cli trace: a live trace without a window, through the same trace
// session and serial component as the window.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/common.h"
#include "cli/output_pane.h"
#include "live/comm_port.h"
#include "live/engine.h"
#include "recording/recorder.h"
#include "serial/comm.h"
#include "serial/ui_loop.h"
#include "trace/save.h"
#include "trace/session.h"

namespace zindra::cli {
namespace {

const char* const TraceUsage =
    "usage: zindra-cli trace --port DEVICE [--pane text|hex|event] [--save BASE] [--record DIR] [--watch]\n";

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int sig) { interrupted = sig; }

// Windows-1252 message text for a terminal: UTF-8, carriage returns dropped.
std::string terminalText(const std::string& cp1252) {
    std::string s;
    for (const char c : cp1252) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r') continue;
        if (b < 0x80) {
            s.push_back(c);
        } else if (b >= 0xA0) {  // the Latin-1 range is the same code points
            s.push_back(static_cast<char>(0xC0 | (b >> 6)));
            s.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        } else {
            s.push_back('?');
        }
    }
    return s;
}

class CliUi final : public trace::TraceUi {
public:
    void setCaption(const std::string&) override {}
    void setPanelCaption(const std::string&) override {}
    void setPanelColour(trace::PanelColour) override {}
    void setCaptureCount(const std::string&) override {}
    void showError(const std::string& text) override {
        std::fprintf(stderr, "%s\n", terminalText(text).c_str());
        std::fflush(stderr);
    }
    void setTraceButtons(bool) override {}
};

// What the live engine reports, as lines on standard error.
class CliObserver final : public live::Observer {
public:
    CliObserver(std::string device, bool saving) : device_(std::move(device)), saving_(saving) {}

    void recordingFailed(const std::string& sentence) override {
        failureTold = true;
        say("%s; the recording is interrupted and tried again every %d s, the trace goes on",
            sentence.c_str(), static_cast<int>(recording::DefaultRetryInterval.count()));
    }
    void recordingResumed() override { say("the recording goes on in a new segment"); }
    void deviceLost(std::int64_t, bool noAnswer) override {
        const int every = static_cast<int>(live::ReopenInterval.count() / 1000);
        if (noAnswer) {
            say("no answer from the FAT on %s; trying again every %d s", device_.c_str(), every);
        } else {
            say("the device %s went away", device_.c_str());
            say("trying to open %s again every %d s", device_.c_str(), every);
        }
    }
    void deviceBack(const recording::Gap&) override {
        say("%s is back; \"\\nTRACEON\" sent again", device_.c_str());
    }
    void captureFull(std::size_t kept) override {
        // Only the .TRC file of --save is bounded; a recording keeps every byte.
        if (!saving_ || captureTold_) return;
        captureTold_ = true;
        say("the capture is full (%u bytes); later bytes are shown but not kept for the .TRC file",
            static_cast<unsigned>(kept));
    }
    void ended(const live::EndCause& cause) override {
        if (cause.reason == live::EndReason::DeviceGone) say("the device %s went away", device_.c_str());
    }

    bool failureTold = false;

private:
    template <class... Args>
    void say(const char* format, Args... args) {
        std::fputs("zindra-cli: ", stderr);
        std::fprintf(stderr, format, args...);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }

    std::string device_;
    bool saving_;
    bool captureTold_ = false;
};

// The options of one trace command.
struct TraceArgs {
    std::string device;
    std::string pane = "event";
    std::optional<std::string> saveBase;
    std::optional<std::string> recordDir;
    bool watch = false;
};

// Parses the arguments; nullopt after the usage was written.
std::optional<TraceArgs> parseTraceArgs(int argc, char** argv) {
    TraceArgs a;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            a.device = argv[++i];
        } else if (arg == "--pane" && i + 1 < argc) {
            a.pane = argv[++i];
            if (a.pane != "text" && a.pane != "hex" && a.pane != "event") return std::nullopt;
        } else if (arg == "--save" && i + 1 < argc) {
            a.saveBase = argv[++i];
        } else if (arg == "--record" && i + 1 < argc) {
            a.recordDir = argv[++i];
        } else if (arg == "--watch") {
            a.watch = true;
        } else {
            return std::nullopt;
        }
    }
    if (a.device.empty()) return std::nullopt;
    return a;
}

// The files of --save are checked before the port opens, not after a whole
// trace.  Returns the exit status for a refusal.
std::optional<int> checkSaveBase(const std::string& b) {
    if (b.empty() || b.back() == '/' || b.back() == '\\' || std::filesystem::is_directory(b)) {
        std::fprintf(stderr, "zindra-cli: --save needs a base name for the files, not the folder \"%s\"\n",
                     b.c_str());
        return ExitUsage;
    }
    if (const auto problem = trace::checkTraceFiles(b)) {
        std::fprintf(stderr, "zindra-cli: %s\n", problem->c_str());
        return ExitFile;
    }
    return std::nullopt;
}

// Save as, after the trace: the hex and event panes as the window would hold
// them and the capture.  Returns ExitFile when a file failed.
int saveAfterTrace(const std::string& base, trace::TraceSession& session, bool identified, const TeePane& hex,
                   const TeePane& event) {
    const std::vector<std::string> names = trace::traceFileNames(base);
    const bool replaces = std::any_of(names.begin(), names.end(),
                                      [](const std::string& n) { return std::filesystem::exists(n); });
    if (session.capture().count() == 0) {
        std::fputs("zindra-cli: nothing was received, so nothing was saved\n", stderr);
        return ExitOk;
    }
    if (!identified && replaces) {
        std::fprintf(stderr,
                     "zindra-cli: the FAT was not identified; the files of %s are kept as they were\n",
                     base.c_str());
        return ExitOk;
    }
    const trace::SaveReport report = trace::saveTrace(base, session.capture(), hex.lines(), event.lines());
    if (report.errors.empty()) return ExitOk;
    for (const std::string& e : report.errors) std::fprintf(stderr, "zindra-cli: %s\n", e.c_str());
    std::string written;
    for (const std::string& n : report.written) written += (written.empty() ? "" : ", ") + n;
    std::fprintf(stderr, "zindra-cli: written: %s\n", written.empty() ? "none" : written.c_str());
    return ExitFile;
}

void handleSignals() {
    // A closed output must not kill the trace before it has told the FAT to
    // stop and saved: writes fail instead, and that ends the trace.
#ifdef _WIN32
    // Ctrl+C and Ctrl+Break reach a console program as these two signals.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGBREAK, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
#else
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace

int traceCommand(int argc, char** argv) {
    const std::optional<TraceArgs> args = parseTraceArgs(argc, argv);
    if (!args) {
        std::fputs(TraceUsage, stderr);
        return ExitUsage;
    }
    if (args->saveBase) {
        if (const auto refused = checkSaveBase(*args->saveBase)) return *refused;
    }

    serial::UiLoop loop;
    serial::Comm comm;
    // The FAT's line: 9600 baud, 8 data bits, no parity, 1 stop bit, no
    // flow control, DTR and RTS not driven (the component's defaults but
    // for the rate).
    comm.setBaudrate(serial::Baudrate::br9600);
    comm.setDispatcher(loop.dispatcher());
    comm.setExceptionHandler([](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            std::fprintf(stderr, "zindra-cli: %s\n", ex.what());
        } catch (...) {
            std::fputs("zindra-cli: unknown error\n", stderr);
        }
    });
    live::CommPort port(comm);
    CliUi ui;

    StreamPane chosen(stdout, args->pane == "event");
    CountingPane countText, countHex, countEvent;
    trace::Pane* text = args->pane == "text" ? static_cast<trace::Pane*>(&chosen) : &countText;
    trace::Pane* hexTarget = args->pane == "hex" ? static_cast<trace::Pane*>(&chosen) : &countHex;
    trace::Pane* eventTarget = args->pane == "event" ? static_cast<trace::Pane*>(&chosen) : &countEvent;
    // What Save as would find in the window's hex and event panes.
    TeePane hex(*hexTarget, 501);
    TeePane event(*eventTarget, 101);
    trace::Panes panes{*text, hex, event};
    trace::TraceSession session(panes, ui, trace::RoutingLimits::unlimited());
    session.clear();

    const live::SystemClock clock;
    CliObserver observer(args->device, args->saveBase.has_value());
    live::Engine engine(session, port, observer, clock);
    comm.onRxChar = [&](serial::Comm&, int) { engine.onBytesReady(); };
    comm.onHangup = [&](serial::Comm&) { engine.onHangup(); };
    handleSignals();

    live::StartOptions options;
    options.watch = args->watch;
    if (args->recordDir) {
        // A folder that cannot be written ends the command before the port opens.
        options.record = recording::RecorderOptions{*args->recordDir, {}, "Zindra " ZINDRA_VERSION};
        options.recordingRequired = true;
    }
    try {
        comm.setDeviceName(args->device);
        if (!engine.start(options)) return ExitPort;
    } catch (const recording::RecordingError& e) {
        std::fprintf(stderr, "zindra-cli: %s\n", e.what());
        return ExitFile;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zindra-cli: %s\n", e.what());
        return ExitPort;
    }
    if (const auto st = engine.recordingStatus())
        std::fprintf(stderr, "zindra-cli: recording into %s\n", st->folder.c_str());

    while (!interrupted && engine.live() && !chosen.failed()) {
        loop.runOnce(std::chrono::milliseconds(50));
        engine.poll();
    }
    // Bytes that arrived with the hang-up or the interrupt, and what the port
    // still holds.
    loop.runPending();
    live::EndCause cause{live::EndReason::Stopp};
    if (interrupted != 0)
        cause = {live::EndReason::Interrupted, static_cast<int>(interrupted)};
    else if (chosen.failed())
        cause = {live::EndReason::OutputFailed};
    engine.stop(cause);
    chosen.flush();

    int status = ExitOk;
    if (const auto st = engine.recordingStatus()) {
        std::fprintf(stderr, "zindra-cli: recorded %llu bytes in %d segment(s), %zu gap(s), into %s\n",
                     static_cast<unsigned long long>(st->bytes), st->segments, st->gaps.size(),
                     st->folder.c_str());
        if (!st->lastError.empty()) {
            if (!observer.failureTold) std::fprintf(stderr, "zindra-cli: %s\n", st->lastError.c_str());
            status = ExitFile;
        }
    }
    const bool identified = engine.outcomeAtEnd() == trace::IdentOutcome::Matched;
    // No reply, an unknown reply, or the end before a complete reply line.
    if (!identified) status = ExitIdent;
    if (outputFailed(stdout, chosen.error())) status = ExitFile;
    if (args->saveBase && saveAfterTrace(*args->saveBase, session, identified, hex, event) != ExitOk)
        status = ExitFile;
    return status;
}

}  // namespace zindra::cli
