#include "app/cp1252.h"

#include <gtest/gtest.h>

namespace zindra::app {
namespace {

TEST(Cp1252, DrawsTheWindowsCharactersOfTheHighHalf) {
    const QString s = fromCp1252("\x80\x8A\x96\x9F\xA0\xC4\xD6\xDC\xDF\xE4\xF6\xFC");
    const char16_t expected[] = {0x20AC, 0x0160, 0x2013, 0x0178, 0x00A0, 0x00C4,
                                 0x00D6, 0x00DC, 0x00DF, 0x00E4, 0x00F6, 0x00FC};
    ASSERT_EQ(s.size(), 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(s.at(i).unicode(), expected[i]) << i;
}

TEST(Cp1252, ControlBytesAsPicturesOnlyWhenAsked) {
    const std::string bytes("\x00\x02\r\n\x1F\x7F" "A", 7);
    const QString kept = fromCp1252(bytes);
    EXPECT_EQ(kept.at(2), QChar(u'\r'));
    EXPECT_EQ(kept.at(3), QChar(u'\n'));

    const QString pictures = fromCp1252(bytes, Controls::Pictures);
    EXPECT_EQ(pictures, QString::fromUtf16(u"\u2400\u2402\u240D\u240A\u241F\u2421A"));
}

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(toCp1252(fromCp1252(all, Controls::Pictures)), all);
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(toCp1252(QString::fromUtf16(u"a\u0100\u4E2D\u00F6\u20AC")), "a??\xF6\x80");
}

}  // namespace
}  // namespace zindra::app
