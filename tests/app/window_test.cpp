// The window through its real widgets: layout, routing, Clear, menus, replay
// and the standard error display.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QRawFont>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <fstream>
#include <iterator>

#include "app/cp1252.h"
#include "gui_support.h"
#include "support/run_cli.h"
#include "trace/replay.h"
#include "trace/routing.h"

namespace zindra::app {
namespace {

using Lines = std::vector<std::string>;
using testing::bytesOf;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testing::showPastAboutBox(window)); }

    QWidget* control(const char* name) { return window.findChild<QWidget*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) {
        return window.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    void trigger(const char* action) { window.findChild<QAction*>(QString::fromLatin1(action))->trigger(); }
    void resizeOuter(int width, int height) {
        window.setOuterSize(width, height);
        testing::processPending();
    }
    void feed(const std::string& bytes) {
        window.session().feedChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    void route(std::string text, std::string hex, std::string event = {}) {
        decoders::DecoderOutput o;
        o.textLine = std::move(text);
        o.hexLine = std::move(hex);
        o.eventLine = std::move(event);
        trace::routeOutput(o, window.panes(), window.session().flags(), trace::RoutingLimits{});
    }
    QString writeTrc(const std::string& bytes) {
        const QString path = dir.filePath(QStringLiteral("Anlage.TRC"));
        std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << bytes;
        return path;
    }

    testing::RecordingDialogs dialogs;
    TraceWindow window{dialogs};
    QTemporaryDir dir;
};

TEST_F(WindowTest, StartsAt640By480WithTheLayoutForThatSize) {
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Zindra"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Trace"));
    ASSERT_EQ(window.frameGeometry().size(), QSize(640, 480));
    EXPECT_EQ(control("Memo2")->geometry(), QRect(8, 10, 615, 140));
    EXPECT_EQ(control("Memo1")->geometry(), QRect(8, 160, 615, 120));
    EXPECT_EQ(control("Memo3")->geometry(), QRect(8, 310, 410, 100));
    // The headings' row; where each heading stands, see the event pane's test.
    for (const char* label : {"Label1", "Label2", "Label3", "Label4"})
        EXPECT_EQ(control(label)->y(), 285) << label;
    EXPECT_EQ(control("Label5")->x(), 440);
    EXPECT_EQ(control("StartTrace")->geometry(), QRect(440, 360, 75, 50));
    EXPECT_EQ(control("StoppTrace")->geometry(), QRect(545, 360, 75, 50));
    EXPECT_EQ(control("Panel1")->geometry(), QRect(440, 295, 180, 60));
}

TEST_F(WindowTest, LayoutAt95PixelsAndBelowTheRule) {
    resizeOuter(640, 95);  // u = 25 / 20 = 1
    ASSERT_EQ(window.frameGeometry().size(), QSize(640, 95));
    EXPECT_EQ(control("Memo2")->geometry(), QRect(8, -14, 615, 7));
    EXPECT_EQ(control("Memo1")->geometry(), QRect(8, 3, 615, 6));
    EXPECT_EQ(control("Memo3")->geometry(), QRect(8, 20, 410, 5));
    EXPECT_EQ(control("Label1")->y(), -5);
    EXPECT_EQ(control("StartTrace")->pos(), QPoint(440, -25));
    EXPECT_EQ(control("Panel1")->pos(), QPoint(440, -90));

    // u is 0 or negative: empty panes rather than negative sizes.
    for (const QSize s : {QSize(640, 69), QSize(640, 40), QSize(150, 30)}) {
        resizeOuter(s.width(), s.height());
        for (const char* name : {"Memo1", "Memo2", "Memo3"}) {
            EXPECT_EQ(control(name)->height(), 0) << name << " at " << window.frameGeometry().height();
            EXPECT_GE(control(name)->width(), 0) << name;
        }
    }
}

TEST_F(WindowTest, EveryResizeEmptiesLabel5) {
    auto* label5 = qobject_cast<QLabel*>(control("Label5"));
    window.setCaptureCount("1234");
    EXPECT_EQ(label5->text(), QStringLiteral("1234"));
    resizeOuter(700, 500);
    EXPECT_EQ(label5->text(), QString());
}

