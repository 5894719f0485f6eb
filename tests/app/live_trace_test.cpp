// Live traces through the window on real pseudo-terminals: the test plays the
// FAT itself or lets zindra-cli simulate play a saved trace.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "app/settings_dialog.h"
#include "fake_fat.h"
#include "gui_support.h"
#include "serial/comm.h"
#include "support/process.h"
#include "support/run_cli.h"

namespace zindra::app {
namespace {

using Lines = std::vector<std::string>;
using testing::FakeFat;
using testing::readAll;
using namespace std::chrono_literals;

// One UGM telegram and its event line.
const std::string Telegram =
    "\x02"
    "0012341000007"
    "\x03"
    "Z";
const std::string TelegramEvent = "   786       07       65    41";

const QString NoAnswer = QString::fromUtf16(
    u"\n Es konnte keine Verbindung \n zum FAT aufgebaut werden.\n Versuchen Sie es noch einmal. \n\n"
    u" \u00DCberpr\u00FCfen Sie das Kabel zwischen\n PC und FAT. \n\n Stimmt die Schnittstelleneinstellung "
    u"???\n\n");

class LiveTrace : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TraceWindow>(dialogs, dir.filePath(QStringLiteral("config/ZINDRA.INI")));
        window->settingsDialog().setDeviceScanner([] { return std::vector<std::string>{}; });
        ASSERT_TRUE(testing::showPastAboutBox(*window));
    }

    TraceWindow& w() { return *window; }
    QString panel() { return w().findChild<QLabel*>(QStringLiteral("Panel1"))->text(); }
    QColor panelColour() {
        return w().findChild<QLabel*>(QStringLiteral("Panel1"))->palette().color(QPalette::Window);
    }
    QPushButton* button(const char* name) { return w().findChild<QPushButton*>(QString::fromLatin1(name)); }
    bool idle() { return button("StartTrace")->isEnabled() && !button("StoppTrace")->isEnabled(); }
    void trigger(const char* action) { w().findChild<QAction*>(QString::fromLatin1(action))->trigger(); }
    std::string path(const char* name) const {
        return QFile::encodeName(dir.filePath(QString::fromLatin1(name))).toStdString();
    }

    // Start against a device; true when the FAT got "\nTRACEON".
    bool start(FakeFat& fat) {
        w().comm().setDeviceName(fat.name);
        button("StartTrace")->click();
        return fat.await("\nTRACEON");
    }
    bool waitForPanel(const QString& caption, int timeoutMs = 5000) {
        return testing::waitUntil([&] { return panel() == caption; }, timeoutMs);
    }
    bool waitForEvents(std::size_t n, int timeoutMs = 5000) {
        return testing::waitUntil([&] { return w().eventPane().lineCount() >= n; }, timeoutMs);
    }

    QTemporaryDir dir;
    testing::RecordingDialogs dialogs;
    std::unique_ptr<TraceWindow> window;
};

std::string crlfLines(const Lines& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}

Lines splitLines(const std::string& text) {
    Lines lines;
    std::size_t begin = 0;
    for (std::size_t lf; (lf = text.find('\n', begin)) != std::string::npos; begin = lf + 1) {
        lines.push_back(text.substr(begin, lf - begin));
    }
    return lines;
}

TEST_F(LiveTrace, APortThatCannotBeOpenedLeavesTheWindowIdle) {
    w().comm().setDeviceName("");
    button("StartTrace")->click();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], QString::fromUtf16(u"\nSie haben keine Schnittstelle ausgew\u00E4hlt\n"));
    ASSERT_EQ(dialogs.exceptions.size(), 1);  // then the open fails as well
    EXPECT_TRUE(dialogs.exceptions[0].startsWith(QStringLiteral("Specified device not found")));

    const std::string missing = path("no-such-tty");
    w().comm().setDeviceName(missing);
    button("StartTrace")->click();
    ASSERT_EQ(dialogs.exceptions.size(), 2);
    EXPECT_EQ(dialogs.exceptions[1], QString::fromStdString("Specified device not found (" + missing + ")."));
    EXPECT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(idle());
    EXPECT_EQ(panel(), QStringLiteral("nicht aktiv"));
    EXPECT_FALSE(w().timer1().isActive());
}

