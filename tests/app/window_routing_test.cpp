// Routing, Clear and the menus through the real text boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "gui_support.h"
#include "trace/routing.h"

namespace zindra::app {
namespace {

using Lines = std::vector<std::string>;
using testing::bytesOf;
using testing::RecordingDialogs;

void feed(trace::TraceSession& s, const std::string& bytes) {
    s.feedChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

decoders::DecoderOutput output(std::string text, std::string hex, std::string event = {}) {
    decoders::DecoderOutput o;
    o.textLine = std::move(text);
    o.hexLine = std::move(hex);
    o.eventLine = std::move(event);
    return o;
}

// A window that is not shown: no start-up about box, flags as at creation.
class RoutingTest : public ::testing::Test {
protected:
    void route(const decoders::DecoderOutput& o) {
        trace::routeOutput(o, window.panes(), window.session().flags(), trace::RoutingLimits{});
    }
    QPlainTextEdit* box(const char* name) { return window.findChild<QPlainTextEdit*>(QString::fromLatin1(name)); }

    RecordingDialogs dialogs;
    TraceWindow window{dialogs};
};

TEST_F(RoutingTest, SingleBytesExtendTheLastLinesWhileTheFlagsAreFalse) {
    window.textPane().addLine("T");
    window.hexPane().addLine("H");
    feed(window.session(), bytesOf({0x41, 0x42, 0x43}));
    EXPECT_EQ(window.textPane().lines(), Lines{"T41 42 43 "});
    EXPECT_EQ(window.hexPane().lines(), Lines{"H 41 42 43"});
    EXPECT_EQ(box("Memo1")->toPlainText(), QStringLiteral("T41 42 43 "));
    EXPECT_EQ(box("Memo2")->toPlainText(), QStringLiteral("H 41 42 43"));
    EXPECT_TRUE(window.hexPane().modified());
    // Label5 shows the capture count; replayed bytes are not captured.
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label5"))->text(), QStringLiteral("0"));
}

TEST_F(RoutingTest, LongPiecesGetLinesOfTheirOwn) {
    window.textPane().addLine("T");
    window.hexPane().addLine("H");
    route(output("1234567890123", " 01 02"));  // 13 and 6 characters
    EXPECT_EQ(window.textPane().lines(), Lines{"T1234567890123"});
    EXPECT_EQ(window.hexPane().lines(), (Lines{"H", " 01 02"}));
    route(output("12345678901234", " 03"));  // 14 characters
    EXPECT_EQ(window.textPane().lines(), (Lines{"T1234567890123", "12345678901234"}));
    // The hex pane started a new line after the long piece, so " 03" does too.
    EXPECT_EQ(window.hexPane().lines(), (Lines{"H", " 01 02", " 03"}));
    route(output("X", ""));  // no hex output: nothing is shown
    EXPECT_EQ(window.textPane().lineCount(), 2u);
}

TEST_F(RoutingTest, TextAndHexPanesAreCutBackTo500LinesAndEventsKept101) {
    for (int i = 0; i < 600; ++i) {
        const std::string n = std::to_string(i);
        route(output("text line " + n + "....", " hex " + n, "event " + n));
    }
    EXPECT_EQ(window.textPane().lineCount(), 501u);
    EXPECT_EQ(window.textPane().line(0), "text line 99....");
    EXPECT_EQ(window.textPane().line(500), "text line 599....");
    EXPECT_EQ(window.hexPane().lineCount(), 501u);
    EXPECT_EQ(window.eventPane().lineCount(), 101u);
    EXPECT_EQ(window.eventPane().line(0), "event 499");
    EXPECT_EQ(window.eventPane().line(100), "event 599");
    EXPECT_EQ(box("Memo3")->document()->blockCount(), 101);
}

TEST_F(RoutingTest, ADefaultBlockIsOneLineInEachPane) {
    window.session().clear();
    feed(window.session(), bytesOf({0x02, 0x31, 0x32, 0x03, 0x7A, 0x41, 0x42, 0x43, 0x44}));
    EXPECT_EQ(window.textPane().lineCount(), 0u);
    feed(window.session(), bytesOf({0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x41}));
    EXPECT_EQ(window.textPane().lines(),
              (Lines{"<STX> 12<ETX> 7A 41 42 43 44 45 46 47 48 49 4A ", "41 "}));
    EXPECT_EQ(window.hexPane().lines(), (Lines{" 02 31 32 03 7A 41 42 43 44 45 46 47 48 49 4A", " 41"}));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testing::showPastAboutBox(window)); }
    void trigger(const char* action) { window.findChild<QAction*>(QString::fromLatin1(action))->trigger(); }
    QPushButton* button(const char* name) { return window.findChild<QPushButton*>(QString::fromLatin1(name)); }