TEST_F(WindowTest, SingleBytesExtendTheLastLinesWhileTheFlagsAreFalse) {
    window.textPane().addLine("T");
    window.hexPane().addLine("H");
    window.session().flags() = trace::RoutingFlags{};
    feed(bytesOf({0x41, 0x42, 0x43}));
    EXPECT_EQ(window.textPane().lines(), Lines{"T41 42 43 "});
    EXPECT_EQ(window.hexPane().lines(), Lines{"H 41 42 43"});
    window.hexPane().flush();
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(control("Memo2"))->toPlainText(), QStringLiteral("H 41 42 43"));
    EXPECT_EQ(qobject_cast<QLabel*>(control("Label5"))->text(), QStringLiteral("0"));
}

TEST_F(WindowTest, LongPiecesGetLinesOfTheirOwnAndPanesStayBounded) {
    window.textPane().addLine("T");
    window.hexPane().addLine("H");
    window.session().flags() = trace::RoutingFlags{};
    route("1234567890123", " 01 02");  // 13 characters joined, 6 not
    route("12345678901234", " 03");    // 14 characters: a line of its own
    EXPECT_EQ(window.textPane().lines(), (Lines{"T1234567890123", "12345678901234"}));
    EXPECT_EQ(window.hexPane().lines(), (Lines{"H", " 01 02", " 03"}));

    for (int i = 0; i < 600; ++i)
        route("text line no " + std::to_string(i), " hex 00", "event " + std::to_string(i));
    EXPECT_EQ(window.textPane().lineCount(), 501u);  // cut back to 500 before each line
    EXPECT_EQ(window.textPane().line(0), "text line no 99");
    EXPECT_EQ(window.hexPane().lineCount(), 501u);
    EXPECT_EQ(window.eventPane().lineCount(), 101u);
    EXPECT_EQ(window.eventPane().line(0), "event 499");
}

TEST_F(WindowTest, NeuAndClearStartTheNextShortPieceOnANewLine) {
    for (const char* action : {"Neu1", "Clear1"}) {
        feed(bytesOf({0x41}));
        window.eventPane().addLine("event");
        window.session().flags() = trace::RoutingFlags{};
        trigger(action);
        EXPECT_EQ(
            window.textPane().lineCount() + window.hexPane().lineCount() + window.eventPane().lineCount(),
            0u);
        EXPECT_FALSE(window.hexPane().modified()) << action;

        feed(bytesOf({0x43}));
        EXPECT_EQ(window.textPane().lines(), Lines{"43 "}) << action;
        EXPECT_EQ(window.hexPane().lines(), Lines{" 43"}) << action;
        window.clear();
    }
}

TEST_F(WindowTest, TheTraceMenuStartAndStoppDoNothing) {
    trigger("Start1");
    EXPECT_TRUE(button("StartTrace")->isEnabled());
    window.session().startReplay();
    trigger("Stopp1");
    EXPECT_TRUE(window.session().running());
    EXPECT_TRUE(window.session().awaitingIdent());
    button("StoppTrace")->click();  // the button does stop
    EXPECT_FALSE(window.session().running());
    EXPECT_TRUE(button("StartTrace")->isEnabled());
}

TEST_F(WindowTest, ReplayDecodesTheChosenFileByteForByte) {
    const std::string file =
        "UNBEKANNT\r\n" + bytesOf({0x02, 0x80, 0xF6, 0x0D, 0x0A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    dialogs.openAnswer = writeTrc(file);
    trigger("Replay1");
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].title, QString::fromUtf16(u"\u00D6ffnen Tracedatei"));
    EXPECT_EQ(dialogs.openRequests[0].filter, QStringLiteral("Trace Daten (*.TRC)"));
    // The chunk that completed the reply is one line; the reply's own bytes
    // follow from the ring.
    EXPECT_EQ(window.hexPane().lines(), (Lines{file, " 55 4E 42 45 4B 41 4E 4E 54 0D 0A",
                                               " 02 80 F6 0D 0A 01 02 03 04 05 06 07 08 09 0A"}));
    EXPECT_FALSE(window.session().running());  // ended with Stopp

    dialogs.openAnswer.clear();
    trigger("Replay1");
    EXPECT_EQ(dialogs.openRequests.back().initialName, writeTrc(file));
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty());
}