TEST_F(LiveTrace, StartIdentifiesTheReplyAndStoppEndsTheTrace) {
    FakeFat fat;
    fat.send("old bytes");  // waiting before Start: dropped
    ASSERT_TRUE(start(fat));
    EXPECT_EQ(fat.got, "\nTRACEON");
    EXPECT_EQ(panel(), QStringLiteral(" Empfangsbereit "));
    EXPECT_FALSE(button("StartTrace")->isEnabled());
    EXPECT_TRUE(button("StoppTrace")->isEnabled());
    EXPECT_TRUE(w().timer1().isActive());
    EXPECT_EQ(w().timer1().interval(), 4000);

    // A reply in two pieces is identified when its line feed arrives.
    fat.send("UG");
    testing::waitUntil([] { return false; }, 100);
    EXPECT_TRUE(w().session().awaitingIdent());
    fat.send("M\r\n");
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));
    EXPECT_EQ(panelColour(), QColor(255, 0, 0));
    EXPECT_EQ(w().windowTitle(), QStringLiteral("UGM  Trace"));

    fat.send(Telegram + Telegram);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(w().eventPane().lines(), (Lines{TelegramEvent, TelegramEvent}));
    EXPECT_EQ(w().session().capture().count(), 5 + 2 * Telegram.size());

    button("StoppTrace")->click();
    EXPECT_TRUE(fat.await("\nTRACEON\nTRACEOF")) << "the FAT got: " << fat.got;
    EXPECT_EQ(panel(), QStringLiteral("  nicht aktiv  "));
    EXPECT_NE(panelColour(), QColor(255, 0, 0));
    EXPECT_EQ(w().windowTitle(), QStringLiteral("Trace"));
    EXPECT_TRUE(idle());
    EXPECT_FALSE(w().comm().active());

    // Stopp within the four seconds: the timer still runs out, silently.
    EXPECT_TRUE(w().timer1().isActive());
    ASSERT_TRUE(testing::waitUntil([&] { return !w().timer1().isActive(); }, 5000));
    testing::processPending();
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty());
    EXPECT_EQ(w().eventPane().lineCount(), 2u);
}

TEST_F(LiveTrace, NoReplyWithinFourSecondsTimesOut) {
    FakeFat fat;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(start(fat));
    fat.send("AB\n");  // a line feed at position 3 ends nothing
    ASSERT_TRUE(testing::waitUntil([&] { return !dialogs.errors.isEmpty(); }, 8000));
    EXPECT_GE(clock.elapsed(), 3900);
    EXPECT_EQ(dialogs.errors, QStringList{NoAnswer});
    EXPECT_TRUE(idle());
    EXPECT_EQ(panel(), QStringLiteral("  nicht aktiv  "));
    EXPECT_TRUE(fat.await("\nTRACEOF"));
}

TEST_F(LiveTrace, ADeviceThatGoesAwayEndsTheTraceAndKeepsEveryByte) {
    FakeFat fat;
    ASSERT_TRUE(start(fat));
    std::string sent = "UGM\r\n";
    fat.send(sent);
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));
    // Each notification reads at most 80 bytes, so the FAT sends at a pace.
    for (std::size_t i = 1; i <= 20; ++i) {
        fat.send(Telegram);
        sent += Telegram;
        ASSERT_TRUE(waitForEvents(i));
    }
    fat.hangUp();

    ASSERT_TRUE(testing::waitUntil([&] { return !dialogs.errors.isEmpty(); }, 5000));
    testing::processPending();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains(QString::fromStdString(fat.name)))
        << dialogs.errors[0].toStdString();
    EXPECT_TRUE(dialogs.exceptions.isEmpty());
    EXPECT_TRUE(idle());
    EXPECT_FALSE(w().comm().active());
    EXPECT_TRUE(testing::waitUntil([&] { return w().comm().runningThreads() == 0; }, 3000));
    EXPECT_EQ(w().eventPane().lineCount(), 20u);

    dialogs.saveAnswer = QString::fromStdString(path("cut.dat"));
    trigger("Speichernunter1");
    EXPECT_EQ(readAll(path("cut.TRC")), sent);
}

