// Watch mode in the window against zindra-cli simulate on pseudo-terminals:
// a recording through a cable pull, its state in the status bar, the events'
// times beside their lines, the recording replayed, and a disk that fails.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <QAction>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "app/application.h"
#include "app/event_times.h"
#include "app/event_tools.h"
#include "app/recording_control.h"
#include "fake_fat.h"
#include "gui_support.h"
#include "recording/reader.h"
#include "serial/comm.h"
#include "support/process.h"
#include "support/run_cli.h"

namespace zindra::app {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using testing::readAll;

const std::string Reply = "UGM\r\n";

// UGM telegrams with running numbers, so that every event line differs.
std::string ugmStream(int telegrams) {
    std::string s = Reply;
    for (int i = 0; i < telegrams; ++i) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04d", i % 10000);
        s += std::string(
                 "\x02"
                 "00") +
             digits +
             "1000007"
             "\x03"
             "Z";
    }
    return s;
}

Lines lastLines(const std::string& text, std::size_t n) {
    Lines lines;
    std::size_t begin = 0;
    for (std::size_t lf; (lf = text.find('\n', begin)) != std::string::npos; begin = lf + 1) {
        lines.push_back(text.substr(begin, lf - begin));
    }
    if (lines.size() > n) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(n));
    return lines;
}

class Watch : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TraceWindow>(dialogs, dir.filePath(QStringLiteral("config/ZINDRA.INI")));
        ASSERT_TRUE(testing::showPastAboutBox(*window));
    }

    TraceWindow& w() { return *window; }
    RecordingControl& rec() { return w().recording(); }
    QString panel() { return w().findChild<QLabel*>(QStringLiteral("Panel1"))->text(); }
    QString status() { return rec().statusLabel().text(); }
    TimedBox& eventBox() { return *w().findChild<TimedBox*>(QStringLiteral("Memo3")); }
    void trigger(const char* action) { w().findChild<QAction*>(QString::fromLatin1(action))->trigger(); }
    std::string path(const char* name) const {
        return QFile::encodeName(dir.filePath(QString::fromLatin1(name))).toStdString();
    }
    bool waitForPanel(const QString& caption, int timeoutMs = 8000) {
        return testing::waitUntil([&] { return panel() == caption; }, timeoutMs);
    }
    // Starts a recording into parent against the simulator's link.
    void startRecording(const std::string& link, const std::string& parent) {
        w().comm().setDeviceName(link);
        dialogs.folderAnswer = QString::fromStdString(parent);
        trigger("StartAufzeichnung1");
    }

    QTemporaryDir dir;
    testing::RecordingDialogs dialogs;
    std::unique_ptr<TraceWindow> window;
};

