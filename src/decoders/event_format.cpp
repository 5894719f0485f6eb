#include "decoders/event_format.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace zindra::decoders {

EventColumns::EventColumns(DecoderOutput& out, Protocol p, const DecoderState& st) : out_(out) {
    out.record.reset(p);
    const auto length = static_cast<std::size_t>(std::clamp(st.frameLength, 0, FrameBufferSize));
    out.record.raw.assign(reinterpret_cast<const char*>(st.frameBuffer.data()), length);
}

void EventColumns::put(std::string_view s) {
    const std::size_t n = std::min(s.size(), Room - n_);
    std::memcpy(buf_ + n_, s.data(), n);
    n_ += n;
}

EventColumns& EventColumns::number(Number which, std::int64_t value, int zeroWidth, int width) {
    switch (which) {
        case Number::Lead: out_.record.leadNumber = value; break;
        case Number::A: out_.record.numberA = value; break;
        case Number::B: out_.record.numberB = value; break;
        case Number::Code: out_.record.stateCode = static_cast<std::int32_t>(value); break;
    }
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
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
    std::memcpy(p, digits, static_cast<std::size_t>(len));
    n_ = static_cast<std::size_t>(p + len - buf_);
    return *this;
}

EventColumns& EventColumns::codeHex(std::uint8_t c) {
    const std::size_t at = out_.record.stateHex.size();
    appendHex(out_.record.stateHex, c);
    out_.record.stateCode = c;
    put(std::string_view(out_.record.stateHex).substr(at));
    return *this;
}

EventColumns& EventColumns::qualifierHex(std::uint8_t q) {
    out_.record.qualifier = q;
    std::string two;
    appendHex(two, q);
    put(two);
    return *this;
}

EventColumns& EventColumns::codeText(std::string_view shown) {
    out_.record.stateHex.assign(shown);
    put(shown);
    return *this;
}

EventColumns& EventColumns::state(std::string_view shown, std::size_t width) {
    const std::size_t first = shown.find_first_not_of(' ');
    if (first != std::string_view::npos) {
        out_.record.stateText.assign(shown.substr(first, shown.find_last_not_of(' ') - first + 1));
    }
    put(shown);
    for (std::size_t i = shown.size(); i < width; ++i) put(" ");
    return *this;
}

EventColumns& EventColumns::literal(std::string_view s) {
    put(s);
    return *this;
}

void EventColumns::finish() {
    out_.eventLine.assign(buf_, n_);
    out_.record.line.assign(buf_, n_);
    out_.hasRecord = true;
}

void writeStateEvent(DecoderOutput& out, Protocol p, const DecoderState& st, std::string_view shown) {
    EventColumns(out, p, st).state(shown).finish();
}

void recordPrinterLine(DecoderOutput& out, Protocol p, const std::uint8_t* bytes, int n, int textFrom) {
    EventRecord& r = out.record;
    r.reset(p);
    r.raw.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(std::max(n, 0)));
    for (int i = textFrom; i < n; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] != 0x7F) r.printerText.push_back(static_cast<char>(bytes[i]));
    }
    r.printerText.erase(r.printerText.find_last_not_of(' ') + 1);
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
