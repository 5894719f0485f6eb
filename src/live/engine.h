// The live engine: everything a live trace does, once, under the window and
// zindra-cli.  It owns the trace's run on a port: Start (the port opened, the
// bytes waiting from before dropped, "\nTRACEON", the reply awaited on an
// empty frame), the receive handler, the answer deadline, Stopp with the
// drain, the watch through cable pulls (the port reopened every 2 s, the gap
// kept), the recording and its ticks, and why the trace ended.
//
// Threads: every call comes from the one thread that runs the trace session
// (the window's UI thread, the CLI's loop); the observer is called there too,
// from inside these calls.  The front end wires the port's notifications to
// onBytesReady/onHangup, calls poll() at least every PollInterval while a
// trace runs, and turns the observer's calls into what it shows.
//
// Failures: the port's error to open propagates from start() with nothing
// changed; a recording that cannot begin either propagates (required) or is
// reported and the trace runs without it; a failed write of the recording
// never ends the trace.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "live/clock.h"
#include "live/port.h"
#include "recording/recorder.h"
#include "trace/session.h"

namespace zindra::live {

inline constexpr std::chrono::milliseconds AnswerTimeout{4000};
inline constexpr std::chrono::milliseconds ReopenInterval{2000};
// The most time between two poll() calls while a trace runs.
inline constexpr std::chrono::milliseconds PollInterval{500};
inline constexpr std::size_t ReceiveChunk = 80;
// The most bytes one notification, one drain or Start's drop reads.
inline constexpr std::size_t ReadOnLimit = 1 << 20;

// Why a live trace ended.  Interrupted carries the signal.
enum class EndReason {
    Stopp,          // the user's Stopp, or the window closed
    Interrupted,    // a signal: Ctrl-C, SIGTERM, SIGHUP, Ctrl-Break
    SessionEnd,     // the desktop session ends (logout, shutdown)
    DeviceGone,     // the device went away outside a watch
    NoAnswer,       // no reply line within AnswerTimeout
    UnknownReply,   // the reply names no known panel type
    OutputFailed,   // the CLI's standard output could not be written
    PortNotOpened,  // the port could not be opened (a recording begun for it ends so)
};

struct EndCause {
    EndReason reason = EndReason::Stopp;
    int signal = 0;  // with Interrupted
};

// "SIGINT (Ctrl-C)", "SIGTERM", "SIGHUP", "Ctrl-Break": a signal that ends
// something, as messages name it.
std::string signalName(int sig);
// The reason as the recording's manifest and zindra-cli say it ("Stopp",
// "SIGINT (Ctrl-C)", "the device went away", ...).
std::string reasonText(const EndCause& cause);
// The same in German, for the window ("Stopp", "SIGTERM", "das Gerät ist
// nicht mehr da", ...); Windows-1252 free: plain UTF-8.
std::string reasonTextGerman(const EndCause& cause);

struct StartOptions {
    // A watch: a device that goes away (or comes back without an answer) is
    // opened again every ReopenInterval instead of ending the trace.
    bool watch = false;
    // Records the trace (made before the port opens; a recording is a watch).
    // The port's name is filled in.
    std::optional<recording::RecorderOptions> record;
    // A recording that cannot begin ends the start (its RecordingError
    // propagates) instead of being reported with the trace running on.
    bool recordingRequired = false;
};

class Observer {
public:
    virtual ~Observer() = default;
    // The reply is awaited for `within` (at Start and at each reopen).  The
    // window arms its answer timer, whose expiry calls onAnswerTimeout; poll()
    // checks the deadline as well.
    virtual void answerAwaited(std::chrono::milliseconds /*within*/) {}
    // The recording asked for could not begin; the trace runs without it.
    virtual void recordingNotStarted(const std::string& /*sentence*/) {}
    // Writing the recording failed: it is interrupted and tried again every
    // few seconds (said once per interruption); the trace goes on.
    virtual void recordingFailed(const std::string& /*sentence*/) {}
    // The recording goes on after an interruption, in a new segment.
    virtual void recordingResumed() {}
    // In a watch: the device went away, or came back without an answer
    // (noAnswer); a gap begins (nothing new when one runs already).
    virtual void deviceLost(std::int64_t /*since*/, bool /*noAnswer*/) {}
    // The device is open again and has been sent "\nTRACEON"; the gap ended.
    virtual void deviceBack(const recording::Gap& /*gap*/) {}
    // The capture for Save as began to drop chunks; kept is what it holds
    // (told again after a save emptied it).
    virtual void captureFull(std::size_t /*kept*/) {}
    // What a status display shows may have changed (after every poll).
    virtual void changed() {}
    // The trace ended: Stopp's steps done, the recording finished.
    virtual void ended(const EndCause& /*cause*/) {}
};

class Engine {
public:
    // The session and the port outlive the engine; so does the observer.
    Engine(trace::TraceSession& session, Port& port, Observer& observer, const Clock& clock);
    // A running recording is finished ("closed"); the session is let go.
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Start: warns about an empty device name, makes the recording asked
    // for, opens the port (its error propagates, the recording begun is
    // removed again and nothing changes), empties IdentText, drops what
    // waits from before, sends "\nTRACEON" and awaits the reply on an empty
    // frame.  Returns false when the port did not open.
    bool start(const StartOptions& options = {});
    // The receive handler: 80-byte chunks into the capture, the recording,
    // the ring and the dispatcher, read on while whole chunks come.  Returns
    // the number of bytes read.
    std::size_t onBytesReady();
    // The device went away: what it sent before is taken in; in a watch the
    // gap begins and the port is tried again, otherwise the trace ends
    // (DeviceGone).
    void onHangup();
    // The answer timer ran out (the window's timer, or poll() at the
    // deadline).  After a reopen in a watch the device counts as gone again;
    // otherwise the session's time-out check runs (box, Stopp).  Nothing
    // when no answer is awaited by this engine.
    void onAnswerTimeout();
    // The reopen every ReopenInterval, the answer deadline, the recording's
    // ticks and its failures.
    void poll();
    // Stopp: drains the port and shows what the identifying chunk left, then
    // Stopp's steps, the recording's end with the cause.  During a replay
    // (no live trace): the session's Stopp only.
    void stop(const EndCause& cause = {});

