#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

struct Sdn : ::testing::Test {
    std::unique_ptr<Decoder> dec = makeSdnDecoder();
    DecoderState st;
    std::vector<DecoderOutput> run(std::string_view b) { return testing::shown(testing::feed(*dec, st, b)); }
    // STX, "0", thousands (2), state pair (3-4), "0", units (6), B (7-8),
    // "00", hundreds (11), tens (12), "00".
    std::string event(char th, const char* pair, char un, const char* b, char hu, char te) {
        const std::string t = std::string(
                                  "\x02"
                                  "0") +
                              th + pair + "0" + un + b + "00" + hu + te + "00";
        const auto s = run(t);
        return s.size() == 1 ? s[0].eventLine : "<" + std::to_string(s.size()) + " shown>";
    }
};

TEST_F(Sdn, StateWordsAndNumbers) {
    EXPECT_EQ(event('1', ":5", '4', "03", '2', '3'), "  1234       03    Alarm");
    EXPECT_EQ(event('0', ";0", '1', "12", '0', '0'), "   001       12    St\xF6rung");
    EXPECT_EQ(event('0', ">9", '0', "99", '0', '0'), "   000       99    Abschaltung");
    EXPECT_EQ(event('0', ">;", '0', "00", '0', '0'), "   000       00    Ruhe");
    // Thousands are masked, the other digits have 0x30 taken off.
    EXPECT_EQ(event(':', ":5", '0', "00", '0', '0'), " 10000       00    Alarm");
    EXPECT_EQ(event('0', ":5", '0', "00", ':', '0'), "  1000       00    Alarm");
    // A pair outside the table: shown, but no event line.
    const auto s =
        run("\x02"
            "0000000000000"
            "0");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].hexLine.size(), 45u);
    EXPECT_EQ(s[0].eventLine, "");
}

TEST_F(Sdn, NamesAckAndNakButNothingAfterEtx) {
    auto s = run("\x06\x15");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].textLine, "<ACK> ");
    EXPECT_EQ(s[1].textLine, "<NAK> ");

    s =
        run("\x02"
            "\x03\x06"
            "\x03\x15"
            "\x03\x03"
            "\x03"
            "ABCDEFG");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].textLine, "<STX> <ETX> 06 <ETX> 15 <ETX> 03 03 41 42 43 44 45 46 47 ");
}

TEST_F(Sdn, InheritedFrameWithoutStxAtPositionOne) {
    st.frameBuffer[0] = 0x41;
    st.frameBuffer[1] = 0x41;
    st.frameBuffer[2] = 0x02;
    st.frameLength = 3;
    st.inFrame = true;
    const auto s = run(std::string(12, '0'));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].eventLine, "Problem bei der Auswertung");
}

}  // namespace
}  // namespace zindra::decoders