TEST_F(WindowTest, AFullCaptureReplaysQuickly) {
    std::string file = "UNBEKANNT\r\n";
    while (file.size() < 19999)
        file += bytesOf({2, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 65, 66, 67, 68, 0x10, 6});
    file.resize(19999);
    dialogs.openAnswer = writeTrc(file);
    QElapsedTimer t;
    t.start();
    trigger("Replay1");
    std::printf("[ info ] 19999 bytes replayed through the text boxes in %lld ms\n",
                static_cast<long long>(t.elapsed()));
    EXPECT_LT(t.elapsed(), 2000);  // 200 ms on an idle machine; shared CI runners vary
    EXPECT_EQ(window.hexPane().line(499), " 10 06");
}

// Every sample repeated to 30 KB, replayed in the window: each pane ends with
// exactly the lines a session routing chunk by chunk into lines of memory
// leaves, and its box shows them.
TEST_F(WindowTest, ALongReplayEndsWithThePanesOfAChunkByChunkReplay) {
    int cut = 0;
    for (const char* name :
         {"algorex", "bmci",    "default", "ebl",       "esser", "esserprn",  "filnet", "hekatron",
          "hsb180",  "igis",    "lca",     "plaintext", "sdn",   "securiton", "sigma",  "sigmaprn",
          "sm88",    "sm88prn", "tn1060",  "uez",       "ugm",   "zetfas"}) {
        std::ifstream in(std::string(ZINDRA_SAMPLES_DIR) + "/" + name + ".TRC", std::ios::binary);
        const std::string sample{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::string file = sample;
        while (file.size() < 30000) file += sample.substr(sample.find('\n') + 1);
        dialogs.openAnswer = writeTrc(file);
        trigger("Replay1");

        trace::MemoryPane text, hex, event;
        trace::Panes memory{text, hex, event};
        trace::NullUi ui;
        trace::TraceSession session(memory, ui);
        session.clear();  // as the window after its start-up and after each sample
        trace::replayFile(session, QFile::encodeName(dialogs.openAnswer).toStdString());
        const std::pair<TextBoxPane*, trace::MemoryPane*> pairs[] = {
            {&window.textPane(), &text}, {&window.hexPane(), &hex}, {&window.eventPane(), &event}};
        for (auto [pane, expected] : pairs) {
            const Lines lines(expected->lines().begin(), expected->lines().end());
            EXPECT_EQ(pane->lines(), lines) << name << " " << pane->box().objectName().toStdString();
            pane->flush();
            Lines shown;
            const QTextDocument* doc = pane->box().document();
            for (QTextBlock b = doc->begin(); !doc->isEmpty() && b.isValid(); b = b.next()) {
                shown.push_back(toCp1252(b.text()));
            }
            EXPECT_EQ(shown, lines) << name << " " << pane->box().objectName().toStdString();
        }
        if (text.lineCount() >= 500 || hex.lineCount() >= 500 || event.lineCount() == 101) ++cut;
        window.clear();
    }
    EXPECT_GE(cut, 20);  // the panes were cut back all along (IGIS and ESSERPRN give few, long lines)
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty());
}

// Stopp and painting get through a replay of many megabytes: Stopp ends it
// where it stands, and the panes show what was decoded up to there.
TEST_F(WindowTest, StoppEndsALongReplayWhileItRuns) {
    const std::string telegram =
        "\x02"
        "0012341000007"
        "\x03"
        "Z";
    const std::string last =
        "\x02"
        "0099991000007"
        "\x03"
        "Z";
    std::string file = "UGM\r\n";
    while (file.size() < 20000000) file += telegram;
    dialogs.openAnswer = writeTrc(file + last);
    bool runningAtStopp = false;
    int paints = 0;
    QTimer painted;
    QObject::connect(&painted, &QTimer::timeout, [&] { ++paints; });
    painted.start(10);
    QTimer::singleShot(300, &window, [&] {
        runningAtStopp = window.session().running();
        button("StoppTrace")->click();
    });
    trigger("Replay1");
    EXPECT_TRUE(runningAtStopp);
    EXPECT_FALSE(window.session().running());
    EXPECT_GE(paints, 5);  // timers ran all along
    ASSERT_EQ(window.eventPane().lineCount(), 101u);
    EXPECT_EQ(window.eventPane().line(100), window.eventPane().line(0));  // the last telegram never came
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty());
}

// An object whose event handler fails.
class Failing final : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("Error writing dcb (5), Zugriff verweigert");
        return QObject::event(e);
    }
};

