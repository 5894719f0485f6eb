#include "app/cp1252.h"

#include <gtest/gtest.h>

namespace zindra::app {
namespace {

TEST(Cp1252, HighHalfDrawsAsWindowsDoesAndEveryByteComesBack) {
    EXPECT_EQ(fromCp1252("\x80\x8A\x96\x9F\xA0\xD6\xDF\xF6"),
              QString::fromUtf16(u"\u20AC\u0160\u2013\u0178\u00A0\u00D6\u00DF\u00F6"));
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(toCp1252(fromCp1252(all, Controls::Pictures)), all);
    EXPECT_EQ(toCp1252(QString::fromUtf16(u"a\u0100\u4E2D\u00F6\u20AC")), "a??\xF6\x80");
}

TEST(Cp1252, ControlBytesAsPicturesOnlyWhenAsked) {
    const std::string bytes(
        "\x00\x02\r\n\x1F\x7F"
        "A",
        7);
    EXPECT_EQ(fromCp1252(bytes).mid(2, 2), QStringLiteral("\r\n"));
    EXPECT_EQ(fromCp1252(bytes, Controls::Pictures),
              QString::fromUtf16(u"\u2400\u2402\u240D\u240A\u241F\u2421A"));
}

}  // namespace
}  // namespace zindra::app
