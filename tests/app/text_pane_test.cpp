#include "app/text_pane.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <random>

#include "app/cp1252.h"
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
    EXPECT_EQ(pane.lines(), Lines{""});
    pane.appendToLastLine("A");
    pane.addLine("");
    pane.addLine("x");
    EXPECT_EQ(pane.lines(), (Lines{"A", "", "x"}));
    pane.flush();
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
    pane.flush();
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

// What the box shows, back as bytes, line by line.
Lines shown(const QPlainTextEdit& box) {
    Lines v;
    if (box.document()->isEmpty()) return v;
    for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next()) v.push_back(toCp1252(b.text()));
    return v;
}

// Lines of memory, grown, cut and extended in any order, with the box brought
// up to date between any two of them: the box shows exactly the lines, and a
// flush costs what changed, not the whole pane.
TEST_F(TextBoxPaneTest, TheBoxShowsExactlyTheLinesWhateverChangedBetweenTwoUpdates) {
    std::mt19937 random(18);
    trace::MemoryPane model;
    const std::string pieces[] = {"", " 41", "\xF6\x80", std::string("\x00\r\n", 3), "event 7", " hex"};
    for (int step = 0; step < 4000; ++step) {
        const std::string& piece = pieces[random() % std::size(pieces)];
        switch (random() % 8) {
            case 0:
            case 1:
            case 2: pane.addLine(piece), model.addLine(piece); break;
            case 3:
            case 4: pane.appendToLastLine(piece), model.appendToLastLine(piece); break;
            case 5: {
                const std::size_t n = random() % 4;
                pane.removeFirstLines(n), model.removeFirstLines(n);
                break;
            }
            case 6:
                if (random() % 50 == 0) pane.clear(), model.clear();
                break;
            default: pane.flush();
        }
        ASSERT_EQ(pane.lineCount(), model.lineCount()) << step;
        // An empty box shows no lines or one empty one alike.
        if (random() % 4 == 0 && !(model.lineCount() == 1 && model.lines()[0].empty())) {
            pane.flush();
            ASSERT_EQ(shown(box), Lines(model.lines().begin(), model.lines().end())) << step;
        }
    }
    EXPECT_EQ(pane.lines(), Lines(model.lines().begin(), model.lines().end()));
}

TEST_F(TextBoxPaneTest, UpdatesTheBoxByItselfAtMostEveryFlushInterval) {
    pane.addLine("first");
    EXPECT_TRUE(box.toPlainText().isEmpty());  // not yet
    ASSERT_TRUE(testing::waitUntil([&] { return box.toPlainText() == QStringLiteral("first"); }, 1000));
    QElapsedTimer t;
    t.start();
    pane.addLine("second");  // right after an update: waits for the interval
    ASSERT_TRUE(testing::waitUntil([&] { return box.document()->blockCount() == 2; }, 1000));
    EXPECT_GE(t.elapsed(), TextBoxPane::FlushInterval - 5);
}

// Typing while lines wait for the box: the note stays where it was typed and
// the waiting lines follow it; nothing is lost either way.
TEST_F(TextBoxPaneTest, WhatTheUserTypesBetweenUpdatesIsKeptWithTheWaitingLines) {
    pane.addLine("a");
    pane.addLine(" 41");
    pane.flush();
    pane.appendToLastLine(" 42");  // waiting
    pane.addLine("c");             // waiting
    box.moveCursor(QTextCursor::End);
    QTest::keyClicks(&box, QString::fromUtf16(u" \u00D6l"));
    EXPECT_EQ(pane.lines(), (Lines{"a", " 41 \xD6l 42", "c"}));
    pane.removeFirstLines(1);
    pane.flush();
    EXPECT_EQ(shown(box), (Lines{" 41 \xD6l 42", "c"}));
    EXPECT_TRUE(pane.modified());
}

}  // namespace
}  // namespace zindra::app
