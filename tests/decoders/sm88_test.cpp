#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;

std::vector<DecoderOutput> run(const std::string& data, DecoderState st = {}) {
    auto dec = makeSm88Decoder();
    return testing::shown(testing::feed(*dec, st, data));
}

// 17 bytes (L = 0x0E): type at 3, state bytes at 7 and 15, A at 9-13, B at 14.
std::string telegram(int type, int state7, int state15, std::initializer_list<int> a, int b) {
    std::string t = bytes({0x02, 0x0E, 0, type, 0, 0, 0, state7, 0, 0, 0, 0, 0, 0, b, state15, 0x5A});
    std::size_t pos = 9;
    for (int v : a) t[pos++] = static_cast<char>(v);
    return t;
}

TEST(Sm88, TelegramsAndStrayBytesInHexOnly) {
    const auto out =
        run(telegram(0x11, 0, 1, {0, 0, 0x01, 0x23, 0x45}, 7) + "A" + bytes({2, 1, 0xEB, 3, 2, 0, 7}));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].hexLine, " 02 0E 00 11 00 00 00 00 00 00 00 01 23 45 07 01 5A");
    EXPECT_EQ(out[0].eventLine, " 12345       07    Alarm");
    EXPECT_EQ(out[1].hexLine, " 41");
    EXPECT_EQ(out[1].eventLine, "");
    EXPECT_EQ(out[2].hexLine, " 02 01 .03 03");  // a remapped ETX does not end it
    EXPECT_EQ(out[3].hexLine, " 02 00 07");      // length byte 0: three bytes
    for (const auto& o : out) EXPECT_EQ(o.textLine, "");
}

TEST(Sm88, EventLines) {
    const std::pair<std::string, std::string> cases[] = {
        {telegram(0x11, 0, 0x00, {0, 0, 0, 0, 0x05}, 0x12), "   005       12    Ruhe"},
        {telegram(0x11, 0, 0x08, {0, 0, 0, 0, 0x05}, 0x12), "   005       12    St\xF6rung"},
        {telegram(0x13, 1, 0x00, {0, 0, 0, 0, 0x05}, 0x12), "   005       12    Linie aus"},
        {telegram(0x13, 4, 0x00, {0, 0, 0, 0, 0x05}, 0x12), "   005       12    Linie ein"},
        {telegram(0x11, 0, 0x02, {0, 0, 0, 0, 0x05}, 0x12), ""},
        {telegram(0x11, 0, 1, {0x00, 0x00, 0x12, 0x34, 0x56}, 0x99), "123456       99    Alarm"},
        // Every nibble counts with its value: 0xFF is 165.
        {telegram(0x11, 0, 1, {0, 0, 0, 0, 0xFF}, 0xFF), "   165      165    Alarm"},
        // 2147483648 and 9999999999 wrap in 32 bits.
        {telegram(0x11, 0, 1, {0x21, 0x47, 0x48, 0x36, 0x48}, 1), "-2147483648       01    Alarm"},
        {telegram(0x11, 0, 1, {0x99, 0x99, 0x99, 0x99, 0x99}, 1), "1410065407       01    Alarm"},
    };
    for (const auto& [frame, event] : cases) {
        const auto out = run(frame);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].eventLine, event);
    }
}

TEST(Sm88, OverlongLengthClosesAtAFullBuffer) {
    std::string t(300, '\x11');
    t[0] = '\x02';
    t[1] = '\xFF';  // announces 258 bytes
    const auto out = run(t);
    ASSERT_EQ(out.size(), 1u + 44u);  // 256 bytes, then stray bytes
    EXPECT_EQ(out[0].hexLine.size(), 256u * 3u);
    EXPECT_EQ(out[1].hexLine, " 11");
}

TEST(Sm88, TakenOverFrameWithStxTooFarIn) {
    DecoderState st;
    st.inFrame = true;
    st.frameBuffer.fill(0x41);
    st.frameBuffer[1] = 0x05;
    st.frameBuffer[10] = 0x02;  // beyond the searched positions
    st.frameLength = 2;
    const auto out = run(std::string(6, 'A'), st);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].eventLine, "Problem bei der Auswertung");
}

}  // namespace
}  // namespace zindra::decoders