TEST_F(WindowTest, AnErrorLeavingAHandlerIsShownAndTheWindowGoesOn) {
    dialogs.openAnswer = dir.filePath(QStringLiteral("fehlt.TRC"));
    trigger("Replay1");
    ASSERT_EQ(dialogs.exceptions.size(), 1);
    EXPECT_TRUE(dialogs.exceptions[0].contains(QStringLiteral("fehlt.TRC")))
        << dialogs.exceptions[0].toStdString();

    auto* app = qobject_cast<Application*>(QCoreApplication::instance());
    app->setDialogs(&dialogs);
    Failing failing;
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    testing::processPending();
    app->setDialogs(nullptr);
    ASSERT_EQ(dialogs.exceptions.size(), 2);
    EXPECT_EQ(dialogs.exceptions[1], QStringLiteral("Error writing dcb (5), Zugriff verweigert"));

    // The replay that could not open its file waits for Stopp, which works.
    button("StoppTrace")->click();
    EXPECT_TRUE(button("StartTrace")->isEnabled());
    feed(bytesOf({0x41}));
    EXPECT_EQ(window.hexPane().lines(), Lines{" 41"});

    // The session's own error boxes lose the carriage returns of their texts.
    dialogs.openAnswer = writeTrc("NIXDA\r\n");
    trigger("Replay1");
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(
        dialogs.errors[0].startsWith(QStringLiteral("\n Es konnte keine Verbindung \n zum FAT aufgebaut")));
    EXPECT_TRUE(dialogs.errors[0].contains(QString::fromUtf16(u"unterst\u00FCtzt das \n FAT")));
}

TEST_F(WindowTest, ThePanesFontHasAGlyphForEveryCharacterAPaneDraws) {
    // Received control bytes are drawn as control pictures; the font the
    // panes really use (not a fallback) must have each of them, as every
    // other character a byte can become.
    for (const char* name : {"Memo1", "Memo2", "Memo3"}) {
        const QFont font = control(name)->font();
        EXPECT_TRUE(QFontInfo(font).fixedPitch()) << name;
        EXPECT_EQ(QFontInfo(font).pixelSize(), 17) << name;
        const QRawFont raw = QRawFont::fromFont(font);
        ASSERT_TRUE(raw.isValid()) << name;
        QString missing;
        for (int b = 0x00; b <= 0xFF; ++b) {
            const QString shown = fromCp1252(std::string(1, static_cast<char>(b)), Controls::Pictures);
            if (b != 0x20 && b != 0xA0 && !raw.supportsCharacter(shown[0]))
                missing += QString::number(b, 16) + u' ';
        }
        EXPECT_TRUE(missing.isEmpty()) << name << " has no glyph for the bytes " << missing.toStdString();
    }
    EXPECT_TRUE(QFontInfo(control("Memo2")->font()).bold());
    // The bytes themselves are not changed by how they are drawn.
    const std::string line = bytesOf({0x02, 0x81, 'U', 'G', 'M', 0x0D, 0x0A, 0x7F, 0x00});
    window.hexPane().addLine(line);
    window.hexPane().flush();
    EXPECT_EQ(window.hexPane().line(0), line);
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(control("Memo2"))->toPlainText(),
              QString::fromUtf16(u"\u2402\u0081UGM\u240D\u240A\u2421\u2400"));
}

TEST_F(WindowTest, EventLinesAreFixedPitchAndTheirColumnsEndUnderTheHeadings) {
    auto* events = qobject_cast<QPlainTextEdit*>(control("Memo3"));
    EXPECT_TRUE(QFontInfo(events->font()).fixedPitch());
    EXPECT_EQ(QFontInfo(events->font()).pixelSize(), 17);
    window.eventPane().addLine("   786       07       65    41");
    window.eventPane().flush();
    testing::processPending();
    // The right end of each column (in the window's coordinates) against
    // the right end of its heading's text.
    const auto columnEnd = [&](int column) {
        QTextCursor c(events->document());
        c.setPosition(column);
        return events->viewport()->mapTo(&window, events->cursorRect(c).topLeft()).x();
    };
    const int ends[4] = {6, 15, 24, 30};
    const char* labels[5] = {"Label1", "Label2", "Label3", "Label4", "Label5"};
    // Also while the events' times stand beside the lines and push them right
    // (in a window wide enough for the line not to wrap beside them).
    for (const bool times : {false, true}) {
        if (times) {
            trigger("Ereigniszeiten1");
            resizeOuter(800, 480);
        }
        testing::processPending();
        for (int i = 0; i < 5; ++i) {
            auto* label = qobject_cast<QLabel*>(control(labels[i]));
            const int textRight = label->mapTo(&window, QPoint(0, 0)).x() +
                                  label->fontMetrics().horizontalAdvance(label->text());
            if (i < 4) {
                EXPECT_NEAR(textRight, columnEnd(ends[i]), 3) << labels[i] << " times " << times;
            }
            if (i > 0) {
                auto* before = qobject_cast<QLabel*>(control(labels[i - 1]));
                EXPECT_GT(label->x(), before->x() + before->fontMetrics().horizontalAdvance(before->text()))
                    << labels[i] << " times " << times;
            }
        }
    }
    EXPECT_EQ(window.eventPane().lines(), Lines{"   786       07       65    41"});
}