TEST_F(Watch, ACablePullIsBridgedRecordedAndTheRecordingReplaysWithItsTimes) {
    const std::string stream = ugmStream(600);
    std::ofstream(path("night.TRC"), std::ios::binary) << stream;
    const std::string link = path("fat");
    testing::Process sim({ZINDRA_CLI, "simulate", path("night.TRC"), "--baud", "57600", "--pull-after",
                          "6000", "--pull-for", "1", "--link", link},
                         path("sim.out"), path("sim.err"));
    ASSERT_EQ(sim.firstLine(), link);
    startRecording(link, path("rec"));
    ASSERT_TRUE(w().engine().watching());
    EXPECT_TRUE(rec().timesAction().isChecked());  // on in watch mode
    ASSERT_TRUE(w().engine().recorder() != nullptr) << dialogs.errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));

    // The pull: said in the status panel and the status bar; the trace goes on.
    ASSERT_TRUE(waitForPanel(QStringLiteral(" Verbindung unterbrochen ")));
    EXPECT_TRUE(status().contains(QStringLiteral("Unterbrechungen: 1"))) << status().toStdString();
    // First, and within the window however long the rest (at 640 x 480).
    EXPECT_TRUE(status().startsWith(QStringLiteral("Ger\u00E4t fehlt, neuer Versuch alle 2 s")))
        << status().toStdString();
    EXPECT_LE(rec().statusLabel().geometry().right(), w().width());
    EXPECT_TRUE(rec().statusLabel().toolTip().contains(QString::fromStdString(path("rec"))));
    EXPECT_TRUE(w().session().running());
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));  // reopened and identified again
    // Every byte after the pull, and the reply line sent again.
    const std::uint64_t expected = stream.size() + Reply.size();
    ASSERT_TRUE(
        testing::waitUntil([&] { return w().engine().recorder()->status().bytes >= expected; }, 15000))
        << w().engine().recorder()->status().bytes << " of " << expected;
    testing::waitUntil([] { return false; }, 300);
    EXPECT_EQ(w().engine().recorder()->status().bytes, expected);
    const QRegularExpression gapShown(
        QStringLiteral("Unterbrechungen: 1 \\(zuletzt \\d\\d:\\d\\d:\\d\\d\\.\\d{3}"
                       "\u2013\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\)"));
    EXPECT_TRUE(gapShown.match(status()).hasMatch()) << status().toStdString();
    EXPECT_FALSE(status().contains(QStringLiteral("Ger\u00E4t fehlt")));

    w().findChild<QPushButton*>(QStringLiteral("StoppTrace"))->click();
    EXPECT_FALSE(w().engine().watching());
    EXPECT_TRUE(status().startsWith(QStringLiteral("Aufzeichnung beendet: "))) << status().toStdString();
    const std::string folder = w().engine().recorder()->folder();
    const recording::Recording done = recording::readRecording(folder);
    EXPECT_EQ(done.manifest.gaps.size(), 1u);
    EXPECT_EQ(done.manifest.reason, "Stopp");
    EXPECT_TRUE(done.problems.empty());

    // The pane holds the event lines the CLI replays from the folder, without
    // times; the times stand beside them, in order.
    const std::string allReplayed = testing::runCli({"replay", folder}).out;
    const Lines replayed = lastLines(allReplayed, 101);
    ASSERT_EQ(replayed.size(), 101u);
    // Exactly the events of the two pieces the simulator delivered, each
    // decoded on its own: the pull cut a telegram, which alone is missing;
    // nothing joins its first half with the reply line that came after.
    std::string pieces;
    std::size_t from = 0;
    const auto piece = [&](std::size_t to) {
        std::ofstream(path("piece.TRC"), std::ios::binary)
            << (from == 0 ? std::string() : Reply) + stream.substr(from, to - from);
        pieces += testing::runCli({"replay", path("piece.TRC")}).out;
        from = to;
    };
    for (const std::string& line : lastLines(readAll(path("sim.err")), 100)) {
        if (line.rfind("PULL ", 0) == 0) piece(std::stoul(line.substr(5)));
    }
    ASSERT_GT(from, 0u) << readAll(path("sim.err"));
    EXPECT_NE((from - Reply.size()) % 16, 0u) << "the pull came between two telegrams";
    piece(stream.size());
    EXPECT_EQ(allReplayed, pieces);
    EXPECT_EQ(lastLines(pieces, 1000).size(), 599u);
    EXPECT_EQ(w().eventPane().lines(), replayed);
    const auto checkTimes = [&](const char* what) {
        w().eventPane().flush();
        QString before;
        for (std::size_t i = 0; i < 101; ++i) {
            const QString t = eventBox().timeText(i);
            ASSERT_TRUE(
                QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")).match(t).hasMatch())
                << what << " line " << i << ": " << t.toStdString();
            EXPECT_GE(t, before) << what << " line " << i;
            before = t;
        }
    };
    checkTimes("live");
    const std::vector<QString> liveTimes = [&] {
        std::vector<QString> v;
        for (std::size_t i = 0; i < 101; ++i) v.push_back(eventBox().timeText(i));
        return v;
    }();

    // The gap is a row of its own in the event list, live and replayed.
    const auto gapRows = [&] {
        w().eventTools().sync();
        const events::EventStore& store = w().eventTools().store();
        int n = 0;
        for (std::size_t i = 0; i < store.size(); ++i) n += store.at(i).stateText == "Unterbrechung";
        return n;
    };
    EXPECT_EQ(gapRows(), 1);

    // Replayed from the folder: the same lines with the same times.
    trigger("Clear1");
    trigger("Ereigniszeiten1");  // off; the replay of a recording turns them on
    EXPECT_FALSE(eventBox().timesShown());
    dialogs.folderAnswer = QString::fromStdString(folder);
    trigger("AufzeichnungWiedergeben1");
    EXPECT_TRUE(eventBox().timesShown());
    EXPECT_EQ(w().eventPane().lines(), replayed);
    checkTimes("replayed");
    for (std::size_t i = 0; i < 101; ++i) EXPECT_EQ(eventBox().timeText(i), liveTimes[i]) << i;
    EXPECT_EQ(gapRows(), 1);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(dialogs.exceptions.isEmpty()) << dialogs.exceptions.join(QLatin1Char('\n')).toStdString();

    // Save as writes the panes as always, without times.
    dialogs.saveAnswer = QString::fromStdString(path("Spur.dat"));
    trigger("Speichernunter1");
    std::string da1;
    for (const std::string& l : replayed) da1 += l + "\r\n";
    EXPECT_EQ(readAll(path("Spur.DA1")), da1);
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);
}

