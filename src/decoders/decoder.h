// The decoder contract: every decoder call fills five byte strings and sets
// DecoderState::moreData.
#pragma once

#include <memory>
#include <string>

#include "decoders/state.h"

namespace zindra::decoders {

// The five outputs of one decoder call, Windows-1252 bytes.
struct DecoderOutput {
    std::string textLine;    // text pane: the text rendering of a frame or byte
    std::string hexLine;     // hex pane: the hex rendering of a frame or byte
    std::string textHeader;  // text pane: an extra line before textLine
    std::string hexHeader;   // hex pane: an extra line before hexLine
    std::string eventLine;   // event pane: the decoded meaning of a frame

    void clear() {
        textLine.clear();
        hexLine.clear();
        textHeader.clear();
        hexHeader.clear();
        eventLine.clear();
    }
    // Empties the three line outputs and leaves both headers alone.
    void clearLines() {
        textLine.clear();
        hexLine.clear();
        eventLine.clear();
    }
};

// One decoder per protocol.  A decoder object lives for the whole run; some
// keep values of their own across calls and traces.
//
// Every call: sets state.moreData to true and empties its outputs; takes bytes
// from the ring and assembles frames in state.frameBuffer; returns as soon as
// it has output for one completed frame or line, or for one byte outside any
// frame (moreData stays true), or when the ring is empty (moreData false).
// Whenever it returns output, hexLine or hexHeader is among it.  frameLength
// stays below 256.
class Decoder {
public:
    virtual ~Decoder() = default;
    virtual void decode(DecoderState& state, DecoderOutput& out) = 0;
};

}  // namespace zindra::decoders
