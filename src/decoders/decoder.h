// The decoder contract: every decoder call fills five byte strings, may fill
// an event record, and sets DecoderState::moreData.
#pragma once

#include <string>

#include "decoders/event_record.h"
#include "decoders/state.h"

namespace zindra::decoders {

// The outputs of one decoder call: five lines of Windows-1252 bytes and, when
// the call completed an event, its record.
struct DecoderOutput {
    std::string textLine;    // text pane: the text rendering of a frame or byte
    std::string hexLine;     // hex pane: the hex rendering of a frame or byte
    std::string textHeader;  // text pane: an extra line before textLine
    std::string hexHeader;   // hex pane: an extra line before hexLine
    std::string eventLine;   // event pane: the decoded meaning of a frame
    // Valid while hasRecord is set.  record.line equals eventLine; a printer
    // line has a record and no event line.
    EventRecord record;
    bool hasRecord = false;
    // Set by the caller: false when nobody takes the records, so the
    // decoders skip filling them.  The lines are the same either way.
    bool recordWanted = true;

    // Empties the five lines and drops the record (its storage is kept);
    // recordWanted stays.
    void clear() {
        textLine.clear();
        hexLine.clear();
        textHeader.clear();
        hexHeader.clear();
        eventLine.clear();
        hasRecord = false;
    }
};

// One decoder per protocol.  A decoder object lives for the whole run; some
// keep values of their own across calls and traces.
//
// Every call sets state.moreData to true and empties its outputs, then takes
// bytes from the ring and assembles frames in state.frameBuffer.  It returns
// as soon as it has output for one completed frame or line, or for one byte
// outside any frame (moreData stays true), or when the ring is empty (moreData
// false).  Whenever it returns output, hexLine or hexHeader is among it.
//
// Frame length after a call: 0 .. 256.  While inFrame is true it is at most
// 255, so the next stored byte still fits; 256 is left only by a frame that
// closed because it filled the buffer.  A decoder that continues a frame
// another one began must accept any length in that range.
class Decoder {
public:
    virtual ~Decoder() = default;
    virtual void decode(DecoderState& st, DecoderOutput& out) = 0;
    // Forgets a frame or line begun before: a new trace begins on an empty
    // frame.  Values a decoder keeps across traces stay.
    virtual void dropPartial() {}
};

}  // namespace zindra::decoders