    // A live trace runs: from start() to its end (a replay is not one).
    bool live() const { return live_; }
    bool watching() const { return live_ && watch_; }
    // In a watch, the device is away and tried again every ReopenInterval.
    bool disconnected() const { return lostSince_.has_value(); }
    // Reopen attempts since the device went away.
    int reopenAttempts() const { return attempts_; }
    // The gaps of the current (or last) watch; the last has no end while it lasts.
    const std::vector<recording::Gap>& gaps() const { return gaps_; }
    // The current (or last) trace's recording; nullptr for none.
    const recording::Recorder* recorder() const { return recorder_.get(); }
    std::optional<recording::RecorderStatus> recordingStatus() const;
    // Why the last trace ended; empty while it runs or before the first.
    const std::optional<EndCause>& lastEnd() const { return lastEnd_; }
    // What became of the reply when the last trace ended: Pending when it
    // was still awaited.
    trace::IdentOutcome outcomeAtEnd() const { return outcomeAtEnd_; }
    const Clock& clock() const { return clock_; }

private:
    void beginOnOpenPort();
    std::size_t receive();
    void drain();
    void portStopp();
    void lose(bool noAnswer);
    bool reopen();
    void noteCapture();
    // After a call into the session: a trace the session ended (an unknown
    // reply, the time-out) is ended here, with its cause.
    void settle();
    void finish(const EndCause& cause);

    trace::TraceSession& session_;
    Port& port_;
    Observer& observer_;
    const Clock& clock_;

    bool live_ = false;
    bool watch_ = false;
    bool sessionEnded_ = false;  // the session's Stopp ran during this trace
    std::optional<EndCause> cause_;
    std::optional<EndCause> lastEnd_;
    trace::IdentOutcome outcomeAtEnd_ = trace::IdentOutcome::None;
    std::optional<Clock::TimePoint> deadline_;
    std::optional<std::int64_t> lostSince_;
    Clock::TimePoint lastTry_{};
    int attempts_ = 0;
    bool reopened_ = false;  // the last reopen has not been answered yet
    std::vector<recording::Gap> gaps_;
    std::unique_ptr<recording::Recorder> recorder_;
    bool failureTold_ = false;
    bool captureTold_ = false;
};

}  // namespace zindra::live
