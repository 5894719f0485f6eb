#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

// STX, the type letter at 3, the command code at 6-7, the message code at
// 18-21 and the two numbers at 22-25 and 26-29, ETX and a closing byte.
std::string telegram(char type, const char* command, const char* code, const char* first,
                     const char* second) {
    return std::string("\x02") + "12" + type + "45" + command + "89abcdefgh" + code + first + second + "\x03" + "K";
}

class HekatronTest : public ::testing::Test {
protected:
    std::unique_ptr<Decoder> decoder = makeHekatronDecoder();
    DecoderState state;

    std::vector<DecoderOutput> run(const std::string& in) { return shown(feed(*decoder, state, in)); }
    std::string event(const std::string& in) {
        const auto calls = run(in);
        return calls.size() == 1 ? calls[0].eventLine : "<" + std::to_string(calls.size()) + " calls>";
    }
};

TEST_F(HekatronTest, StrayBytes) {
    const auto calls = run(bytes({0x41, 0x06, 0x15, 0x61}));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].textLine, "A");
    EXPECT_EQ(calls[0].hexLine, " 41");
    EXPECT_EQ(calls[1].textLine, "<ACK> ");
    EXPECT_EQ(calls[1].hexLine, " 06");
    EXPECT_EQ(calls[2].textLine, "<NAK> ");
    EXPECT_EQ(calls[3].textLine, "61 ");
}

TEST_F(HekatronTest, TelegramEndsWithTheByteAfterEtx) {
    auto calls = run(bytes({0x02, 0x41, 0x03, 0x02}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].textLine, "<STX> A<ETX> 02 ");
    EXPECT_EQ(calls[0].hexLine, " 02 41 03 02");
    EXPECT_FALSE(state.inFrame);

    // An STX inside a telegram is data and keeps its name; a remapped ETX
    // does not end the telegram.
    calls = run(bytes({0x02, 0x02, 0xEB, 0x41, 0x03, 0x5A}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].textLine, "<STX> <STX> .<ETX> A<ETX> Z");
    EXPECT_EQ(calls[0].hexLine, " 02 02 .03 41 03 5A");
}

TEST_F(HekatronTest, EventLineExamples) {
    EXPECT_EQ(event(telegram('M', "00", "0021", "012C", "0000")),
              "   300       00    St\xF6rung               M  0021");
    EXPECT_EQ(event(telegram('M', "00", "0060", "0003", "00FF")),
              "   003      255    Alarm                 M  0060");
    EXPECT_EQ(event(telegram('O', "19", "0021", "0003", "00FF")),
              "   000       00    neue Kennung setzen   O  19");
    // The code text of the telegram before does not carry over.
    EXPECT_EQ(event(telegram('L', "19", "0021", "0003", "00FF")),
              "   000       00    Satatus vom FAT       L  ");
}

TEST_F(HekatronTest, CommandCodes) {
    EXPECT_EQ(event(telegram('O', "1A", "0000", "0000", "0000")),
              "   000       00    BMZ fordert Satus     O  1A");
    EXPECT_EQ(event(telegram('O', "37", "0000", "0000", "0000")),
              "   000       00    Linie ein             O  37");
    EXPECT_EQ(event(telegram('O', "38", "0000", "0000", "0000")),
              "   000       00    Linie aus             O  38");
    EXPECT_EQ(event(telegram('O', "1a", "0000", "0000", "0000")),
              "   000       00    unbekannt             O  1a");
}

TEST_F(HekatronTest, MessageCodes) {
    struct Case {
        const char* code;
        const char* line;
    };
    const Case cases[] = {
        {"0020", "   001       00    Alarm                 M  0020"},
        {"0065", "   001       02    Alarm                 M  0065"},
        {"0086", "   001       02    St\xF6rung               M  0086"},
        {"01C1", "   001       02    St\xF6rung               M  01C1"},
        {"0160", "   001       02    Ruhe                  M  0160"},
        {"0162", "   001       02    Ruhe                  M  0162"},
        {"0085", "   001       02    St\xF6r Ruhe             M  0085"},
        {"014D", "   001       02    St\xF6r Ruhe             M  014D"},
        {"0025", "   001       00    unbekannt             M  0025"},
        {"00aa", "   001       00    unbekannt             M  00aa"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(event(telegram('M', "00", c.code, "0001", "0002")), c.line) << c.code;
    }
}

TEST_F(HekatronTest, SecondNumberOnlyFromCode60On) {
    EXPECT_EQ(event(telegram('M', "00", "005F", "0010", "00FF")),
              "   016       00    unbekannt             M  005F");
    EXPECT_EQ(event(telegram('M', "00", "0060", "0010", "1234")),
              "   016       52    Alarm                 M  0060");
    // Lower-case digits count 0.
    EXPECT_EQ(event(telegram('M', "00", "0060", "00ff", "00fF")),
              "   000       15    Alarm                 M  0060");
}

// Fields beyond the end of a short telegram are what the buffer held before.
TEST_F(HekatronTest, ShortTelegramReadsOlderBytes) {
    run(telegram('M', "00", "0021", "012C", "0000"));
    EXPECT_EQ(event(std::string("\x02") + "12X\x03" + "K"), "   300       00    St\xF6rung               X  0021");
}

TEST_F(HekatronTest, TelegramWithoutEtxClosesWhenBufferIsFull) {
    const auto calls = run("\x02" + std::string(300, 'A'));
    ASSERT_EQ(calls.size(), 1u + 45u);
    EXPECT_EQ(calls[0].hexLine.size(), 256u * 3);
    EXPECT_EQ(calls[0].textLine, "<STX> " + std::string(255, 'A'));
    EXPECT_EQ(calls[0].eventLine, " 43690      170    unbekannt             A  AAAA");
    EXPECT_EQ(calls[1].textLine, "A");
}

// FILNET leaves a frame open with nothing stored yet.
TEST_F(HekatronTest, InheritedEmptyFrameDoesNotLookBeforeTheBuffer) {
    state.inFrame = true;
    state.frameLength = 0;
    const auto calls = run(bytes({0x03, 0x78}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hexLine, " 03 78");
    EXPECT_EQ(calls[0].eventLine, "");  // no STX in positions 0..20
}

TEST_F(HekatronTest, InheritedFrameIsAlignedOnItsStx) {
    state.inFrame = true;
    state.frameBuffer[0] = 'Z';
    state.frameLength = 1;
    EXPECT_EQ(event(telegram('M', "00", "0021", "0001", "0000")),
              "   001       00    St\xF6rung               M  0021");

    state.inFrame = true;
    state.frameBuffer[0] = 'Z';
    state.frameLength = 1;
    EXPECT_EQ(event("Q\x02" "ABC\x03" "K"), "Problem bei der Auswertung");
}

}  // namespace
}  // namespace zindra::decoders