TEST_F(LiveTrace, TheSimulatorsTraceShowsWhatAReplayShowsAndSavesAndReplaysAgain) {
    const std::string sample = std::string(ZINDRA_SAMPLES_DIR) + "/ugm.TRC";
    const Lines replayed = splitLines(testing::runCli({"replay", sample}).out);
    ASSERT_GT(replayed.size(), 5u);
    testing::Process sim({ZINDRA_CLI, "simulate", sample}, path("sim.out"), path("sim.err"));
    const std::string pty = sim.firstLine();
    ASSERT_FALSE(pty.empty());

    w().comm().setDeviceName(pty);
    button("StartTrace")->click();
    EXPECT_EQ(panel(), QStringLiteral(" Empfangsbereit "));
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));
    EXPECT_EQ(w().windowTitle(), QStringLiteral("UGM  Trace"));
    ASSERT_TRUE(waitForEvents(replayed.size()));
    testing::waitUntil([&] { return w().session().capture().count() == readAll(sample).size(); }, 2000);
    EXPECT_EQ(w().eventPane().lines(), replayed);

    button("StoppTrace")->click();
    EXPECT_TRUE(testing::waitUntil([&] { return sim.err().find("TRACEOF") != std::string::npos; }, 3000))
        << "simulator: " << sim.err();
    EXPECT_EQ(panel(), QStringLiteral("  nicht aktiv  "));

    // Save as into a folder with a dot in its name; companions of an earlier
    // save are replaced after the question.
    QDir(dir.path()).mkpath(QStringLiteral("Spur.alt"));
    std::ofstream(path("Spur.alt/Anlage.DA1")) << "old";
    std::ofstream(path("Spur.alt/Anlage.TRC")) << "old";
    const Lines hex = w().hexPane().lines();
    const Lines events = w().eventPane().lines();
    dialogs.saveAnswer = QString::fromStdString(path("Spur.alt/Anlage.dat"));
    dialogs.askAnswer = true;
    trigger("Speichernunter1");
    EXPECT_EQ(dialogs.asked.size(), 1);
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].filter, QStringLiteral("Tracedatei (*.dat)"));
    EXPECT_EQ(dialogs.saveRequests[0].defaultSuffix, QStringLiteral("dat"));
    EXPECT_EQ(dialogs.saveRequests[0].initialName, QStringLiteral("Trace.dat"));
    EXPECT_EQ(readAll(path("Spur.alt/Anlage.dat")), crlfLines(hex));
    EXPECT_EQ(readAll(path("Spur.alt/Anlage.DA1")), crlfLines(events));
    EXPECT_EQ(readAll(path("Spur.alt/Anlage.TRC")), readAll(sample));
    EXPECT_EQ(w().textPane().lineCount() + w().hexPane().lineCount() + w().eventPane().lineCount(), 0u);
    EXPECT_FALSE(w().hexPane().modified());
    EXPECT_EQ(w().session().capture().count(), 0u);

    // The saved trace replays like the sample, every time.
    dialogs.openAnswer = QString::fromStdString(path("Spur.alt/Anlage.TRC"));
    for (int i = 1; i <= 2; ++i) {
        trigger("Replay1");
        EXPECT_EQ(w().session().identOutcome(), trace::IdentOutcome::Matched) << i;
        EXPECT_EQ(w().eventPane().lineCount(), std::min<std::size_t>(101, i * replayed.size())) << i;
        EXPECT_EQ(w().eventPane().line(w().eventPane().lineCount() - 1), replayed.back()) << i;
    }
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty());
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);
}