    RecordingDialogs dialogs;
    TraceWindow window{dialogs};
};

TEST_F(WindowTest, StartUpClearsThePanesAndSetsBothFlags) {
    EXPECT_TRUE(window.session().flags().textStartNewLine);
    EXPECT_TRUE(window.session().flags().hexStartNewLine);
    EXPECT_FALSE(window.aboutPending());
}

TEST_F(WindowTest, NeuAndClearStartTheNextShortPieceOnANewLine) {
    for (const char* action : {"Neu1", "Clear1"}) {
        feed(window.session(), bytesOf({0x41}));
        feed(window.session(), bytesOf({0x42}));
        window.session().flags() = trace::RoutingFlags{};
        window.eventPane().addLine("event");

        trigger(action);
        EXPECT_EQ(window.textPane().lineCount(), 0u) << action;
        EXPECT_EQ(window.eventPane().lineCount(), 0u) << action;
        EXPECT_FALSE(window.hexPane().modified()) << action;

        // Something typed after the Clear, then one byte arrives.
        QTest::keyClicks(&window.textPane().box(), QStringLiteral("Notiz"));
        QTest::keyClicks(&window.hexPane().box(), QStringLiteral("Notiz"));
        EXPECT_TRUE(window.hexPane().modified());
        feed(window.session(), bytesOf({0x43}));
        EXPECT_EQ(window.textPane().lines(), (Lines{"Notiz", "43 "})) << action;
        EXPECT_EQ(window.hexPane().lines(), (Lines{"Notiz", " 43"})) << action;
        window.clear();
    }
}

TEST_F(WindowTest, ClearLeavesCaptureRingAndDecoderAlone) {
    const std::string bytes = bytesOf({0x02, 0x31, 0x32});
    window.session().receiveChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const auto write = window.session().state().writeIndex;
    trigger("Clear1");
    EXPECT_EQ(window.session().capture().count(), 3);
    EXPECT_EQ(window.session().state().writeIndex, write);
    EXPECT_TRUE(window.session().state().inFrame);
}

TEST_F(WindowTest, TheTraceMenuStartAndStoppDoNothing) {
    window.hexPane().addLine(" 41");
    trigger("Start1");
    trigger("Stopp1");
    EXPECT_TRUE(button("StartTrace")->isEnabled());
    EXPECT_FALSE(button("StoppTrace")->isEnabled());
    EXPECT_FALSE(window.session().running());

    // Nor does Stopp in the menu end a running replay; the button does.
    window.session().startReplay();
    trigger("Stopp1");
    EXPECT_TRUE(window.session().running());
    EXPECT_TRUE(window.session().awaitingIdent());
    EXPECT_EQ(window.hexPane().lines(), Lines{" 41"});
    button("StoppTrace")->click();
    EXPECT_FALSE(window.session().running());
    EXPECT_TRUE(button("StartTrace")->isEnabled());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

class ReplayTest : public WindowTest {
protected:
    QString writeTrc(const std::string& bytes) {
        const QString path = dir.filePath(QStringLiteral("Anlage.TRC"));
        std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << bytes;
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(ReplayTest, ReplayAsksForATraceFileAndDecodesIt) {
    const std::string file = "UNBEKANNT\r\n" + bytesOf({0x02, 0x80, 0xF6, 0x0D, 0x0A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    dialogs.openAnswer = writeTrc(file);
    trigger("Replay1");

    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].title, QString::fromUtf16(u"\u00D6ffnen Tracedatei"));
    EXPECT_EQ(dialogs.openRequests[0].filter, QStringLiteral("Trace Daten (*.TRC)"));
    EXPECT_EQ(window.lastReplayFile(), dialogs.openAnswer);
    EXPECT_TRUE(dialogs.errors.isEmpty());

    // The chunk that completed the reply line is one line of the hex pane,
    // byte for byte; then the reply's own bytes follow from the ring.
    ASSERT_GE(window.hexPane().lineCount(), 2u);
    EXPECT_EQ(window.hexPane().line(0), file);
    EXPECT_EQ(window.hexPane().line(1), " 55 4E 42 45 4B 41 4E 4E 54 0D 0A");
    EXPECT_EQ(window.hexPane().line(2), " 02 80 F6 0D 0A 01 02 03 04 05 06 07 08 09 0A");
    // The replay ends with Stopp.
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Trace"));
    EXPECT_FALSE(window.session().running());

    // A second replay offers the last file again.
    dialogs.openAnswer.clear();
    trigger("Replay1");
    EXPECT_EQ(dialogs.openRequests.back().initialName, window.lastReplayFile());
}

TEST_F(ReplayTest, AnUnknownReplyShowsTheErrorBoxAndStops) {
    dialogs.openAnswer = writeTrc("NIXDA\r\n\x02");
    trigger("Replay1");
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].startsWith(QStringLiteral("\n Es konnte keine Verbindung \n zum FAT")));
    EXPECT_FALSE(dialogs.errors[0].contains(QLatin1Char('\r')));
    EXPECT_TRUE(dialogs.errors[0].contains(QString::fromUtf16(u"unterst\u00FCtzt")));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Trace"));
    EXPECT_TRUE(button("StartTrace")->isEnabled());
}

TEST_F(ReplayTest, AFileThatCannotBeOpenedIsShownAndTheWindowGoesOn) {
    dialogs.openAnswer = dir.filePath(QStringLiteral("fehlt.TRC"));
    trigger("Replay1");
    ASSERT_EQ(dialogs.exceptions.size(), 1);
    EXPECT_TRUE(dialogs.exceptions[0].contains(QStringLiteral("fehlt.TRC"))) << dialogs.exceptions[0].toStdString();
    // The replay has begun and waits for Stopp, which still works.
    EXPECT_TRUE(button("StoppTrace")->isEnabled());
    button("StoppTrace")->click();
    EXPECT_TRUE(button("StartTrace")->isEnabled());
    feed(window.session(), bytesOf({0x41}));
    EXPECT_EQ(window.hexPane().lines(), Lines{" 41"});
}

TEST_F(ReplayTest, AFullCaptureReplaysQuickly) {
    std::string file = "UNBEKANNT\r\n";
    while (file.size() < 19999) {
        file += bytesOf({0x02, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x41, 0x42, 0x43, 0x44});
        file += bytesOf({0x10, 0x06});
    }
    file.resize(19999);
    dialogs.openAnswer = writeTrc(file);
    QElapsedTimer t;
    t.start();
    trigger("Replay1");
    const auto ms = t.elapsed();
    std::printf("[ info ] replay of 19999 bytes through the text boxes: %lld ms\n", static_cast<long long>(ms));
    // Ends on two single bytes, joined after the last block's line.
    EXPECT_EQ(window.textPane().lineCount(), 500u);
    EXPECT_EQ(window.hexPane().line(499), " 10 06");
    EXPECT_LT(ms, 2000);
}

// An object whose event handler fails.
class Failing final : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("Error writing dcb (5), Zugriff verweigert");
        return QObject::event(e);
    }
};

TEST_F(WindowTest, AnExceptionLeavingAnyHandlerIsShownAndTheProgramGoesOn) {
    auto* app = qobject_cast<Application*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    app->setDialogs(&dialogs);
    Failing failing;
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    testing::processPending();
    app->setDialogs(nullptr);
    ASSERT_EQ(dialogs.exceptions.size(), 1);
    EXPECT_EQ(dialogs.exceptions[0], QStringLiteral("Error writing dcb (5), Zugriff verweigert"));

    trigger("Clear1");
    feed(window.session(), bytesOf({0x41}));
    EXPECT_EQ(window.hexPane().lines(), Lines{" 41"});
}

}  // namespace
}  // namespace zindra::app