TEST_F(WindowTest, APaneScrolledUpStaysWhereTheUserLeftItAndFollowsAgainAtTheEnd) {
    for (int i = 0; i < 200; ++i) route("text", " hex " + std::to_string(i));
    window.hexPane().flush();
    testing::processPending();
    QScrollBar* bar = qobject_cast<QPlainTextEdit*>(control("Memo2"))->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());  // following the newest line

    // The user scrolls up to read: new lines leave the view where it is,
    // also when the oldest lines go (the pane keeps 500).
    bar->setValue(150);
    ASSERT_EQ(window.hexPane().line(150), " hex 150");
    for (int i = 200; i < 260; ++i) route("text", " hex " + std::to_string(i));
    window.hexPane().flush();
    testing::processPending();
    EXPECT_EQ(bar->value(), 150);
    for (int i = 260; i < 550; ++i) route("text", " hex " + std::to_string(i));
    window.hexPane().flush();
    testing::processPending();
    ASSERT_EQ(window.hexPane().line(0), " hex 49");
    EXPECT_EQ(window.hexPane().line(static_cast<std::size_t>(bar->value())), " hex 150");

    // Back at the end (Ctrl+End, or the scroll bar), it follows again.
    QTest::keyClick(control("Memo2"), Qt::Key_End, Qt::ControlModifier);
    EXPECT_GE(bar->value(), bar->maximum() - 1);
    route("newest", " newest");
    window.hexPane().flush();
    testing::processPending();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(window.hexPane().line(window.hexPane().lineCount() - 1), " newest");
}

// Typing into the hex pane (clicked into, as a user would) changes neither
// the pane nor what Save as writes, and leaves nothing to save.
TEST_F(WindowTest, TypingIntoThePanesChangesNeitherThemNorTheSavedFile) {
    route("A\x03", " 41 03");
    window.hexPane().flush();
    window.hexPane().setModified(false);
    for (const char* name : {"Memo2", "Memo1", "Memo3"}) {
        auto* box = qobject_cast<QPlainTextEdit*>(control(name));
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
        QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(box, QStringLiteral("HALLO"));
        QTest::keyClick(box, Qt::Key_Return);
    }
    EXPECT_FALSE(window.hexPane().modified());
    EXPECT_EQ(window.hexPane().lines(), Lines{" 41 03"});
    EXPECT_EQ(window.textPane().lines(), Lines{"A\x03"});
    EXPECT_EQ(window.eventPane().lineCount(), 0u);
    dialogs.saveAnswer = dir.filePath(QStringLiteral("Anlage.dat"));
    trigger("Speichernunter1");
    EXPECT_EQ(testing::readAll(QFile::encodeName(dialogs.saveAnswer).toStdString()), " 41 03\r\n");
}

