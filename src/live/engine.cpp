#include "live/engine.h"

#include <array>
#include <csignal>
#include <exception>
#include <filesystem>
#include <system_error>

#include "recording/format.h"
#include "trace/identify.h"

namespace zindra::live {
namespace {

const std::uint8_t TraceOn[8] = {'\n', 'T', 'R', 'A', 'C', 'E', 'O', 'N'};
const std::uint8_t TraceOff[8] = {'\n', 'T', 'R', 'A', 'C', 'E', 'O', 'F'};

struct ReasonWords {
    EndReason reason;
    const char* english;  // the manifest's and zindra-cli's words
    const char* german;   // the window's
};

// Every way a live trace ends, in one place.
constexpr std::array<ReasonWords, 8> Reasons{{
    {EndReason::Stopp, "Stopp", "Stopp"},
    {EndReason::Interrupted, "signal", "Signal"},
    {EndReason::SessionEnd, "the desktop session ended", "Ende der Sitzung (Abmelden oder Herunterfahren)"},
    {EndReason::DeviceGone, "the device went away", "Das Ger\u00E4t ist nicht mehr da"},
    {EndReason::NoAnswer, "no answer from the FAT", "Keine Antwort vom FAT"},
    {EndReason::UnknownReply, "the reply names no known panel type",
     "Die Antwort des FAT nennt keinen bekannten Zentralentyp"},
    {EndReason::OutputFailed, "standard output could not be written",
     "Die Standardausgabe konnte nicht geschrieben werden"},
    {EndReason::PortNotOpened, "the port could not be opened",
     "Die Schnittstelle lie\u00DF sich nicht \u00F6ffnen"},
}};

const ReasonWords& words(EndReason reason) {
    for (const ReasonWords& w : Reasons)
        if (w.reason == reason) return w;
    return Reasons[0];
}

// A recording begun for a port that then did not open holds nothing of
// worth: its own files and its folder go again.
void removeRecording(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        const std::string ext = e.path().extension().string();
        if (name == recording::ManifestName || name == recording::EventsName ||
            name == recording::ReserveName || ext == ".TRC" || ext == ".idx" || ext == ".tix")
            fs::remove(e.path(), ec);
    }
    fs::remove(folder, ec);  // only when empty
}

}  // namespace

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

std::string reasonText(const EndCause& cause) {
    if (cause.reason == EndReason::Interrupted) return signalName(cause.signal);
    return words(cause.reason).english;
}

std::string reasonTextGerman(const EndCause& cause) {
    if (cause.reason == EndReason::Interrupted) return signalName(cause.signal);
    return words(cause.reason).german;
}

Engine::Engine(trace::TraceSession& session, Port& port, Observer& observer, const Clock& clock)
    : session_(session), port_(port), observer_(observer), clock_(clock) {
    session_.setPortStopp([this] { portStopp(); });
}

Engine::~Engine() {
    session_.setPortStopp({});
    if (recorder_) {
        session_.setChunkSink(nullptr);
        session_.eventListeners().remove(*recorder_);
    }
}

