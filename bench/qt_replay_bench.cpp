// A full capture (19,999 bytes) replayed through the window's Qt panes,
// offscreen: the time from the Replay command to the end of the replay.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "app/about_box.h"
#include "app/application.h"
#include "app/dialogs.h"
#include "app/event_tools.h"
#include "app/trace_window.h"
#include "bench_dialogs.h"
#include "recording/recorder.h"
#include "resident.h"

namespace {

using namespace zindra;

using bench::FixedDialogs;

void waitFor(const std::function<bool()>& pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

// Shows the window and answers its about box, as a user does at the start.
void showPastAboutBox(app::TraceWindow& window) {
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&window] {
        if (window.aboutBox().isVisible()) window.aboutBox().okButton().click();
    });
    closer.start(5);
    window.show();
    waitFor([&] { return !window.aboutBox().isVisible() && window.isVisible(); }, 4000);
}

// Replays bytes through the window: as a .TRC file, or as a recording folder
// (80-byte chunks read 1 ms apart, in 10 MB segments).
// With `list`, the event list's window is open during the replay, and the
// process's resident memory at the end and at its peak are reported.
void runReplay(benchmark::State& st, const std::string& bytes, bool recorded = false, bool list = false) {
    QTemporaryDir dir;
    FixedDialogs dialogs;
    dialogs.file = dir.filePath(QStringLiteral("full.TRC"));
    if (recorded) {
        recording::RecorderOptions options;
        options.parent = QFile::encodeName(dir.path()).toStdString();
        std::int64_t t = 1796729056000000;
        recording::Recorder recorder(options, t);
        for (std::size_t at = 0; at < bytes.size(); at += 80) {
            const std::size_t n = std::min<std::size_t>(80, bytes.size() - at);
            recorder.onChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, n, t += 1000);
        }
        recorder.finish("Stopp", t);
        dialogs.file = QFile::decodeName(recorder.folder().c_str());
    } else {
        std::ofstream(QFile::encodeName(dialogs.file).toStdString(), std::ios::binary) << bytes;
    }
    app::TraceWindow window(dialogs);
    showPastAboutBox(window);
    waitFor([] { return false; }, 300);
    auto* replay = window.findChild<QAction*>(QStringLiteral("Replay1"));
    const auto resident = [] { return bench::residentBytes() / 1e6; };
    const auto peak = [] { return bench::peakResidentBytes() / 1e6; };
    double before = 0;
    if (list) {
        window.eventTools().showList();
        QCoreApplication::processEvents();
        // The bench's own copy of the bytes is in this already.
        before = resident();
        st.counters["resident_before_MB"] = before;
        st.counters["peak_before_MB"] = peak();
    }
    for (auto _ : st) {
        // Replay takes a folder as well as a file.
        replay->trigger();
        QCoreApplication::processEvents();  // let the panes paint
    }
    if (list) {
        window.eventTools().sync();
        QCoreApplication::processEvents();
        st.counters["events"] = static_cast<double>(window.eventTools().store().size());
        st.counters["resident_MB"] = resident();
        st.counters["grew_MB"] = resident() - before;
        st.counters["peak_resident_MB"] = peak();
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) *
                         static_cast<std::int64_t>(bytes.size()));
}

void FullCaptureDefault(benchmark::State& st) {
    std::string file = "UNBEKANNT\r\n";
    const std::string block(
        "\x02"
        "0123456789ABCD"
        "\x10\x06",
        17);
    while (file.size() < 19999) file += block;
    file.resize(19999);
    runReplay(st, file);
}
BENCHMARK(FullCaptureDefault)->Unit(benchmark::kMillisecond)->Iterations(10);

void FullCaptureUgm(benchmark::State& st) {
    std::ifstream in(std::string(ZINDRA_SAMPLES_DIR) + "/ugm.TRC", std::ios::binary);
    const std::string sample{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string body = sample.substr(sample.find('\n') + 1);
    std::string file = "UGM\r\n";
    while (file.size() < 19999) file += body;
    file.resize(19999);
    runReplay(st, file);
}
BENCHMARK(FullCaptureUgm)->Unit(benchmark::kMillisecond)->Iterations(10);

// A night's recording: the UGM sample's telegrams repeated to the argument's
// number of MB (1,000,000 bytes), replayed once.
std::string ugmNight(benchmark::State& st) {
    std::ifstream in(std::string(ZINDRA_SAMPLES_DIR) + "/ugm.TRC", std::ios::binary);
    const std::string sample{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string body = sample.substr(sample.find('\n') + 1);
    const auto size = static_cast<std::size_t>(st.range(0)) * 1000000;
    std::string file = "UGM\r\n";
    file.reserve(size + body.size());
    while (file.size() < size) file += body;
    file.resize(size);
    return file;
}

void NightUgm(benchmark::State& st) { runReplay(st, ugmNight(st)); }
BENCHMARK(NightUgm)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same night as a recording folder.
void NightUgmRecording(benchmark::State& st) { runReplay(st, ugmNight(st), true); }
BENCHMARK(NightUgmRecording)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(1);

// A weekend: the recording folder named by ZINDRA_WEEKEND_RECORDING (made by
// make_recording, e.g. 60 hours of UGM at 9600 baud in 80-byte chunks),
// replayed through Trace > Aufzeichnung wiedergeben with the event list
// open.  Counters: the longest turn of the event loop meanwhile (a 20 ms
// timer's longest wait), the events taken, resident memory at the end and
// at its peak.

void WeekendRecording(benchmark::State& st) {
    const QByteArray folder = qgetenv("ZINDRA_WEEKEND_RECORDING");
    if (folder.isEmpty()) {
        st.SkipWithError("ZINDRA_WEEKEND_RECORDING names no recording folder");
        return;
    }
    FixedDialogs dialogs;
    dialogs.folder = QFile::decodeName(folder);
    app::TraceWindow window(dialogs);
    showPastAboutBox(window);
    window.findChild<QAction*>(QStringLiteral("Ereignisliste1"))->trigger();
    waitFor([] { return false; }, 300);
    QElapsedTimer turn, since;
    qint64 longest = 0, longestAt = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 waited = turn.restart();
        if (waited > longest) {
            longest = waited;
            longestAt = since.elapsed();
        }
    });
    auto* replay = window.findChild<QAction*>(QStringLiteral("AufzeichnungWiedergeben1"));
    for (auto _ : st) {
        turn.start();
        since.start();
        ticker.start(20);
        replay->trigger();
        QCoreApplication::processEvents();
        ticker.stop();
    }
    st.counters["longest_turn_ms"] = static_cast<double>(longest);
    st.counters["longest_turn_ended_at_s"] = static_cast<double>(longestAt) / 1000;
    st.counters["events"] = static_cast<double>(window.eventTools().store().size());
    st.counters["rss_MB"] = bench::residentBytes() / 1e6;
    st.counters["peak_MB"] = bench::peakResidentBytes() / 1e6;
}
BENCHMARK(WeekendRecording)->Unit(benchmark::kMillisecond)->Iterations(1);

// A weekend's recording (207 MB) replayed with the event list open.
void WeekendUgmRecordingWithList(benchmark::State& st) { runReplay(st, ugmNight(st), true, true); }
BENCHMARK(WeekendUgmRecordingWithList)->Arg(207)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    app::Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
