// Test helpers: feed bytes to a decoder and collect what each call returns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/state.h"

namespace zindra::testing {

struct Call {
    decoders::DecoderOutput out;
    bool moreData = false;
};

// Appends bytes to the ring (in pieces of at most 80) and calls the decoder
// until it reports the ring empty.  The five strings start empty once and are
// not emptied between calls, as the dispatcher does.
inline std::vector<Call> feed(decoders::Decoder& decoder, decoders::DecoderState& state,
                              std::string_view bytes) {
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(80, bytes.size() - pos);
        decoders::appendToRing(state, reinterpret_cast<const std::uint8_t*>(bytes.data() + pos),
                               static_cast<std::uint16_t>(n));
        pos += n;
    } while (pos < bytes.size());
    std::vector<Call> calls;
    decoders::DecoderOutput out;
    do {
        decoder.decode(state, out);
        calls.push_back({out, state.moreData});
    } while (state.moreData);
    return calls;
}

// Only the calls that the dispatcher would show (HexLine or HexHeader set).
inline std::vector<decoders::DecoderOutput> shown(const std::vector<Call>& calls) {
    std::vector<decoders::DecoderOutput> v;
    for (const Call& c : calls) {
        if (!c.out.hexLine.empty() || !c.out.hexHeader.empty()) v.push_back(c.out);
    }
    return v;
}

// Byte string from a list of byte values.
inline std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

}  // namespace zindra::testing