bool Engine::start(const StartOptions& options) {
    if (live_) return false;
    if (port_.deviceName().empty()) session_.ui().showError(trace::NoPortText);

    // The recording's folder is made before the port opens, so that one
    // that cannot be written can end the start before the FAT is asked.
    std::unique_ptr<recording::Recorder> recorder;
    std::string notStarted;
    if (options.record) {
        recording::RecorderOptions record = *options.record;
        record.port = port_.deviceName();
        try {
            recorder = std::make_unique<recording::Recorder>(record, clock_.utcMicros());
        } catch (const recording::RecordingError& e) {
            if (options.recordingRequired) throw;
            notStarted = e.what();
        }
    }
    const auto dropRecording = [&] {
        if (!recorder) return;
        recorder->finish(reasonText({EndReason::PortNotOpened}), clock_.utcMicros());
        const std::string folder = recorder->folder();
        recorder.reset();
        removeRecording(folder);
    };
    try {
        port_.open();
    } catch (...) {
        dropRecording();
        throw;
    }
    if (!port_.active()) {
        port_.close();
        dropRecording();
        return false;
    }

    if (recorder_) {
        session_.setChunkSink(nullptr);
        session_.eventListeners().remove(*recorder_);
    }
    recorder_ = std::move(recorder);
    if (recorder_) {
        session_.setChunkSink(recorder_.get());
        session_.eventListeners().add(*recorder_);
    }
    live_ = true;
    watch_ = options.watch || options.record.has_value();
    sessionEnded_ = false;
    cause_.reset();
    lastEnd_.reset();
    outcomeAtEnd_ = trace::IdentOutcome::None;
    lostSince_.reset();
    attempts_ = 0;
    reopened_ = false;
    gaps_.clear();
    failureTold_ = false;
    beginOnOpenPort();
    if (!notStarted.empty()) observer_.recordingNotStarted(notStarted);
    settle();
    return true;
}

void Engine::beginOnOpenPort() {
    session_.clearIdentText();
    std::array<std::uint8_t, ReceiveChunk> drop{};
    for (std::size_t total = 0; total < ReadOnLimit;) {
        const std::size_t n = port_.read(drop.data(), ReceiveChunk);
        total += n;
        if (n < ReceiveChunk) break;
    }
    port_.write(TraceOn, sizeof TraceOn);
    session_.enterWaiting();
    deadline_ = clock_.now() + AnswerTimeout;
    observer_.answerAwaited(AnswerTimeout);
}

std::size_t Engine::receive() {
    std::array<std::uint8_t, 256> buf{};
    std::size_t total = 0;
    for (;;) {
        const std::size_t n = port_.read(buf.data(), ReceiveChunk);
        if (n == 0 && total > 0) break;
        // A chunk's time is taken once, where it is read, and travels with it.
        session_.receiveChunk(buf.data(), n, clock_.utcMicros());
        total += n;
        if (n < ReceiveChunk || total >= ReadOnLimit) break;
    }
    return total;
}

std::size_t Engine::onBytesReady() {
    const std::size_t n = receive();
    noteCapture();
    settle();
    return n;
}

void Engine::drain() {
    for (std::size_t total = 0; port_.active() && total < ReadOnLimit;) {
        const std::size_t n = receive();
        if (n == 0) break;
        total += n;
    }
    noteCapture();
}

void Engine::noteCapture() {
    if (session_.capture().dropped() == 0) {
        captureTold_ = false;
    } else if (!captureTold_) {
        captureTold_ = true;
        observer_.captureFull(session_.capture().count());
    }
}

void Engine::onHangup() {
    // Whatever the device sent before it went is still shown and captured.
    try {
        for (int i = 0; i < 1000 && receive() > 0; ++i) {}
    } catch (const std::exception&) {
        // Nothing more to read from a device that is gone.
    }
    noteCapture();
    if (!live_ || !session_.running()) {
        port_.close();
        settle();
        return;
    }
    // What the identifying chunk left in the ring is shown now: the trace
    // that goes on after a reopen begins on an empty frame.
    session_.dispatchRest();
    if (watch_) {
        lose(false);
        return;
    }
    cause_ = EndCause{EndReason::DeviceGone};
    outcomeAtEnd_ = session_.awaitingIdent() ? trace::IdentOutcome::Pending : session_.identOutcome();
    session_.stopp();
    port_.close();
    settle();
}

void Engine::lose(bool noAnswer) {
    const std::int64_t at = clock_.utcMicros();
    port_.close();
    reopened_ = false;
    deadline_.reset();
    if (lostSince_) return;
    lostSince_ = at;
    lastTry_ = clock_.now();
    attempts_ = 0;
    gaps_.push_back(recording::Gap{at, std::nullopt});
    if (recorder_) recorder_->gapBegan(at);
    observer_.deviceLost(at, noAnswer);
}