TEST_F(LiveTrace, ASaveThatFailsEmptiesNothingAndClosingStillAsks) {
    w().session().receiveChunk(reinterpret_cast<const std::uint8_t*>(Telegram.data()), Telegram.size());
    w().eventPane().addLine(TelegramEvent);
    const Lines hex = w().hexPane().lines();

    // No such folder: nothing is written.
    dialogs.saveAnswer = QString::fromStdString(path("missing/Anlage.dat"));
    trigger("Speichernunter1");
    ASSERT_EQ(dialogs.exceptions.size(), 1);
    EXPECT_TRUE(dialogs.exceptions[0].contains(QStringLiteral("missing/Anlage.dat")));
    // Only the .TRC fails: the pane files stay written, the capture stays.
    std::filesystem::create_directory(path("Anlage.TRC"));
    dialogs.saveAnswer = QString::fromStdString(path("Anlage.dat"));
    dialogs.askAnswer = true;  // replacing "Anlage.TRC"
    trigger("Speichernunter1");
    ASSERT_EQ(dialogs.exceptions.size(), 2);
    EXPECT_EQ(readAll(path("Anlage.DA1")), TelegramEvent + "\r\n");
    EXPECT_EQ(w().session().capture().count(), Telegram.size());
    EXPECT_EQ(w().hexPane().lines(), hex);
    EXPECT_EQ(w().eventPane().lineCount(), 1u);
    EXPECT_TRUE(w().hexPane().modified());

    // "&Ja" with a save that fails keeps the window open, still unsaved.
    dialogs.confirmAnswer = Answer::Yes;
    EXPECT_FALSE(w().close());
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.exceptions.size(), 3);
    EXPECT_TRUE(w().hexPane().modified());
    // "&Ja" and a cancelled save dialog: the window stays, with the trace.
    dialogs.saveAnswer.clear();
    EXPECT_FALSE(w().close());
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(w().hexPane().lines(), hex);
    EXPECT_EQ(w().session().capture().count(), Telegram.size());
}

TEST_F(LiveTrace, SaveAsAsksOnceNamingEveryFileItWouldReplaceAndNeinWritesNone) {
    w().session().receiveChunk(reinterpret_cast<const std::uint8_t*>(Telegram.data()), Telegram.size());
    w().eventPane().addLine(TelegramEvent);
    const Lines hex = w().hexPane().lines();
    std::ofstream(path("Anlage.TRC"), std::ios::binary) << std::string(178, 'x');
    std::ofstream(path("Anlage.DA1"), std::ios::binary) << "old events\r\n";
    dialogs.saveAnswer = QString::fromStdString(path("Anlage.txt"));

    // "Nein": none of the three is written, nothing is emptied.
    dialogs.askAnswer = false;
    trigger("Speichernunter1");
    ASSERT_EQ(dialogs.asked.size(), 1);
    const QString question = dialogs.asked[0];
    EXPECT_TRUE(question.contains(QString::fromStdString(path("Anlage.TRC")))) << question.toStdString();
    EXPECT_TRUE(question.contains(QString::fromStdString(path("Anlage.DA1")))) << question.toStdString();
    EXPECT_FALSE(question.contains(QStringLiteral("Anlage.txt"))) << question.toStdString();
    EXPECT_EQ(readAll(path("Anlage.TRC")), std::string(178, 'x'));
    EXPECT_EQ(readAll(path("Anlage.DA1")), "old events\r\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("Anlage.txt"))));
    EXPECT_EQ(w().hexPane().lines(), hex);
    EXPECT_EQ(w().session().capture().count(), Telegram.size());

    // Closing with "&Ja" and "Nein" to replacing keeps the window and the trace.
    dialogs.confirmAnswer = Answer::Yes;
    EXPECT_FALSE(w().close());
    EXPECT_EQ(dialogs.asked.size(), 2);
    EXPECT_TRUE(w().hexPane().modified());

    // The chosen file itself is named too; "&Ja" replaces all three.
    std::ofstream(path("Anlage.txt")) << "old hex";
    dialogs.askAnswer = true;
    trigger("Speichernunter1");
    ASSERT_EQ(dialogs.asked.size(), 3);
    EXPECT_TRUE(dialogs.asked[2].contains(QString::fromStdString(path("Anlage.txt"))));
    EXPECT_EQ(readAll(path("Anlage.TRC")), Telegram);
    EXPECT_EQ(readAll(path("Anlage.DA1")), TelegramEvent + "\r\n");
    EXPECT_EQ(readAll(path("Anlage.txt")), crlfLines(hex));
    // Nothing there yet: no question.
    w().session().receiveChunk(reinterpret_cast<const std::uint8_t*>(Telegram.data()), Telegram.size());
    dialogs.saveAnswer = QString::fromStdString(path("Neu.dat"));
    trigger("Speichernunter1");
    EXPECT_EQ(dialogs.asked.size(), 3);
    EXPECT_EQ(readAll(path("Neu.TRC")), Telegram);
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty());
}

