#include "app/text_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <random>
#include <vector>

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

TEST_F(TextBoxPaneTest, ChangesSetTheBoxModificationFlagAndClearResetsIt) {
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
    pane.addLine(" 41");
    pane.flush();
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
    // When the box changes, taken as it changes (a busy machine may wake the
    // test itself later).
    QElapsedTimer t;
    t.start();
    std::vector<qint64> changes;
    QObject::connect(box.document(), &QTextDocument::contentsChanged,
                     [&] { changes.push_back(t.elapsed()); });
    pane.addLine("first");
    EXPECT_TRUE(box.toPlainText().isEmpty());  // not yet
    ASSERT_TRUE(testing::waitUntil([&] { return box.toPlainText() == QStringLiteral("first"); }, 1000));
    const std::size_t first = changes.size();
    ASSERT_GT(first, 0u);
    pane.addLine("second");  // right after an update: waits for the interval
    ASSERT_TRUE(testing::waitUntil([&] { return box.document()->blockCount() == 2; }, 1000));
    ASSERT_GT(changes.size(), first);
    EXPECT_GE(changes[first] - changes[first - 1], TextBoxPane::FlushInterval - 5);
}

// The box shows what was received: typing, pasting and deleting change
// neither the box nor the lines (nor mark them changed), while lines wait
// for the box or not; selecting and copying work.
TEST_F(TextBoxPaneTest, TypingChangesNothingWhileSelectingAndCopyingWork) {
    pane.addLine("a");
    pane.addLine(" 41");
    pane.flush();
    pane.setModified(false);
    pane.appendToLastLine(" 42");  // waiting
    pane.addLine("c");             // waiting
    box.show();
    box.setFocus();
    box.moveCursor(QTextCursor::End);
    QTest::keyClicks(&box, QString::fromUtf16(u"HALLO \u00D6l"));
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClick(&box, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Delete);
    QApplication::clipboard()->setText(QStringLiteral("eingef\u00FCgt"));
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pane.lines(), (Lines{"a", " 41 42", "c"}));
    pane.flush();
    EXPECT_EQ(shown(box), (Lines{"a", " 41 42", "c"}));
    pane.setModified(false);
    QTest::keyClicks(&box, QStringLiteral("HALLO"));
    EXPECT_FALSE(pane.modified());

    QTest::keyClick(&box, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a\n"));
}

// Control pictures are drawn dark and big enough to tell apart: the cells
// of STX and ETX are mostly ink, and differ in more than a few pixels.
TEST_F(TextBoxPaneTest, ControlPicturesFillTheirCellAndDifferFromEachOther) {
    box.setFont(paneFont(true));
    box.resize(300, 80);
    box.show();
    // Lines that come after the box is shown scroll it, as in a trace.
    for (int i = 0; i < 12; ++i) {
        pane.addLine(i < 11 ? "line " + std::to_string(i)
                            : std::string("A\x02"
                                          "B\x03"
                                          "C",
                                          5));
        pane.flush();
        testing::processPending();
    }
    ASSERT_GT(box.verticalScrollBar()->value(), 0);
    const QImage image = box.viewport()->grab().toImage();
    const auto cellOf = [&](int position) {
        QTextCursor c(box.document());
        c.setPosition(box.document()->lastBlock().position() + position);
        const QRect at = box.cursorRect(c);
        return QRect(at.left() + 1, at.top() + 2,
                     QFontMetrics(box.font()).horizontalAdvance(QChar(0x2402)) - 2, at.height() - 4);
    };
    const QRect stx = cellOf(1), etx = cellOf(3);
    ASSERT_EQ(stx.size(), etx.size());
    int inkStx = 0, inkEtx = 0, differing = 0;
    for (int y = 0; y < stx.height(); ++y) {
        for (int x = 0; x < stx.width(); ++x) {
            const int a = qGray(image.pixel(stx.topLeft() + QPoint(x, y)));
            const int b = qGray(image.pixel(etx.topLeft() + QPoint(x, y)));
            inkStx += a < 128;
            inkEtx += b < 128;
            differing += std::abs(a - b) > 100;
        }
    }
    const int area = stx.width() * stx.height();
    EXPECT_GT(inkStx * 100 / area, 40) << inkStx << " of " << area;
    EXPECT_GT(inkEtx * 100 / area, 40) << inkEtx << " of " << area;
    EXPECT_GE(differing, 8);
}

}  // namespace
}  // namespace zindra::app
