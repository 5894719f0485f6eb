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
#include <vector>

#include "cli/common.h"
#include "cli/output_pane.h"
#include "recording/recorder.h"
#include "serial/comm.h"
#include "serial/ui_loop.h"
#include "trace/comm_port.h"
#include "trace/control.h"
#include "trace/save.h"
#include "trace/session.h"

namespace zindra::cli {
namespace {

const char* const TraceUsage =
    "usage: zindra-cli trace --port DEVICE [--pane text|hex|event] [--save BASE] [--record DIR] [--watch]\n";

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int sig) { interrupted = sig; }

std::string signalName(int sig) {
    switch (sig) {
        case SIGINT: return "SIGINT (Ctrl-C)";
        case SIGTERM: return "SIGTERM";
#ifdef _WIN32
        case SIGBREAK: return "Ctrl-Break";
#else
        case SIGHUP: return "SIGHUP";
#endif
        default: return "signal " + std::to_string(sig);
    }
}

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
    explicit CliUi(trace::TracePort& port) : port_(port) {}
    void setCaption(const std::string&) override {}
    void setPanelCaption(const std::string& caption) override { panel = caption; }
    void setPanelColour(trace::PanelColour) override {}
    void setCaptureCount(const std::string&) override {}
    void showError(const std::string& text) override {
        std::fprintf(stderr, "%s\n", terminalText(text).c_str());
        std::fflush(stderr);
    }
    void setTraceButtons(bool) override {}
    void stopPort() override { trace::stopPort(port_); }
    void armAnswerTimer(int ms) override {
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }

    std::string panel;
    std::optional<std::chrono::steady_clock::time_point> deadline;

private:
    trace::TracePort& port_;
};

}  // namespace