TEST_F(LiveTrace, ReplayIsNotPossibleDuringALiveTraceNorStartDuringAReplay) {
    auto* replay = w().findChild<QAction*>(QStringLiteral("Replay1"));
    auto* choose = w().findChild<QAction*>(QStringLiteral("ProtokollWaehlen1"));
    auto* startEntry = w().findChild<QAction*>(QStringLiteral("Start1"));
    auto* stoppEntry = w().findChild<QAction*>(QStringLiteral("Stopp1"));
    EXPECT_TRUE(replay->isEnabled() && choose->isEnabled() && startEntry->isEnabled());
    EXPECT_FALSE(stoppEntry->isEnabled());

    FakeFat fat;
    ASSERT_TRUE(start(fat));
    fat.send("UGM\r\n");
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));
    fat.send(Telegram);
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_FALSE(replay->isEnabled());
    EXPECT_FALSE(choose->isEnabled());
    EXPECT_FALSE(startEntry->isEnabled());
    EXPECT_TRUE(stoppEntry->isEnabled());
    // Even when triggered, a disabled Replay does not run.
    std::ofstream(path("other.TRC"), std::ios::binary) << "UGM\r\n" + Telegram + Telegram + Telegram;
    dialogs.openAnswer = QString::fromStdString(path("other.TRC"));
    replay->trigger();
    EXPECT_TRUE(dialogs.openRequests.empty());
    fat.send(Telegram);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_TRUE(w().session().running());
    EXPECT_EQ(panel(), QStringLiteral(" UGM Trace "));
    button("StoppTrace")->click();
    EXPECT_TRUE(replay->isEnabled());

    // During a replay, Start and Replay are off; afterwards on again.
    bool startDuringReplay = true, replayDuringReplay = true;
    QTimer::singleShot(0, &w(), [&] {
        startDuringReplay = button("StartTrace")->isEnabled() || startEntry->isEnabled();
        replayDuringReplay = replay->isEnabled();
    });
    replay->trigger();
    EXPECT_FALSE(startDuringReplay);
    EXPECT_FALSE(replayDuringReplay);
    EXPECT_EQ(w().eventPane().lineCount(), 5u);
    EXPECT_TRUE(idle() && replay->isEnabled() && startEntry->isEnabled());
}

