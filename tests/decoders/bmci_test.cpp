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

TEST_F(BmciTest, Rendering) {
    auto out = run(bytes({0x03, 0x61}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].textLine, "<ETX> ");
    EXPECT_EQ(out[0].hexLine, " 03");
    EXPECT_EQ(out[1].textLine, "61 ");
    EXPECT_EQ(out[1].hexLine, " 61");

    out = run("AZB0012050000000\x03X");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "AZB0012050000000<ETX> X");
    EXPECT_EQ(out[0].hexLine, " 41 5A 42 30 30 31 32 30 35 30 30 30 30 30 30 30 03 58");
    EXPECT_EQ(out[0].eventLine, "   012       05    Alarm");

    // Control bytes are named only at positions 0, 1 and above 15, never
    // after an ETX; an "A" inside a telegram is data.
    out =
        run("AZ\x15"
            "A0\x02"
            "0000000000\xEB\x02");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "AZ 15 A0 02 0000000000.<ETX> 02 ");
    EXPECT_EQ(out[0].hexLine, " 41 5A 15 41 30 02 30 30 30 30 30 30 30 30 30 30 .03 02");
}

TEST_F(BmciTest, FieldsAndStates) {
    EXPECT_EQ(run("FMB0123450000000\x03X")[0].eventLine, "   123       45    St\xF6rung");
    EXPECT_EQ(run("ZON0999990000000\x03X")[0].eventLine, "   999       99    Linie ein");
    EXPECT_EQ(run("AZX0123450000000\x03X")[0].eventLine, "   123       45    ");
    // Digits count by their low nibble, up to the first one above 9.
    EXPECT_EQ(run("AZB01:5120000000\x03X")[0].eventLine, "   001       12    Alarm");
    EXPECT_EQ(run("AZB0:55:10000000\x03X")[0].eventLine, "   000       00    Alarm");
    EXPECT_EQ(run("AZE0qrirq0000000\x03X")[0].eventLine, "   129       21    Ruhe");
}

// A stray "Z" opens a frame one byte early: the ETX at position 17 shifts the
// fields by one, which is how "L" codes are met.
TEST_F(BmciTest, AlignmentOnEtx) {
    auto out = run("ZLOF0007030000000\x03Y");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].textLine, "ZLOF0007030000000<ETX> ");
    EXPECT_EQ(out[0].eventLine, "   007       03    Linie aus");
    EXPECT_EQ(out[1].hexLine, " 59");

    // ETX only at position 20: beyond the search of an 18-byte telegram.
    state.frameBuffer.fill(0x30);
    state.frameBuffer[20] = 0x03;
    EXPECT_EQ(run("AZB001205000000000")[0].eventLine, "Problem bei der Auswertung");
    state.frameBuffer[20] = 0x30;
    EXPECT_EQ(run("AZB001205000000000")[0].eventLine, "");

    // A frame taken over from another decoder that is already longer closes
    // with its next byte; the search stays inside the buffer.
    state.frameBuffer[36] = 0x03;
    state.inFrame = true;
    state.frameLength = 255;
    out = run("Q");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine.size(), 256u * 3);
    EXPECT_EQ(out[0].eventLine, "   000       00    ");
}

}  // namespace
}  // namespace zindra::decoders
