// How decoders write event lines: the numeric columns, code-to-text tables,
// the error text and the fault/disablement report.  The column writer fills
// the event record from the same values it writes, so the two agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "decoders/decoder.h"
#include "decoders/protocol.h"
#include "decoders/state.h"

namespace zindra::decoders {

// The only error text of the event routines.
inline constexpr const char* EvaluationProblem = "Problem bei der Auswertung";

// One row of a code-to-text table.
struct CodeText {
    std::uint32_t code;
    const char* text;
};

// The text of code in table, otherwise when no row holds it.
template <std::size_t N>
constexpr const char* lookupText(const CodeText (&table)[N], std::uint32_t code,
                                 const char* otherwise = nullptr) {
    for (const CodeText& row : table) {
        if (row.code == code) return row.text;
    }
    return otherwise;
}

// Two bytes as one table code, the first one high.
constexpr std::uint32_t codePair(std::uint8_t high, std::uint8_t low) {
    return static_cast<std::uint32_t>(high) << 8 | low;
}

// Writes one event line and its record.  The constructor starts both for a
// telegram of protocol p whose bytes are the frame in st; finish() hands the
// line to out.eventLine and out.record.line and marks the record present.
// While out.recordWanted is false only the line is written.
//
// The numeric layout: number A "0"-filled to 3 and " "-filled to 6
// characters, four spaces, number B "0"-filled to 2 and " "-filled to 5, four
// spaces, then a third column.  The filling counts characters, so -5 as A
// gives "   0-5".
class EventColumns {
public:
    enum class Number { Lead, A, B, Code };

    EventColumns(DecoderOutput& out, Protocol p, const DecoderState& st)
        : out_(out), record_(out.recordWanted) {
        if (record_) startRecord(p, st);
    }

    // value in decimal, "0"-filled to zeroWidth and " "-filled to width
    // characters, recorded as the given number.
    EventColumns& number(Number which, std::int64_t value, int zeroWidth, int width);
    // Number A and number B in their columns, each followed by four spaces.
    EventColumns& numbersAB(std::int64_t a, std::int64_t b) {
        return number(Number::A, a, 3, 6).literal("    ").number(Number::B, b, 2, 5).literal("    ");
    }
    // The UGM family's third and fourth columns: code C as number B is
    // written, four spaces, C as two hex digits.
    EventColumns& codeColumns(std::uint8_t c) {
        return number(Number::Code, c, 2, 5).literal("    ").codeHex(c);
    }
    // The code's two hex digits; records it as the state code.
    EventColumns& codeHex(std::uint8_t c);
    // A second state byte's two hex digits (FILNET).
    EventColumns& qualifierHex(std::uint8_t q);
    // A code as received, recorded as the state code's hex form.
    EventColumns& codeText(std::string_view shown);
    // The state text as shown, " "-filled to width characters; the record
    // keeps it without surrounding spaces.
    EventColumns& state(std::string_view shown, std::size_t width = 0);
    EventColumns& literal(std::string_view s) {
        put(s);
        return *this;
    }
    void finish();

private:
    static constexpr std::size_t Room = 160;  // more than any event line
    void startRecord(Protocol p, const DecoderState& st);
    void put(std::string_view s) {
        const std::size_t n = s.size() < Room - n_ ? s.size() : Room - n_;
        std::memcpy(buf_ + n_, s.data(), n);
        n_ += n;
    }

    DecoderOutput& out_;
    bool record_;
    char buf_[Room + 32];  // the slack lets fixed-size copies run past the end
    std::size_t n_ = 0;
};

// An event line of one state text and no numbers (" Zentralen Reset ",
// "Problem bei der Auswertung").
void writeStateEvent(DecoderOutput& out, Protocol p, const DecoderState& st, std::string_view shown);

// A printed line as a record without an event line (nothing while
// out.recordWanted is false): its raw bytes and, as
// printerText, the bytes from textFrom on without control bytes (below 0x20
// and 0x7F) and without trailing spaces.  A line that from textFrom on is
// only its line end (CR LF, or LF) prints nothing and gives no record.
void recordPrinterLine(DecoderOutput& out, Protocol p, const std::uint8_t* bytes, int n, int textFrom);

// Fault and disablement as the panel last reported them and as we last wrote
// them to the event pane.  Lives as long as the decoder object, across traces.
struct FaultMemory {
    bool fault = false;
    bool disablement = false;
    bool reportedFault = false;
    bool reportedDisablement = false;

    // Writes the change since the last report as an event (none when nothing
    // changed).  A fault change outranks a disablement change in the text;
    // both are recorded as reported.
    void reportChanges(DecoderOutput& out, Protocol p, const DecoderState& st);
};

}  // namespace zindra::decoders