// A pane scrolled up to read keeps its top line in view while lines come and
// the oldest go, also when each line wraps over several rows (long hex
// lines of printer protocols); a pane at its end stays there through
// resizes that lay the wrapped lines out anew, and follows.
TEST_F(WindowTest, WrappedLinesHoldStillWhenScrolledUpAndFollowThroughResizesAtTheEnd) {
    auto* box = qobject_cast<QPlainTextEdit*>(control("Memo2"));
    QScrollBar* bar = box->verticalScrollBar();
    const auto hexLine = [](int i) {
        std::string s = " " + std::to_string(i);
        for (int b = 0; b < 80; ++b) s += " 4" + std::to_string(b % 10);
        return s;
    };
    const auto topLine = [&] {
        return toCp1252(box->document()->findBlockByLineNumber(bar->value()).text());
    };
    // As in a live trace: the lines come a few at a time, each shown.
    for (int i = 0; i < 500; ++i) {
        route("t", hexLine(i));
        if (i % 20 == 19) {
            window.hexPane().flush();
            testing::processPending();
        }
    }
    window.hexPane().flush();
    testing::processPending();
    ASSERT_GT(box->document()->lastBlock().layout()->lineCount(), 2);  // wrapped over rows
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(box->document()->findBlockByNumber(300).firstLineNumber());
    ASSERT_EQ(topLine(), hexLine(300));
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 26; ++i) route("t", hexLine(500 + round * 26 + i));
        window.hexPane().flush();
        testing::processPending();
        ASSERT_LE(window.hexPane().lineCount(), 501u);
        EXPECT_EQ(topLine(), hexLine(300)) << round;
    }

    // Back at the end, through a larger window and back to 640 x 480.
    QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
    for (const QSize size : {QSize(1000, 700), QSize(640, 480), QSize(500, 400), QSize(640, 480)}) {
        resizeOuter(size.width(), size.height());
        testing::processPending();
        route("t", hexLine(1000 + size.width()));
        window.hexPane().flush();
        testing::processPending();
        EXPECT_EQ(bar->value(), bar->maximum()) << size.width();
        EXPECT_TRUE(window.hexPane().following()) << size.width();
    }
}

TEST_F(WindowTest, AFileWithoutReplyLineIsSaidSoAndDecodedByAProtocolChosenByHand) {
    // A telegram of the UGM sample without the FAT's reply before it.
    const std::string telegram = bytesOf({0x02}) + "0012341000007" + bytesOf({0x03}) + "Z";
    dialogs.openAnswer = writeTrc(telegram + telegram);
    trigger("Replay1");
    EXPECT_EQ(window.eventPane().lineCount(), 0u);
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains(QString::fromUtf16(u"Protokoll w\u00E4hlen")))
        << dialogs.errors[0].toStdString();

    // The user stops a replay himself: no such message.
    window.session().startReplay();
    button("StoppTrace")->click();

    auto* choose = window.findChild<QAction*>(QStringLiteral("ProtokollWaehlen1"));
    ASSERT_NE(choose, nullptr);
    EXPECT_EQ(choose->text(), QString::fromUtf16(u"Protokoll w\u00E4h&len\u2026"));
    dialogs.chooseAnswer.clear();  // cancelled: nothing happens
    choose->trigger();
    EXPECT_EQ(dialogs.openRequests.size(), 1u);
    ASSERT_EQ(dialogs.offered.size(), 22);
    EXPECT_EQ(dialogs.offered.front(), QStringLiteral("UGM"));
    EXPECT_EQ(dialogs.offered.back(), QStringLiteral("SM88PRN"));

    // Decoded as zindra-cli replay --protocol UGM decodes it: from the file's
    // first byte, without what the failed replay left in the receive ring.
    const std::string file = QFile::encodeName(writeTrc(telegram + telegram)).toStdString();
    const testing::CliResult cli = testing::runCli({"replay", "--protocol", "UGM", file});
    dialogs.chooseAnswer = QStringLiteral("UGM");
    choose->trigger();
    ASSERT_EQ(dialogs.openRequests.size(), 2u);
    EXPECT_EQ(window.eventPane().lines(),
              (Lines{"   786       07       65    41", "   786       07       65    41"}));
    EXPECT_EQ(cli.out, "   786       07       65    41\n   786       07       65    41\n");
    EXPECT_EQ(dialogs.errors.size(), 1);
    EXPECT_FALSE(window.session().running());
    EXPECT_EQ(window.session().protocol(), decoders::Protocol::Default);  // Stopp ran
}

TEST(QtTexts, QtsOwnDialogsSpeakGerman) {
    auto* app = qobject_cast<Application*>(QCoreApplication::instance());
    ASSERT_TRUE(app->germanQt());
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("x"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("&Nein"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Abbrechen"));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(buttons->button(QDialogButtonBox::Save)->text().remove(u'&'), QStringLiteral("Speichern"));
}

}  // namespace
}  // namespace zindra::app
