// The trace session without any window: it owns the receive ring and frame
// state, the decoders, the current decoder, the identification state and the
// raw capture for the whole run, and routes decoder output into the panes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/state.h"
#include "trace/capture.h"
#include "trace/panes.h"
#include "trace/routing.h"
#include "trace/ui.h"

namespace zindra::trace {

// What became of the reply line of the current (or last) trace or replay.
enum class IdentOutcome { None, Pending, Matched, Unmatched, NoReply };

// The most bytes collected while a reply line is awaited: a reply is a short
// name, so a longer text holds no usable reply line (bounded memory and time
// on a stream without a line feed).
inline constexpr std::size_t IdentTextLimit = 4096;

class TraceSession {
public:
    TraceSession(Panes& panes, TraceUi& ui, RoutingLimits limits = RoutingLimits{});

    TraceSession(const TraceSession&) = delete;
    TraceSession& operator=(const TraceSession&) = delete;

    // What the receive handler does with n bytes read from the port: into the
    // capture, into the ring, then dispatched.  time is when they were read;
    // the events they complete carry it to the listeners.
    void receiveChunk(const std::uint8_t* chunk, std::size_t n, ChunkTime time = std::nullopt);
    // Into the ring and dispatched, not captured (replay).
    void feedChunk(const std::uint8_t* chunk, std::size_t n, ChunkTime time = std::nullopt);

    void appendToRing(const std::uint8_t* chunk, std::size_t n);
    // Identification while a reply is awaited; otherwise runs the current
    // decoder until the ring is empty, routes every call's lines to the panes
    // and its event record, with time, to the event listeners.
    void dispatchReceived(const std::uint8_t* chunk, std::size_t count, ChunkTime time = std::nullopt);

    // Once the port is open, a trace empties IdentText ...
    void clearIdentText() {
        identText_.clear();
        identLf_ = std::string::npos;
    }
    // ... and starts waiting for the reply on an empty frame: buttons,
    // AwaitingIdent, " Empfangsbereit ".
    void enterWaiting();
    // A replay's start: an empty frame, buttons, IdentText emptied,
    // AwaitingIdent set.
    void startReplay();

    // Trims text in place to the reply, sets the caption, looks the reply up
    // and selects its decoder; on no match shows the error and runs Stopp.
    // Returns whether a row matched.
    bool identifyPanel(std::string& text);
    // Identification on a reply given by name, as if the line reply + CR LF
    // had been received; nothing is added to the hex pane.
    bool identifyReply(const std::string& reply);

    // The chunk that completed the reply line leaves the rest of itself in
    // the ring, to be shown with the next chunk; at the end of the input
    // (the file's or the trace's) this shows it.
    void dispatchRest();

    // The middle step of Timer1's handler.
    void answerTimeoutCheck();
    // Ends a trace or replay: buttons, AwaitingIdent, caption, panel, the
    // port's steps (see setPortStopp), default decoder.  Panes, ring, frame
    // state and capture stay.
    void stopp();
    // Stopp's steps on the port ("\nTRACEOF", then close), set by whoever runs
    // a live trace on this session (the live engine); none while unset, as in
    // a replay, where the port is closed.  The hook may learn there that the
    // trace ended; it must not call back into the session.
    void setPortStopp(std::function<void()> steps) { portStopp_ = std::move(steps); }
    // Every trace, reopen and replay begins on an empty frame: the ring's
    // unread bytes and a telegram begun before are dropped, so that a half
    // telegram cut off by a Stopp or a pulled cable is never joined with the
    // next trace's bytes.
    void resetFrame();
    // "&Neu" and "&Clear": both start-new-line flags true, panes emptied.
    void clear();

    decoders::DecoderState& state() { return state_; }
    const decoders::DecoderState& state() const { return state_; }
    CaptureStore& capture() { return capture_; }
    const CaptureStore& capture() const { return capture_; }
    RoutingFlags& flags() { return flags_; }
    // Who receives the event records (the window's list, the CLI, a recording).
    EventListeners& eventListeners() { return listeners_; }
    // Who receives every chunk read from the port (a recording); nullptr for none.
    // The sink must stay alive while it is set.
    void setChunkSink(ChunkSink* sink) { chunkSink_ = sink; }
    Panes& panes() { return panes_; }
    TraceUi& ui() { return ui_; }

    decoders::Protocol protocol() const { return protocol_; }
    // The reply name of the panel type identified ("IGISPRN"), which the
    // event records carry; empty before one is and after setProtocol.
    const std::string& panel() const { return panel_; }
    decoders::Decoder& decoder() { return *decoder_; }
    const decoders::DecoderRegistry& registry() const { return registry_; }
    void setProtocol(decoders::Protocol p);

    bool awaitingIdent() const { return awaitingIdent_; }
    void setAwaitingIdent(bool a) { awaitingIdent_ = a; }
    const std::string& identText() const { return identText_; }
    // The reply line can no longer come: IdentText reached IdentTextLimit, or
    // its first line feed stands too early.
    bool replyLineHopeless() const {
        return awaitingIdent_ && (identText_.size() >= IdentTextLimit || identLf_ != std::string::npos);
    }
    IdentOutcome identOutcome() const { return identOutcome_; }
    // StoppTrace is enabled: a trace or a replay runs.
    bool running() const { return running_; }

private:
    void setButtons(bool running);

    Panes& panes_;
    TraceUi& ui_;
    RoutingLimits limits_;
    decoders::DecoderState state_;
    decoders::DecoderRegistry registry_;
    decoders::Protocol protocol_ = decoders::Protocol::Default;
    decoders::Decoder* decoder_;
    decoders::DecoderOutput out_;
    CaptureStore capture_;
    RoutingFlags flags_;
    EventListeners listeners_;
    ChunkSink* chunkSink_ = nullptr;
    std::function<void()> portStopp_;
    std::string identText_;
    std::string panel_;
    // The reply line, until the first record after it: a record of exactly
    // its bytes is the reply decoded, not an event.
    std::string replyLine_;
    std::size_t identLf_ = std::string::npos;  // IdentText's first line feed
    bool awaitingIdent_ = false;
    bool running_ = false;
    IdentOutcome identOutcome_ = IdentOutcome::None;
};

}  // namespace zindra::trace
