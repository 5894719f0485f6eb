#include "app/text_pane.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

namespace zindra::app {
namespace {

using Lines = std::vector<std::string>;

class TextBoxPaneTest : public ::testing::Test {
protected:
    QPlainTextEdit box;
    TextBoxPane pane{box};
};

TEST_F(TextBoxPaneTest, AnEmptyLineIsALineAndAnEmptyPaneHasNone) {
    EXPECT_EQ(pane.lineCount(), 0u);
    pane.addLine("");
    EXPECT_EQ(pane.lines(), Lines{""});
    pane.appendToLastLine("A");
    pane.addLine("");
    pane.addLine("x");
    EXPECT_EQ(pane.lines(), (Lines{"A", "", "x"}));
    EXPECT_EQ(box.toPlainText(), QStringLiteral("A\n\nx"));
    pane.clear();
    pane.appendToLastLine(" 41");  // in an empty pane: the first line
    EXPECT_EQ(pane.lines(), Lines{" 41"});
}

TEST_F(TextBoxPaneTest, ReceivedBytesStayInTheirLineAndComeBackUnchanged) {
    const std::string chunk("UGM\r\n\x02\x80\x9F\xF6\x00", 10);
    pane.addLine("first");
    pane.addLine(chunk);
    pane.appendToLastLine("\n");
    EXPECT_EQ(pane.lines(), (Lines{"first", chunk + "\n"}));
    EXPECT_EQ(box.document()->findBlockByNumber(1).text(),
              QString::fromUtf16(u"UGM\u240D\u240A\u2402\u20AC\u0178\u00F6\u2400\u240A"));
}

TEST_F(TextBoxPaneTest, RemovesLinesFromTheTop) {
    for (const char* l : {"a", "", "c"}) pane.addLine(l);
    pane.removeFirstLines(1);
    EXPECT_EQ(pane.lines(), (Lines{"", "c"}));
    pane.appendToLastLine("");
    pane.removeFirstLines(1);
    EXPECT_EQ(pane.lines(), Lines{"c"});
    pane.removeFirstLines(5);
    EXPECT_EQ(pane.lineCount(), 0u);
    pane.addLine("");
    pane.addLine("");
    pane.removeFirstLines(1);  // one empty line is left
    EXPECT_EQ(pane.lines(), Lines{""});
}

TEST_F(TextBoxPaneTest, ChangesAndTypingSetTheBoxModificationFlagAndClearResetsIt) {
    EXPECT_FALSE(box.document()->isModified());
    pane.addLine(" 41");
    EXPECT_TRUE(box.document()->isModified());
    pane.clear();
    EXPECT_FALSE(box.document()->isModified());
    pane.appendToLastLine(" 42");
    pane.setModified(false);
    pane.removeFirstLines(1);
    EXPECT_TRUE(pane.modified());

    pane.clear();
    QTest::keyClicks(&box, QString::fromUtf16(u"\u00D6l"));
    EXPECT_TRUE(pane.modified());
    EXPECT_EQ(pane.lines(), Lines{"\xD6l"});
    EXPECT_FALSE(box.document()->isUndoAvailable());  // no history grows
}

}  // namespace
}  // namespace zindra::app
