#include "decoders/event_format.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace zindra::decoders {

void EventColumns::startRecord(Protocol p, const DecoderState& st) {
    DecoderOutput& out = out_;
    out.record.reset(p);
    const auto length = static_cast<std::size_t>(std::clamp(st.frameLength, 0, FrameBufferSize));
    out.record.raw.assign(reinterpret_cast<const char*>(st.frameBuffer.data()), length);
}

EventColumns& EventColumns::number(Number which, std::int64_t value, int zeroWidth, int width) {
    if (record_) {
        switch (which) {
            case Number::Lead: out_.record.leadNumber = value; break;
            case Number::A: out_.record.numberA = value; break;
            case Number::B: out_.record.numberB = value; break;
            case Number::Code: out_.record.stateCode = static_cast<std::int32_t>(value); break;
        }
    }
    char digits[24];
    // The narrower conversion is the quicker one; only SIGMA's ten-digit
    // numbers need the wide one.
    const bool narrow = value >= INT32_MIN && value <= INT32_MAX;
    const auto res = narrow ? std::to_chars(digits, digits + sizeof digits, static_cast<std::int32_t>(value))
                            : std::to_chars(digits, digits + sizeof digits, value);
    const int len = static_cast<int>(res.ptr - digits);
    const int zeros = std::max(0, zeroWidth - len);
    const int spaces = std::max(0, width - len - zeros);
    if (n_ + static_cast<std::size_t>(spaces + zeros + len) > Room) return *this;
    char* p = buf_ + n_;
    // Fixed-size copies where they fit, then the pointer moves by what counts;
    // the buffer's slack takes the overshoot.
    if (spaces <= 16 && zeros <= 16) {
        std::memcpy(p, "                ", 16);
        p += spaces;
        std::memcpy(p, "0000000000000000", 16);
        p += zeros;
    } else {
        std::memset(p, ' ', static_cast<std::size_t>(spaces));
        p += spaces;
        std::memset(p, '0', static_cast<std::size_t>(zeros));
        p += zeros;
    }
    std::memcpy(p, digits, 16);  // at most 11 digits; the slack takes the rest
    if (len > 16) std::memcpy(p, digits, static_cast<std::size_t>(len));
    n_ = static_cast<std::size_t>(p + len - buf_);
    return *this;
}

namespace {

// The two hex digits of b.
struct HexPair {
    char digits[2];
    explicit HexPair(std::uint8_t b) {
        static constexpr char hex[] = "0123456789ABCDEF";
        digits[0] = hex[b >> 4];
        digits[1] = hex[b & 0x0F];
    }
    std::string_view view() const { return {digits, 2}; }
};

}  // namespace

EventColumns& EventColumns::codeHex(std::uint8_t c) {
    const HexPair hex(c);
    if (record_) {
        out_.record.stateCode = c;
        out_.record.stateHex.assign(hex.view());
    }
    put(hex.view());
    return *this;
}

EventColumns& EventColumns::qualifierHex(std::uint8_t q) {
    if (record_) out_.record.qualifier = q;
    put(HexPair(q).view());
    return *this;
}

EventColumns& EventColumns::codeText(std::string_view shown) {
    if (record_) out_.record.stateHex.assign(shown);
    put(shown);
    return *this;
}

EventColumns& EventColumns::state(std::string_view shown, std::size_t width) {
    const std::size_t first = record_ ? shown.find_first_not_of(' ') : std::string_view::npos;
    if (first != std::string_view::npos) {
        out_.record.stateText.assign(shown.substr(first, shown.find_last_not_of(' ') - first + 1));
    }
    put(shown);
    if (shown.size() < width) {
        static constexpr char spaces[] = "                                ";
        put(std::string_view(spaces, std::min(width - shown.size(), sizeof spaces - 1)));
    }
    return *this;
}

void EventColumns::finish() {
    out_.eventLine.assign(buf_, n_);
    if (!record_) return;
    out_.record.line.assign(buf_, n_);
    out_.hasRecord = true;
}

void writeStateEvent(DecoderOutput& out, Protocol p, const DecoderState& st, std::string_view shown) {
    EventColumns(out, p, st).state(shown).finish();
}

void recordPrinterLine(DecoderOutput& out, Protocol p, const std::uint8_t* bytes, int n, int textFrom) {
    if (!out.recordWanted) return;
    // A line of nothing but its line end (CR LF, LF) prints nothing: no event.
    bool empty = std::max(textFrom, 0) < n;
    for (int i = std::max(textFrom, 0); i < n && empty; ++i) empty = bytes[i] == '\r' || bytes[i] == '\n';
    if (empty) return;
    EventRecord& r = out.record;
    r.reset(p);
    r.raw.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(std::max(n, 0)));
    // Written in place, then cut to what was kept.
    r.printerText.resize(static_cast<std::size_t>(std::max(n - textFrom, 0)));
    char* text = r.printerText.data();
    std::size_t kept = 0;
    for (int i = std::max(textFrom, 0); i < n; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] != 0x7F) text[kept++] = static_cast<char>(bytes[i]);
    }
    while (kept > 0 && text[kept - 1] == ' ') --kept;
    r.printerText.resize(kept);
    out.hasRecord = true;
}

void FaultMemory::reportChanges(DecoderOutput& out, Protocol p, const DecoderState& st) {
    const char* text = nullptr;
    if (disablement != reportedDisablement) {
        text = disablement ? " Abschaltung" : " keine Abschaltung ";
        reportedDisablement = disablement;
    }
    if (fault != reportedFault) {
        text = fault ? " Stoerung " : " keine Stoerung ";
        reportedFault = fault;
    }
    if (text != nullptr) writeStateEvent(out, p, st, text);
}

}  // namespace zindra::decoders
