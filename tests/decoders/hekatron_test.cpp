#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

// Type letter at 3, command code at 6-7, message code at 18-21, the numbers
// at 22-25 and 26-29, then ETX and a closing byte.
std::string telegram(char type, const char* command, const char* code, const char* first,
                     const char* second) {
    return std::string("\x02") + "12" + type + "45" + command + "89abcdefgh" + code + first + second +
           "\x03" + "K";
}

class HekatronTest : public ::testing::Test {
protected:
    std::unique_ptr<Decoder> decoder = makeHekatronDecoder();
    DecoderState state;
    std::vector<DecoderOutput> run(const std::string& in) { return shown(feed(*decoder, state, in)); }
    std::string event(const std::string& in) {
        const auto out = run(in);
        return out.size() == 1 ? out[0].eventLine : "(" + std::to_string(out.size()) + " outputs)";
    }
};

TEST_F(HekatronTest, Rendering) {
    auto out = run(bytes({0x41, 0x06, 0x02, 0x41, 0x03, 0x02, 0x02, 0x02, 0xEB, 0x41, 0x03, 0x5A}));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].textLine, "A");
    EXPECT_EQ(out[0].hexLine, " 41");
    EXPECT_EQ(out[1].textLine, "<ACK> ");
    EXPECT_EQ(out[1].hexLine, " 06");
    EXPECT_EQ(out[2].textLine, "<STX> A<ETX> 02 ");
    EXPECT_EQ(out[2].hexLine, " 02 41 03 02");
    // An STX inside a telegram keeps its name; a remapped ETX does not end it.
    EXPECT_EQ(out[3].textLine, "<STX> <STX> .<ETX> A<ETX> Z");
    EXPECT_EQ(out[3].hexLine, " 02 02 .03 41 03 5A");
}

TEST_F(HekatronTest, EventLines) {
    EXPECT_EQ(event(telegram('M', "00", "0021", "012C", "0000")),
              "   300       00    St\xF6rung               M  0021");
    EXPECT_EQ(event(telegram('M', "00", "0060", "0003", "00FF")),
              "   003      255    Alarm                 M  0060");
    EXPECT_EQ(event(telegram('O', "19", "0021", "0003", "00FF")),
              "   000       00    neue Kennung setzen   O  19");
    EXPECT_EQ(event(telegram('L', "19", "0021", "0003", "00FF")),
              "   000       00    Satatus vom FAT       L  ");
    EXPECT_EQ(event(telegram('O', "1A", "0000", "0000", "0000")),
              "   000       00    BMZ fordert Satus     O  1A");
    EXPECT_EQ(event(telegram('O', "1a", "0000", "0000", "0000")),
              "   000       00    unbekannt             O  1a");
    EXPECT_EQ(event(telegram('M', "00", "014D", "0001", "0002")),
              "   001       02    St\xF6r Ruhe             M  014D");
    EXPECT_EQ(event(telegram('M', "00", "0162", "0001", "0002")),
              "   001       02    Ruhe                  M  0162");
    // Only upper-case hex digits count; the code text is shown as received.
    EXPECT_EQ(event(telegram('M', "00", "00aa", "0001", "0002")),
              "   001       00    unbekannt             M  00aa");
    EXPECT_EQ(event(telegram('M', "00", "0060", "00ff", "00fF")),
              "   000       15    Alarm                 M  0060");
    // The second number is read only from message code 0x60 on.
    EXPECT_EQ(event(telegram('M', "00", "005F", "0010", "00FF")),
              "   016       00    unbekannt             M  005F");
    EXPECT_EQ(event(telegram('M', "00", "0060", "0010", "1234")),
              "   016       52    Alarm                 M  0060");
    // A short telegram reads the older bytes beyond its end.
    EXPECT_EQ(event(std::string("\x02") + "12X\x03" + "K"),
              "   016       52    Alarm                 X  0060");
}

TEST_F(HekatronTest, TelegramWithoutEtxClosesWhenBufferIsFull) {
    const auto out = run("\x02" + std::string(300, 'A'));
    ASSERT_EQ(out.size(), 1u + 45u);
    EXPECT_EQ(out[0].textLine, "<STX> " + std::string(255, 'A'));
    EXPECT_EQ(out[0].eventLine, " 43690      170    unbekannt             A  AAAA");
}

TEST_F(HekatronTest, InheritedFrames) {
    // Nothing stored yet (as FILNET leaves a frame): no look before the buffer.
    state.inFrame = true;
    state.frameLength = 0;
    auto out = run(bytes({0x03, 0x78}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, " 03 78");
    EXPECT_EQ(out[0].eventLine, "");

    state.inFrame = true;
    state.frameBuffer[0] = 'Z';
    state.frameLength = 1;
    EXPECT_EQ(event(telegram('M', "00", "0021", "0001", "0000")),
              "   001       00    St\xF6rung               M  0021");
    state.inFrame = true;
    state.frameLength = 1;
    EXPECT_EQ(event("Q\x02"
                    "ABC\x03"
                    "K"),
              "Problem bei der Auswertung");
}

}  // namespace
}  // namespace zindra::decoders
