#include "trace/session.h"

#include <algorithm>

#include "trace/identify.h"

namespace zindra::trace {

using decoders::Protocol;

TraceSession::TraceSession(Panes& panes, TraceUi& ui, RoutingLimits limits)
    : panes_(panes), ui_(ui), limits_(limits), decoder_(registry_.get(Protocol::Default)) {}

void TraceSession::receiveChunk(const std::uint8_t* chunk, std::size_t n, ChunkTime time) {
    if (chunkSink_ != nullptr && n > 0) chunkSink_->onChunk(chunk, n, time);
    capture_.append(chunk, n);
    feedChunk(chunk, n, time);
}

void TraceSession::feedChunk(const std::uint8_t* chunk, std::size_t n, ChunkTime time) {
    appendToRing(chunk, n);
    dispatchReceived(chunk, n, time);
}

void TraceSession::appendToRing(const std::uint8_t* chunk, std::size_t n) {
    while (n > 0) {
        const auto piece = static_cast<std::uint16_t>(n < 256 ? n : 256);
        decoders::appendToRing(state_, chunk, piece);
        chunk += piece;
        n -= piece;
    }
}

void TraceSession::dispatchReceived(const std::uint8_t* chunk, std::size_t count, ChunkTime time) {
    if (awaitingIdent_) {
        // Only the new bytes are searched, and only up to the limit.
        const std::size_t from = identText_.size();
        const std::size_t take = std::min(count, IdentTextLimit - std::min(from, IdentTextLimit));
        identText_.append(reinterpret_cast<const char*>(chunk), take);
        if (identLf_ == std::string::npos) {
            const std::size_t lf = identText_.find('\n', from);
            if (lf != std::string::npos) identLf_ = lf;
        }
        // The first line feed must stand at character position 4 or later.
        if (identLf_ != std::string::npos && identLf_ >= 3) {
            awaitingIdent_ = false;
            // Identify on the first line only: whatever followed the reply in
            // the same chunk is data for the decoder, not part of the reply.
            identText_.resize(identLf_ + 1);
            identLf_ = std::string::npos;
            // The reply line is in the ring too: a line-by-line decoder hands
            // it on like any other line, but it is no event of the panel.
            replyLine_ = identText_;
            if (!identifyPanel(identText_)) replyLine_.clear();
            panes_.hex.addLine(std::string_view(reinterpret_cast<const char*>(chunk), count));
        }
        return;
    }

    ui_.setCaptureCount(std::to_string(capture_.count()));
    // The five strings start empty for each dispatch and are not emptied
    // between calls: every decoder empties what it does not set.
    out_.clear();
    out_.recordWanted = !listeners_.empty();
    do {
        decoder_->decode(state_, out_);
        if (out_.hasRecord) {
            out_.record.panel = panel_;
            if (!replyLine_.empty()) {
                if (out_.record.raw == replyLine_) out_.hasRecord = false;
                replyLine_.clear();
            }
        }
        routeOutput(out_, panes_, flags_, limits_, listeners_, time);
    } while (state_.moreData);
}

void TraceSession::dispatchRest() {
    if (running_ && !awaitingIdent_ && identOutcome_ == IdentOutcome::Matched && !state_.ringEmpty()) {
        dispatchReceived(nullptr, 0);
    }
}

void TraceSession::setButtons(bool running) {
    running_ = running;
    ui_.setTraceButtons(running);
}

void TraceSession::resetFrame() {
    state_.readIndex = state_.writeIndex;
    state_.frameBuffer.fill(0);
    state_.frameLength = 0;
    state_.inFrame = false;
    state_.moreData = false;
    registry_.dropPartials();
}

void TraceSession::enterWaiting() {
    resetFrame();
    setButtons(true);
    awaitingIdent_ = true;
    identOutcome_ = IdentOutcome::Pending;
    ui_.setPanelCaption(" Empfangsbereit ");
}

void TraceSession::startReplay() {
    resetFrame();
    setButtons(true);
    clearIdentText();
    awaitingIdent_ = true;
    identOutcome_ = IdentOutcome::Pending;
}

void TraceSession::setProtocol(Protocol p) {
    decoders::Decoder* d = registry_.get(p);
    if (d == nullptr) return;
    protocol_ = p;
    decoder_ = d;
    panel_.clear();
}

bool TraceSession::identifyPanel(std::string& text) {
    while (text.size() > 3 && text.back() != '\n') text.pop_back();
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();

    ui_.setCaption(text + "  Trace");

    const std::optional<int> row = matchPanelType(text);
    const PanelType* match = row ? &panelTypes()[*row] : nullptr;
    // A row whose decoder is not built counts as no match.
    if (match != nullptr && !match->keepsDecoder && registry_.get(match->protocol) == nullptr)
        match = nullptr;
    if (match == nullptr) {
        identOutcome_ = IdentOutcome::Unmatched;
        ui_.showError(NoConnectionText);
        stopp();
        return false;
    }
    if (!match->keepsDecoder) setProtocol(match->protocol);
    panel_ = match->reply;
    ui_.setPanelCaption(std::string(match->panelCaption));
    ui_.setPanelColour(PanelColour::Red);
    identOutcome_ = IdentOutcome::Matched;
    return true;
}

bool TraceSession::identifyReply(const std::string& reply) {
    awaitingIdent_ = false;
    identLf_ = std::string::npos;
    identText_ = reply + "\r\n";
    return identifyPanel(identText_);
}

void TraceSession::answerTimeoutCheck() {
    if (!awaitingIdent_) return;
    identOutcome_ = IdentOutcome::NoReply;
    ui_.showError(NoAnswerText);
    stopp();
}

void TraceSession::stopp() {
    setButtons(false);
    awaitingIdent_ = false;
    if (identOutcome_ == IdentOutcome::Pending) identOutcome_ = IdentOutcome::None;
    ui_.setCaption("Trace");
    ui_.setPanelCaption("  nicht aktiv  ");
    ui_.setPanelColour(PanelColour::ButtonFace);
    if (portStopp_) portStopp_();
    setProtocol(Protocol::Default);
    replyLine_.clear();
}

void TraceSession::clear() {
    flags_.textStartNewLine = true;
    flags_.hexStartNewLine = true;
    panes_.text.clear();
    panes_.hex.clear();
    panes_.event.clear();
}

}  // namespace zindra::trace