// Logout or shutdown (SIGTERM, SIGHUP) ends the watch as Stopp does: the FAT
// is told to stop and the recording's manifest has its end and the signal.
TEST_F(Watch, SigtermEndsTheRecordingAsStoppDoes) {
    auto& app = *static_cast<Application*>(QCoreApplication::instance());
    for (const int sig : {SIGTERM, SIGHUP}) {
        testing::FakeFat fat;
        startRecording(fat.name, path("rec"));
        ASSERT_TRUE(fat.await("\nTRACEON"));
        fat.send(Reply +
                 "\x02"
                 "0012341000007"
                 "\x03"
                 "Z");
        ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));
        const std::string folder = w().engine().recorder()->folder();
        int ended = -1;
        app.watchSystemEnd([&](int s) {
            w().endBySystem(s);
            ended = s;
        });
        ::raise(sig);
        ASSERT_TRUE(testing::waitUntil([&] { return ended == sig; }, 3000));
        app.watchSystemEnd({});
        EXPECT_TRUE(fat.await("\nTRACEON\nTRACEOF"));
        const recording::Recording done = recording::readRecording(folder);
        EXPECT_EQ(done.manifest.reason, sig == SIGTERM ? "SIGTERM" : "SIGHUP");
        EXPECT_TRUE(done.manifest.end.has_value());
        EXPECT_TRUE(done.problems.empty());
        EXPECT_FALSE(w().session().running());
        EXPECT_TRUE(status().startsWith(QStringLiteral("Aufzeichnung beendet"))) << status().toStdString();
    }
    // A plain trace after it: the ended recording's state leaves the status bar.
    testing::FakeFat fat;
    w().comm().setDeviceName(fat.name);
    w().findChild<QPushButton*>(QStringLiteral("StartTrace"))->click();
    EXPECT_TRUE(fat.await("\nTRACEON"));
    EXPECT_FALSE(rec().statusLabel().isVisible());
    w().findChild<QPushButton*>(QStringLiteral("StoppTrace"))->click();
}