bool Engine::reopen() {
    try {
        port_.open();
    } catch (const std::exception&) {
        // Still gone: the next try comes after the interval.
    }
    if (!port_.active()) {
        port_.close();
        return false;
    }
    const std::int64_t at = clock_.utcMicros();
    lostSince_.reset();
    if (!gaps_.empty()) gaps_.back().to = at;
    if (recorder_) recorder_->gapEnded(at);
    beginOnOpenPort();
    reopened_ = true;
    if (!gaps_.empty()) observer_.deviceBack(gaps_.back());
    return true;
}

void Engine::onAnswerTimeout() {
    if (!deadline_) return;
    deadline_.reset();
    if (!live_) return;
    // After a reopen the device counts as gone again (a FAT still starting,
    // an adapter back without its cable), instead of ending the watch.
    if (watch_ && reopened_ && session_.awaitingIdent() && session_.running()) {
        lose(true);
        return;
    }
    session_.answerTimeoutCheck();
    settle();
}

void Engine::poll() {
    if (live_ && lostSince_ && session_.running() && clock_.now() - lastTry_ >= ReopenInterval) {
        lastTry_ = clock_.now();
        ++attempts_;
        reopen();
    }
    if (deadline_ && clock_.now() >= *deadline_) onAnswerTimeout();
    if (live_ && recorder_) {
        recorder_->tick(clock_.utcMicros());
        const recording::RecorderStatus st = recorder_->status(clock_.utcMicros());
        if (st.interruption && !failureTold_) {
            failureTold_ = true;
            observer_.recordingFailed(st.lastError);
        } else if (!st.interruption && failureTold_) {
            failureTold_ = false;
            observer_.recordingResumed();
        }
    }
    settle();
    observer_.changed();
}

void Engine::stop(const EndCause& cause) {
    if (!live_) {
        if (session_.running()) session_.stopp();
        return;
    }
    if (!cause_) cause_ = cause;
    // What the port still holds is taken in before the trace ends.
    if (session_.running() && port_.active()) {
        drain();
        session_.dispatchRest();
    }
    outcomeAtEnd_ = session_.awaitingIdent() ? trace::IdentOutcome::Pending : session_.identOutcome();
    if (session_.running()) session_.stopp();
    settle();
}

void Engine::portStopp() {
    // Close drops output still queued, so the command is given a moment to
    // leave first: a FAT that never hears it goes on mirroring its link.
    port_.write(TraceOff, sizeof TraceOff);
    port_.flush();
    port_.close();
    if (live_) sessionEnded_ = true;
}

void Engine::settle() {
    if (!live_ || (!sessionEnded_ && session_.running())) return;
    EndCause cause{EndReason::Stopp};
    if (cause_) {
        cause = *cause_;
    } else {
        outcomeAtEnd_ = session_.identOutcome();
        if (outcomeAtEnd_ == trace::IdentOutcome::NoReply) cause.reason = EndReason::NoAnswer;
        if (outcomeAtEnd_ == trace::IdentOutcome::Unmatched) cause.reason = EndReason::UnknownReply;
    }
    finish(cause);
}

void Engine::finish(const EndCause& cause) {
    live_ = false;
    deadline_.reset();
    const std::int64_t now = clock_.utcMicros();
    if (lostSince_ && !gaps_.empty() && !gaps_.back().to) gaps_.back().to = now;
    lostSince_.reset();
    reopened_ = false;
    if (recorder_) {
        session_.setChunkSink(nullptr);
        session_.eventListeners().remove(*recorder_);
        recorder_->finish(reasonText(cause), now);
    }
    lastEnd_ = cause;
    observer_.ended(cause);
}

std::optional<recording::RecorderStatus> Engine::recordingStatus() const {
    if (!recorder_) return std::nullopt;
    return recorder_->status(clock_.utcMicros());
}

}  // namespace zindra::live