TEST_F(LiveTrace, AFullCaptureTurnsTheCounterRedAndSaysThatTheTrcHoldsOnlyTheFirstBytes) {
    auto* count = w().findChild<QLabel*>(QStringLiteral("Label5"));
    const QColor normal = count->palette().color(QPalette::WindowText);
    const std::string filler(19990, 'x');
    w().session().capture().append(reinterpret_cast<const std::uint8_t*>(filler.data()), filler.size());
    FakeFat fat;
    ASSERT_TRUE(start(fat));
    fat.send("UGM\r\n");  // 19995: taken
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));
    EXPECT_FALSE(w().captureFull());
    EXPECT_EQ(count->palette().color(QPalette::WindowText), normal);

    fat.send(Telegram);  // 15 more would reach 20010: dropped
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(w().session().capture().count(), 19995u);
    EXPECT_TRUE(w().captureFull());
    EXPECT_EQ(count->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    auto* status = w().findChild<QStatusBar*>();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->currentMessage(),
              QString::fromUtf16(u"Aufzeichnung voll (h\u00F6chstens 19.999 Bytes): "
                                 u"die .TRC-Datei enth\u00E4lt nur den "
                                 u"Anfang des Trace."));
    // The counter keeps its place above the status panel.
    EXPECT_LE(count->geometry().bottom(), w().findChild<QLabel*>(QStringLiteral("Panel1"))->geometry().top());
    button("StoppTrace")->click();

    // Saved: the capture is empty, the counter and the text are as before.
    dialogs.saveAnswer = QString::fromStdString(path("voll.dat"));
    trigger("Speichernunter1");
    EXPECT_EQ(readAll(path("voll.TRC")).size(), 19995u);
    EXPECT_FALSE(w().captureFull());
    EXPECT_EQ(count->palette().color(QPalette::WindowText), normal);
    EXPECT_TRUE(status->currentMessage().isEmpty());
}

TEST_F(LiveTrace, ClosingDuringATraceStopsItAndAsksAboutTheHexPane) {
    FakeFat fat;
    ASSERT_TRUE(start(fat));
    fat.send("UGM\r\n" + Telegram);
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));
    dialogs.confirmAnswer = Answer::Cancel;
    EXPECT_FALSE(w().close());
    EXPECT_TRUE(w().isVisible());
    EXPECT_TRUE(idle());
    EXPECT_TRUE(fat.await("\nTRACEOF"));
    EXPECT_EQ(dialogs.questions,
              QStringList{QString::fromUtf16(u"\n   A C H T U N G      Daten wurden ge\u00E4ndert      \n\n"
                                             u"   Abspeichern   \n\n")});
    // The configuration is written all the same.
    const QSettings ini(w().configPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("Port/Nummer")).toString(), QString::fromStdString(fat.name));
    EXPECT_EQ(ini.value(QStringLiteral("DeskTop/Height")).toInt(), 480);

    dialogs.confirmAnswer = Answer::No;
    EXPECT_TRUE(w().close());
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_TRUE(dialogs.saveRequests.empty());

    // Nothing changed since the last save: no question.
    w().show();
    w().clear();
    EXPECT_TRUE(w().close());
    EXPECT_EQ(dialogs.questions.size(), 2);
}

// Not a check of behaviour so much as a measurement: how long a telegram
// takes from the FAT's side of the line to its event line, and what an idle
// trace costs.  The bounds only catch a gross regression.
TEST_F(LiveTrace, LatencyOfATelegramAndTheCostOfAnIdleTrace) {
    FakeFat fat;
    ASSERT_TRUE(start(fat));
    fat.send("UGM\r\n");
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));

    std::vector<double> ms;
    for (int i = 0; i < 300; ++i) {
        w().eventPane().clear();
        const auto t0 = std::chrono::steady_clock::now();
        fat.send(Telegram);
        while (w().eventPane().lineCount() == 0 && std::chrono::steady_clock::now() - t0 < 2s) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        ASSERT_EQ(w().eventPane().line(0), TelegramEvent);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("[ info ] telegram to event line over %zu telegrams: median %.3f ms, worst %.3f ms\n",
                ms.size(), median, ms.back());
    EXPECT_LT(median, 50.0);

    // Idle: the port open, nothing arriving, the event loop running.
    timespec a{}, b{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    const auto w0 = std::chrono::steady_clock::now();
    QEventLoop idleLoop;
    QTimer::singleShot(2000, &idleLoop, &QEventLoop::quit);
    idleLoop.exec();
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    const double cpu =
        static_cast<double>(b.tv_sec - a.tv_sec) + static_cast<double>(b.tv_nsec - a.tv_nsec) / 1e9;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    std::printf("[ info ] idle trace: %.2f%% of one core over %.1f s\n", 100.0 * cpu / wall, wall);
    EXPECT_LT(cpu / wall, 0.05);
    button("StoppTrace")->click();
}

}  // namespace
}  // namespace zindra::app