// A device back without an answer (a FAT still starting) counts as gone
// again: a second gap, no box, and the trace goes on once it answers.
TEST_F(Watch, ADeviceBackWithoutAnAnswerIsTriedAgainInsteadOfEndingTheTrace) {
    const std::string link = path("fat");
    const std::string telegram = std::string(
        "\x02"
        "0012341000007"
        "\x03"
        "Z");
    auto first = std::make_unique<testing::FakeFat>();
    fs::create_symlink(first->name, link);
    startRecording(link, path("rec"));
    ASSERT_TRUE(first->await("\nTRACEON"));
    first->send(Reply);
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));

    // The adapter comes back at once, but the FAT does not answer yet.
    testing::FakeFat second;
    fs::remove(link);
    fs::create_symlink(second.name, link);
    first->hangUp();
    ASSERT_TRUE(waitForPanel(QStringLiteral(" Verbindung unterbrochen ")));
    ASSERT_TRUE(second.await("\nTRACEON"));
    EXPECT_EQ(panel(), QStringLiteral(" Empfangsbereit "));
    ASSERT_TRUE(waitForPanel(QStringLiteral(" Verbindung unterbrochen "), 6000));  // the answer time-out
    EXPECT_TRUE(status().contains(QStringLiteral("Unterbrechungen: 2"))) << status().toStdString();
    EXPECT_TRUE(w().session().running());
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(QLatin1Char('\n')).toStdString();

    // Tried again 2 s later, and now it answers.
    ASSERT_TRUE(second.await("\nTRACEON\nTRACEON"));
    second.send(Reply);
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace "))) << panel().toStdString();
    const std::size_t before = w().eventPane().lineCount();
    ASSERT_TRUE(testing::waitUntil(
        [&] {
            second.send(telegram);
            return w().eventPane().lineCount() > before;
        },
        3000));

    // Gone once more, and Stopp while it is away ends the watch as always.
    second.hangUp();
    ASSERT_TRUE(waitForPanel(QStringLiteral(" Verbindung unterbrochen ")));
    w().findChild<QPushButton*>(QStringLiteral("StoppTrace"))->click();
    EXPECT_FALSE(w().session().running());
    EXPECT_EQ(panel(), QStringLiteral("  nicht aktiv  "));
    EXPECT_FALSE(w().comm().active());
    const recording::Recording done = recording::readRecording(w().engine().recorder()->folder());
    ASSERT_EQ(done.manifest.gaps.size(), 3u);
    EXPECT_TRUE(done.manifest.gaps[1].to.has_value());
    EXPECT_EQ(done.manifest.reason, "Stopp");
    EXPECT_TRUE(done.problems.empty());
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty())
        << dialogs.errors.join(QLatin1Char('\n')).toStdString()
        << dialogs.exceptions.join(QLatin1Char('\n')).toStdString();
}

// A recording that cannot begin, and one whose disk fails later: a clear
// message each, the live trace goes on, what was written stays readable.
TEST_F(Watch, ARecordingThatCannotBeWrittenIsSaidAndTheTraceGoesOn) {
    std::ofstream(path("night.TRC"), std::ios::binary) << ugmStream(3000);
    std::ofstream(path("not-a-folder")) << "x";
    testing::Process sim({ZINDRA_CLI, "simulate", path("night.TRC"), "--baud", "19200"}, path("sim.out"),
                         path("sim.err"));
    const std::string pty = sim.firstLine();
    ASSERT_FALSE(pty.empty());

    startRecording(pty, path("not-a-folder"));
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains(QStringLiteral("Die Aufzeichnung konnte nicht beginnen")));
    EXPECT_TRUE(dialogs.errors[0].contains(QString::fromStdString(path("not-a-folder"))))
        << dialogs.errors[0].toStdString();
    ASSERT_TRUE(waitForPanel(QStringLiteral(" UGM Trace ")));
    EXPECT_TRUE(status().startsWith(QStringLiteral("\u00DCberwachung ohne Aufzeichnung")))
        << status().toStdString();
    w().findChild<QPushButton*>(QStringLiteral("StoppTrace"))->click();

    // Files of this process may grow to 8 KiB from now on: the recording's
    // first segment soon cannot.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction old {};
    ::sigaction(SIGXFSZ, &ignore, &old);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 8192;
    ::setrlimit(RLIMIT_FSIZE, &small);
    startRecording(pty, path("rec"));
    ASSERT_TRUE(w().engine().recorder() != nullptr);
    const bool said = testing::waitUntil([&] { return dialogs.errors.size() == 2; }, 15000);
    const std::size_t eventsAtError = w().eventPane().lineCount();
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::sigaction(SIGXFSZ, &old, nullptr);
    ASSERT_TRUE(said) << status().toStdString();
    // Said in German, with why; tried again every 10 s.
    EXPECT_TRUE(
        dialogs.errors[1].contains(QStringLiteral("Die Aufzeichnung ist unterbrochen (Schreibfehler")))
        << dialogs.errors[1].toStdString();
    EXPECT_TRUE(dialogs.errors[1].contains(QStringLiteral("alle 10 s wieder versucht")));
    EXPECT_TRUE(status().startsWith(QStringLiteral("Aufzeichnung unterbrochen (Schreibfehler")))
        << status().toStdString();
    // The trace goes on in the panes.
    const QString lastEvent = QString::fromStdString(w().eventPane().line(eventsAtError - 1));
    EXPECT_TRUE(testing::waitUntil(
        [&] {
            return QString::fromStdString(w().eventPane().line(w().eventPane().lineCount() - 1)) != lastEvent;
        },
        5000));
    EXPECT_EQ(panel(), QStringLiteral(" UGM Trace "));
    w().findChild<QPushButton*>(QStringLiteral("StoppTrace"))->click();
    testing::processPending();
    EXPECT_EQ(dialogs.errors.size(), 2);  // said once

    // What was written replays.
    const std::string folder = w().engine().recorder()->folder();
    const testing::CliResult replayed = testing::runCli({"replay", folder});
    EXPECT_GT(replayed.out.size(), 0u) << replayed.err;
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);
}

