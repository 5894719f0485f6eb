#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

std::string telegram(int kind, int first, int second, int third, int qualifier) {
    return bytes({0x8A, 0x0B, 1, 2, 3, 4, 5, kind, first, second, third, qualifier});
}

class FilnetTest : public ::testing::Test {
protected:
    std::unique_ptr<Decoder> decoder = makeFilnetDecoder();
    DecoderState state;
    std::vector<DecoderOutput> run(const std::string& in) { return shown(feed(*decoder, state, in)); }
};

TEST_F(FilnetTest, FramingAndRendering) {
    auto out = run(bytes({0x41, 0xC1, 0x8A, 0x03, 0x11}));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].hexLine, " 41");
    EXPECT_EQ(out[1].hexLine, " .41");
    EXPECT_EQ(out[2].hexLine, " .0A");
    for (const auto& o : out) EXPECT_EQ(o.textLine + o.eventLine, "");
    out = run(bytes({0x22}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, "03 11 22 ");
    EXPECT_EQ(out[0].textLine, "");
    EXPECT_FALSE(out[0].eventLine.empty());

    // The introducer inside a telegram is data; lengths 0 and 1 close with
    // the length byte.
    out = run(bytes({0x8A, 0x04, 0x8A, 0x8A, 0x41, 0x8A, 0x00, 0x8A, 0x01, 0x41}));
    ASSERT_EQ(out.size(), 7u);
    EXPECT_EQ(out[1].hexLine, "04 8A 8A 41 ");
    EXPECT_EQ(out[3].hexLine, "00 ");
    EXPECT_EQ(out[5].hexLine, "01 ");
    EXPECT_EQ(out[6].hexLine, " 41");
}

TEST_F(FilnetTest, EventLines) {
    auto out = run(telegram(0x80, 3, 12, 5, 0x01));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].hexLine, "0B 01 02 03 04 05 80 03 0C 05 01 ");
    EXPECT_EQ(out[1].eventLine, "03     012    /   05    80H    01H    Alarm");
    EXPECT_EQ(run(telegram(0x95, 123, 7, 200, 0xFF))[1].eventLine,
              "123     007    /  200    95H    FFH    St\xF6r Ruhe");
    EXPECT_EQ(run(telegram(0xB4, 0, 255, 0, 0x02))[1].eventLine,
              "00     255    /   00    B4H    02H    Linie ein");
    EXPECT_EQ(run(telegram(0x83, 1, 1, 1, 0x01))[1].eventLine, "01     001    /   01    83H    01H    ");
    EXPECT_EQ(run(telegram(0x97, 1, 1, 1, 0x01))[1].eventLine,
              "01     001    /   01    97H    01H    St\xF6rung");
    // A short telegram reads the older bytes beyond its end.
    EXPECT_EQ(run(bytes({0x8A, 0x02, 0x99}))[1].eventLine,
              "01     001    /   01    97H    01H    St\xF6rung");
}

}  // namespace
}  // namespace zindra::decoders
