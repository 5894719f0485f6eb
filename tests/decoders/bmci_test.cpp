#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

class BmciTest : public ::testing::Test {
protected:
    std::unique_ptr<Decoder> decoder = makeBmciDecoder();
    DecoderState state;

    std::vector<DecoderOutput> run(const std::string& in) { return shown(feed(*decoder, state, in)); }
};

TEST_F(BmciTest, StrayBytes) {
    const auto calls = run(bytes({0x03, 0x61, 0x06, 0xEB}));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].textLine, "<ETX> ");
    EXPECT_EQ(calls[0].hexLine, " 03");
    EXPECT_EQ(calls[1].textLine, "61 ");
    EXPECT_EQ(calls[1].hexLine, " 61");
    EXPECT_EQ(calls[2].textLine, "<ACK> ");
    EXPECT_EQ(calls[3].textLine, ".<ETX> ");
    EXPECT_EQ(calls[3].hexLine, " .03");
    for (const auto& c : calls) EXPECT_EQ(c.eventLine, "");
}

TEST_F(BmciTest, TelegramRenderingAndEvent) {
    const auto calls = run("AZB0012050000000\x03X");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].textLine, "AZB0012050000000<ETX> X");
    EXPECT_EQ(calls[0].hexLine, " 41 5A 42 30 30 31 32 30 35 30 30 30 30 30 30 30 03 58");
    EXPECT_EQ(calls[0].eventLine, "   012       05    Alarm");
}

// Control bytes are named only at positions 0, 1 and above 15, and never
// right after an ETX.
TEST_F(BmciTest, ControlBytesInDataAreShownAsHex) {
    auto calls = run("AZ\x15" "00\x02" "0000000000\xEB\x02");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].textLine, "AZ 15 00 02 0000000000.<ETX> 02 ");
    EXPECT_EQ(calls[0].hexLine, " 41 5A 15 30 30 02 30 30 30 30 30 30 30 30 30 30 .03 02");
}

TEST_F(BmciTest, StartLetterInsideTelegramIsData) {
    const auto calls = run("FMBA12345AAAAAAA\x03" "AZ");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].textLine, "FMBA12345AAAAAAA<ETX> A");
    EXPECT_EQ(calls[0].eventLine, "   123       45    St\xF6rung");
    EXPECT_TRUE(state.inFrame);  // the trailing "Z" opened the next telegram
    EXPECT_EQ(state.frameLength, 1);
}

TEST_F(BmciTest, MessageCodesAndStates) {
    struct Case {
        const char* code;
        const char* text;
    };
    const Case cases[] = {{"AFB", "Alarm"},          {"ACB", "Alarm"},         {"APB", "Alarm"},
                          {"AZE", "Ruhe"},           {"FZB", "St\xF6rung"},    {"FEB", "St\xF6rung"},
                          {"FZE", "St\xF6r Ruhe"},   {"FEE", "St\xF6r Ruhe"},  {"FME", "St\xF6r Ruhe"},
                          {"ZON", "Linie ein"},      {"ZOF", "Linie aus"},     {"AZX", ""},
                          {"Fzb", ""}};
    for (const Case& c : cases) {
        const auto calls = run(std::string(c.code) + "0123450000000\x03X");
        ASSERT_EQ(calls.size(), 1u) << c.code;
        EXPECT_EQ(calls[0].eventLine, std::string("   123       45    ") + c.text) << c.code;
    }
}

// A digit counts by its low nibble; reading stops at the first one above 9.
TEST_F(BmciTest, DigitsAreReadUpToTheFirstNonDigit) {
    EXPECT_EQ(run("AZB01:5\x31\x32" "0000000\x03X")[0].eventLine, "   001       12    Alarm");
    EXPECT_EQ(run("AZB0:55\x3A\x31" "0000000\x03X")[0].eventLine, "   000       00    Alarm");
    // "q" (0x71), "r" (0x72) and "i" (0x69) count as 1, 2 and 9.
    EXPECT_EQ(run("AZB0qri\x72\x71" "0000000\x03X")[0].eventLine, "   129       21    Alarm");
}

// A stray "Z" opens a frame one byte early; the ETX then stands at position 17
// and the fields are read one byte further on.
TEST_F(BmciTest, EtxAtSeventeenShiftsTheFields) {
    const auto calls = run("ZLOF0007030000000\x03Y");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].textLine, "ZLOF0007030000000<ETX> ");
    EXPECT_EQ(calls[0].eventLine, "   007       03    Linie aus");
    EXPECT_EQ(calls[1].hexLine, " 59");  // the closing byte is left over
    EXPECT_EQ(calls[1].eventLine, "");
}

TEST_F(BmciTest, EtxFurtherOnGivesProblemOrNothing) {
    // ETX only at position 20 (beyond the k = 1..3 search of an 18-byte frame).
    std::string t = "AZB001205000000000";
    state.frameBuffer[20] = 0x03;
    for (int p = 16; p < 37; ++p) {
        if (p != 20) state.frameBuffer[static_cast<std::size_t>(p)] = 0x30;
    }
    auto calls = run(t);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].eventLine, "Problem bei der Auswertung");

    state.frameBuffer[20] = 0x30;
    calls = run(t);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].eventLine, "");
}

// A frame taken over from another decoder that is already longer than a
// telegram closes with its next byte; the ETX search stays inside the buffer.
TEST_F(BmciTest, LongInheritedFrameClosesAtOnceWithoutOverrun) {
    state.frameBuffer.fill(0x30);
    state.frameBuffer[36] = 0x03;
    state.inFrame = true;
    state.frameLength = 255;
    const auto calls = run("Q");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hexLine.size(), 256u * 3);
    EXPECT_EQ(calls[0].eventLine, "   000       00    ");  // shifted by 20
    EXPECT_FALSE(state.inFrame);
}

}  // namespace
}  // namespace zindra::decoders