// Replay given a folder that holds no recording, and a recording damaged in
// its index: each named in a box; everything readable is shown.
TEST_F(Watch, ReplayNamesWhatIsWrongWithAFolderAndShowsWhatIsReadable) {
    dialogs.folderAnswer = dir.path();
    trigger("AufzeichnungWiedergeben1");
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains(QStringLiteral("Keine Aufzeichnung zum Wiedergeben")));
    EXPECT_TRUE(dialogs.errors[0].contains(dir.path())) << dialogs.errors[0].toStdString();

    const std::string stream = ugmStream(300);
    recording::RecorderOptions options;
    options.parent = path("rec");
    options.format = recording::RecordingFormat::Text;  // a line of its index is garbled below
    fs::create_directories(options.parent);
    std::int64_t t = 1796729056000000;
    std::string folder;
    {
        recording::Recorder recorder(options, t);
        for (std::size_t at = 0; at < stream.size(); at += 80) {
            recorder.onChunk(reinterpret_cast<const std::uint8_t*>(stream.data()) + at,
                             std::min<std::size_t>(80, stream.size() - at), t += 1000);
        }
        recorder.finish("Stopp", t);
        folder = recorder.folder();
    }
    const Lines expected = lastLines(testing::runCli({"replay", folder}).out, 101);
    ASSERT_EQ(expected.size(), 101u);
    // A line in the middle of the index is garbled.
    std::string index = readAll(folder + "/0001.idx");
    const std::size_t middle = index.find('\n', index.size() / 2) + 1;
    index.replace(middle, 3, "x;y");
    std::ofstream(folder + "/0001.idx", std::ios::binary) << index;

    dialogs.folderAnswer = QString::fromStdString(folder);
    trigger("AufzeichnungWiedergeben1");
    ASSERT_EQ(dialogs.errors.size(), 2);
    EXPECT_TRUE(dialogs.errors[1].contains(QStringLiteral("ist besch\u00E4digt")))
        << dialogs.errors[1].toStdString();
    EXPECT_TRUE(dialogs.errors[1].contains(QStringLiteral("0001.idx"))) << dialogs.errors[1].toStdString();
    // The damage in German, as the window says everything.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("0001\\.idx: Zeile \\d+ ist besch\u00E4digt"))
                    .match(dialogs.errors[1])
                    .hasMatch())
        << dialogs.errors[1].toStdString();
    EXPECT_EQ(w().eventPane().lines(), expected);
    EXPECT_FALSE(w().session().running());
}

}  // namespace
}  // namespace zindra::app