int traceCommand(int argc, char** argv) {
    std::string device;
    std::string paneName = "event";
    std::optional<std::string> saveBase;
    std::optional<std::string> recordDir;
    bool watch = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            device = argv[++i];
        } else if (arg == "--pane" && i + 1 < argc) {
            paneName = argv[++i];
            if (paneName != "text" && paneName != "hex" && paneName != "event") {
                std::fputs(TraceUsage, stderr);
                return ExitUsage;
            }
        } else if (arg == "--save" && i + 1 < argc) {
            saveBase = argv[++i];
        } else if (arg == "--record" && i + 1 < argc) {
            // A recording is a watch: it goes on through cable pulls.
            recordDir = argv[++i];
            watch = true;
        } else if (arg == "--watch") {
            watch = true;
        } else {
            std::fputs(TraceUsage, stderr);
            return ExitUsage;
        }
    }
    if (device.empty()) {
        std::fputs(TraceUsage, stderr);
        return ExitUsage;
    }
    // The files are checked before the port opens, not after a whole trace.
    if (saveBase) {
        const std::string& b = *saveBase;
        if (b.empty() || b.back() == '/' || b.back() == '\\' || std::filesystem::is_directory(b)) {
            std::fprintf(stderr,
                         "zindra-cli: --save needs a base name for the files, not the folder \"%s\"\n",
                         b.c_str());
            return ExitUsage;
        }
        if (const auto problem = trace::checkTraceFiles(b)) {
            std::fprintf(stderr, "zindra-cli: %s\n", problem->c_str());
            return ExitFile;
        }
    }

    // The recording's folder is made before the port opens, so that a
    // folder that cannot be written ends the command at once.
    std::unique_ptr<recording::Recorder> recorder;
    if (recordDir) {
        try {
            recorder = std::make_unique<recording::Recorder>(
                recording::RecorderOptions{*recordDir, device, "Zindra " ZINDRA_VERSION});
        } catch (const recording::RecordingError& e) {
            std::fprintf(stderr, "zindra-cli: %s\n", e.what());
            return ExitFile;
        }
        std::fprintf(stderr, "zindra-cli: recording into %s\n", recorder->folder().c_str());
    }

    serial::UiLoop loop;
    serial::Comm comm;
    // The FAT's line: 9600 baud, 8 data bits, no parity, 1 stop bit, no
    // flow control, DTR and RTS not driven (the component's defaults but
    // for the rate).
    comm.setBaudrate(serial::Baudrate::br9600);
    comm.setDispatcher(loop.dispatcher());
    trace::CommPort port(comm);
    CliUi ui(port);
    bool gone = false;
    comm.setExceptionHandler([](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            std::fprintf(stderr, "zindra-cli: %s\n", ex.what());
        } catch (...) {
            std::fputs("zindra-cli: unknown error\n", stderr);
        }
    });

    StreamPane chosen(stdout, paneName == "event");
    CountingPane countText, countHex, countEvent;
    trace::Pane* text = paneName == "text" ? static_cast<trace::Pane*>(&chosen) : &countText;
    trace::Pane* hexTarget = paneName == "hex" ? static_cast<trace::Pane*>(&chosen) : &countHex;
    trace::Pane* eventTarget = paneName == "event" ? static_cast<trace::Pane*>(&chosen) : &countEvent;
    // What Save as would find in the window's hex and event panes.
    TeePane hex(*hexTarget, 501);
    TeePane event(*eventTarget, 101);
    trace::Panes panes{*text, hex, event};
    trace::TraceSession session(panes, ui, trace::RoutingLimits::unlimited());
    session.clear();
    if (recorder) {
        session.setChunkSink(recorder.get());
        session.eventListeners().add(*recorder);
    }

    comm.onRxChar = [&](serial::Comm&, int) { trace::receiveFromPort(session, port); };
    comm.onHangup = [&](serial::Comm& c) {
        std::fprintf(stderr, "zindra-cli: the device %s went away\n", c.deviceTitle().c_str());
        gone = true;
    };

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

    try {
        comm.setDeviceName(device);
        if (!trace::startTrace(session, port)) {
            if (recorder) recorder->finish("the port could not be opened");
            return ExitPort;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zindra-cli: %s\n", e.what());
        if (recorder) recorder->finish(std::string("the port could not be opened: ") + e.what());
        return ExitPort;
    }

    bool limitTold = false;
    int recordStatus = ExitOk;
    bool recordErrorTold = false;
    trace::CableWatch cable;
    while (!interrupted && session.running() && !chosen.failed()) {
        if (gone) {
            if (!watch) break;
            // Watch mode: the trace waits for the device to come back.
            gone = false;
            const std::int64_t at = trace::utcMicrosNow();
            cable.lost(port, at);
            if (recorder) recorder->gapBegan(at);
            std::fprintf(stderr, "zindra-cli: trying to open %s again every %d s\n", device.c_str(),
                         static_cast<int>(trace::ReopenInterval.count() / 1000));
        }
        loop.runOnce(std::chrono::milliseconds(50));
        if (cable.disconnected() && cable.retry(session, port)) {
            if (recorder) recorder->gapEnded(trace::utcMicrosNow());
            std::fprintf(stderr, "zindra-cli: %s is back; \"\\nTRACEON\" sent again\n", device.c_str());
        }
        if (recorder) {
            recorder->tick();
            const recording::RecorderStatus st = recorder->status();
            if (!recordErrorTold && !st.lastError.empty()) {
                recordErrorTold = true;
                std::fprintf(stderr, "zindra-cli: %s; the trace goes on without it\n", st.lastError.c_str());
            }
        }
        if (ui.deadline && std::chrono::steady_clock::now() >= *ui.deadline) {
            ui.deadline.reset();
            const std::int64_t at = trace::utcMicrosNow();
            if (cable.answerMissing(session, port, at)) {
                if (recorder) recorder->gapBegan(at);
                std::fprintf(stderr, "zindra-cli: no answer from the FAT on %s; trying again every %d s\n",
                             device.c_str(), static_cast<int>(trace::ReopenInterval.count() / 1000));
            } else {
                session.answerTimeoutCheck();
            }
        }
        if (!limitTold && session.capture().dropped() > 0) {
            limitTold = true;
            std::fprintf(
                stderr,
                "zindra-cli: the capture is full (%u bytes); later bytes are shown but not kept for the "
                ".TRC file\n",
                static_cast<unsigned>(session.capture().count()));
        }
    }
    // Bytes that arrived with the hang-up or the interrupt, and what the port
    // still holds.
    loop.runPending();
    const trace::IdentOutcome outcome = [&] {
        if (session.running()) trace::drainPort(session, port);
        return session.awaitingIdent() ? trace::IdentOutcome::Pending : session.identOutcome();
    }();
    trace::stopTrace(session, port);
    chosen.flush();
    if (recorder) {
        std::string reason = "Stopp";
        if (interrupted != 0) {
            reason = signalName(interrupted);
        } else if (gone) {
            reason = "the device went away";
        } else if (outcome == trace::IdentOutcome::NoReply) {
            reason = "no answer from the FAT";
        } else if (outcome == trace::IdentOutcome::Unmatched) {
            reason = "the reply names no known panel type";
        } else if (chosen.failed()) {
            reason = "standard output could not be written";
        }
        recorder->finish(reason);
        const recording::RecorderStatus st = recorder->status();
        std::fprintf(stderr, "zindra-cli: recorded %llu bytes in %d segment(s), %zu gap(s), into %s\n",
                     static_cast<unsigned long long>(st.bytes), st.segments, st.gaps.size(),
                     st.folder.c_str());
        if (!st.lastError.empty()) {
            if (!recordErrorTold) std::fprintf(stderr, "zindra-cli: %s\n", st.lastError.c_str());
            recordStatus = ExitFile;
        }
    }

    int status = recordStatus;
    // No reply, an unknown reply, or the end before a complete reply line.
    if (outcome != trace::IdentOutcome::Matched) status = ExitIdent;
    if (outputFailed(stdout, chosen.error())) status = ExitFile;
    if (saveBase) {
        const std::vector<std::string> names = trace::traceFileNames(*saveBase);
        const bool replaces = std::any_of(names.begin(), names.end(),
                                          [](const std::string& n) { return std::filesystem::exists(n); });
        if (session.capture().count() == 0) {
            std::fputs("zindra-cli: nothing was received, so nothing was saved\n", stderr);
        } else if (outcome != trace::IdentOutcome::Matched && replaces) {
            std::fprintf(stderr,
                         "zindra-cli: the FAT was not identified; the files of %s are kept as they were\n",
                         saveBase->c_str());
        } else {
            const trace::SaveReport report =
                trace::saveTrace(*saveBase, session.capture(), hex.lines(), event.lines());
            if (!report.errors.empty()) {
                for (const std::string& e : report.errors)
                    std::fprintf(stderr, "zindra-cli: %s\n", e.c_str());
                std::string written;
                for (const std::string& n : report.written) written += (written.empty() ? "" : ", ") + n;
                std::fprintf(stderr, "zindra-cli: written: %s\n", written.empty() ? "none" : written.c_str());
                status = ExitFile;
            }
        }
    }
    return status;
}

}  // namespace zindra::cli
