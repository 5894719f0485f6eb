#include "app/text_pane.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

#include "gui_support.h"

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
    EXPECT_EQ(pane.lineCount(), 1u);
    EXPECT_EQ(pane.lines(), Lines{""});
    pane.addLine("");
    pane.addLine("x");
    EXPECT_EQ(pane.lines(), (Lines{"", "", "x"}));
    EXPECT_EQ(box.toPlainText(), QStringLiteral("\n\nx"));
}

TEST_F(TextBoxPaneTest, AppendingToAnEmptyPaneMakesTheFirstLine) {
    pane.appendToLastLine(" 41");
    pane.appendToLastLine(" 42");
    EXPECT_EQ(pane.lines(), Lines{" 41 42"});

    pane.clear();
    pane.addLine("");
    pane.appendToLastLine("A");
    EXPECT_EQ(pane.lines(), Lines{"A"});
}

TEST_F(TextBoxPaneTest, ReceivedBytesStayInTheirLineAndComeBackUnchanged) {
    const std::string chunk("UGM\r\n\x02\x80\x9F\xF6\x00", 10);
    pane.addLine("first");
    pane.addLine(chunk);
    pane.appendToLastLine("\n");
    EXPECT_EQ(pane.lineCount(), 2u);
    EXPECT_EQ(pane.line(1), chunk + "\n");
    EXPECT_EQ(box.document()->findBlockByNumber(1).text(),
              QString::fromUtf16(u"UGM\u240D\u240A\u2402\u20AC\u0178\u00F6\u2400\u240A"));
}

TEST_F(TextBoxPaneTest, RemovesLinesFromTheTop) {
    for (const char* l : {"a", "b", "c", "d"}) pane.addLine(l);
    pane.removeFirstLines(1);
    EXPECT_EQ(pane.lines(), (Lines{"b", "c", "d"}));
    pane.removeFirstLines(2);
    EXPECT_EQ(pane.lines(), Lines{"d"});
    pane.removeFirstLines(5);
    EXPECT_EQ(pane.lineCount(), 0u);
    pane.addLine("e");
    EXPECT_EQ(pane.lines(), Lines{"e"});
}

TEST_F(TextBoxPaneTest, ChangesSetTheBoxModificationFlagAndClearResetsIt) {
    EXPECT_FALSE(box.document()->isModified());
    pane.addLine(" 41");
    EXPECT_TRUE(box.document()->isModified());
    pane.clear();
    EXPECT_FALSE(box.document()->isModified());
    EXPECT_EQ(pane.lineCount(), 0u);

    pane.appendToLastLine(" 42");
    EXPECT_TRUE(pane.modified());
    pane.setModified(false);
    pane.removeFirstLines(1);
    EXPECT_TRUE(pane.modified());

    // Typing counts as a change too, and what was typed is read back as bytes.
    pane.clear();
    QTest::keyClicks(&box, QString::fromUtf16(u"\u00D6l"));
    EXPECT_TRUE(pane.modified());
    EXPECT_EQ(pane.lines(), Lines{"\xD6l"});
}

TEST_F(TextBoxPaneTest, KeepsNoUndoHistory) {
    pane.addLine("a");
    pane.clear();
    pane.addLine("b");
    EXPECT_FALSE(box.isUndoRedoEnabled());
    EXPECT_FALSE(box.document()->isUndoAvailable());
}

}  // namespace
}  // namespace zindra::app
