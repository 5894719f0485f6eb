#include "app/recording_control.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

#include "app/dialogs.h"
#include "app/event_times.h"
#include "app/event_tools.h"
#include "app/recording_texts.h"
#include "app/trace_window.h"
#include "events/time_text.h"
#include "recording/format.h"
#include "recording/reader.h"

namespace zindra::app {
namespace {

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString shownPath(const std::string& path) {
    return QDir::toNativeSeparators(QFile::decodeName(path.c_str()));
}

// "812 KB", "12,3 MB"
QString sizeText(std::uint64_t bytes) {
    const QLocale german(QLocale::German);
    if (bytes < 1000000)
        return german.toString(static_cast<qulonglong>((bytes + 999) / 1000)) + QStringLiteral(" KB");
    return german.toString(static_cast<double>(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

// "01:02:03", hours going on past a day.
QString durationText(std::int64_t us) {
    const std::int64_t s = std::max<std::int64_t>(0, us / 1000000);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString clock(std::int64_t utc) { return QString::fromLatin1(events::clockTime(utc)); }

// A label that takes the room it is given: what does not fit is cut with an
// ellipsis where it is drawn; text() and the tooltip keep it whole.
class ElidedLabel final : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
    QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect r = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, r.width());
        style()->drawItemText(&painter, r, static_cast<int>(alignment()), palette(), isEnabled(), shown,
                              foregroundRole());
    }
};

}  // namespace

RecordingControl::RecordingControl(TraceWindow& window, Dialogs& dialogs, live::Engine& engine,
                                   TimedBox& eventBox)
    : window_(window),
      dialogs_(dialogs),
      engine_(engine),
      eventBox_(eventBox),
      session_(window.session()),
      eventPane_(window.eventPane()) {
    status_ = new ElidedLabel(&window);
    status_->setObjectName(QStringLiteral("RecordingStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->hide();
    eventBox_.setTimeSource([this](std::size_t line) { return eventPane_.shownTime(line); });
    session_.eventListeners().add(*this);
}

RecordingControl::~RecordingControl() {
    eventBox_.setTimeSource({});
    session_.eventListeners().remove(*this);
}

void RecordingControl::addActions(QMenu& menu,
                                  const std::function<void(QAction*, void (RecordingControl::*)())>& bind) {
    startAction_ = menu.addAction(QStringLiteral("Start mit &Aufzeichnung\u2026"));
    startAction_->setObjectName(QStringLiteral("StartAufzeichnung1"));
    bind(startAction_, &RecordingControl::startRecordingClick);
    replayAction_ = menu.addAction(QStringLiteral("Aufzeichnung &wiedergeben\u2026"));
    replayAction_->setObjectName(QStringLiteral("AufzeichnungWiedergeben1"));
    bind(replayAction_, &RecordingControl::replayRecordingClick);
    timesAction_ = menu.addAction(QStringLiteral("&Zeiten der Ereignisse"));
    timesAction_->setObjectName(QStringLiteral("Ereigniszeiten1"));
    timesAction_->setCheckable(true);
    connect(timesAction_, &QAction::toggled, this, [this](bool on) { setTimesShown(on); });
}

QString RecordingControl::defaultFolder() const {
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty()) docs = QDir::homePath();
    return QDir(docs).filePath(QStringLiteral("Zindra Aufzeichnungen"));
}

void RecordingControl::setTimesShown(bool shown) {
    if (timesAction_->isChecked() != shown) timesAction_->setChecked(shown);  // comes back here
    eventBox_.setTimesShown(shown);
    window_.placeColumnLabels();
}

void RecordingControl::startRecordingClick() {
    const QString initial = lastParent_.isEmpty() ? defaultFolder() : lastParent_;
    // The default folder is made for the dialog to open in.
    if (lastParent_.isEmpty()) QDir().mkpath(initial);
    const QString parent =
        dialogs_.chooseFolder(&window_, QStringLiteral("Ordner f\u00FCr die Aufzeichnung"), initial);
    if (parent.isEmpty()) return;
    lastParent_ = parent;
    live::StartOptions options;
    options.record = recording::RecorderOptions{localPath(parent), {}, "Zindra " ZINDRA_VERSION};
    if (!engine_.start(options)) return;
    setTimesShown(true);
    if (const auto st = engine_.recordingStatus()) lastRecording_ = QFile::decodeName(st->folder.c_str());
    showStatus();
}

void RecordingControl::notStarted(const std::string& sentence) {
    showStatus();
    // The trace runs on without a recording.
    dialogs_.error(&window_, QStringLiteral("\n Die Aufzeichnung konnte nicht beginnen: \n %1 \n\n"
                                            " Der Trace l\u00E4uft ohne Aufzeichnung weiter. \n")
                                 .arg(germanRecordingText(sentence)));
}

void RecordingControl::replayRecordingClick() {
    const QString initial = !lastRecording_.isEmpty() ? lastRecording_
                            : !lastParent_.isEmpty()  ? lastParent_
                                                      : defaultFolder();
    const QString folder =
        dialogs_.chooseFolder(&window_, QStringLiteral("Aufzeichnung wiedergeben"), initial);
    if (folder.isEmpty()) return;
    window_.replayPath(folder);
}

void RecordingControl::replayFolder(const QString& folder, const std::function<void()>& processEvents) {
    recording::Recording recording;
    // While the indexes are checked, the window paints and its timers run,
    // but takes no clicks or keys yet: the replay has not begun.
    QElapsedTimer sincePaint;
    sincePaint.start();
    const auto paint = [&sincePaint] {
        if (sincePaint.elapsed() < TraceWindow::EventInterval) return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sincePaint.start();
    };
    try {
        recording = recording::readRecording(localPath(folder), paint);
    } catch (const recording::RecordingError& e) {
        dialogs_.error(&window_, QStringLiteral("\n Keine Aufzeichnung zum Wiedergeben: \n %1 \n")
                                     .arg(germanRecordingText(e.what())));
        return;
    }
    lastRecording_ = folder;
    setTimesShown(true);
    replayed_ = events::ReportSource{};
    replayed_.name = QDir::toNativeSeparators(folder).toStdString();
    replayed_.port = recording.manifest.port;
    replayed_.start = recording.manifest.start;
    replayed_.end = recording.manifest.end;
    replayed_.endReason = recording.manifest.reason;
    for (const recording::SegmentFile& seg : recording.segments) replayed_.bytes += seg.size;
    for (const recording::Gap& g : recording.manifest.gaps)
        replayed_.gaps.push_back({g.from, g.to.value_or(recording.manifest.end.value_or(g.from))});
    window_.eventTools().setGaps(replayed_.gaps);
    // Each gap is a row of its own in the event list, where it happened.
    recording::replayRecording(session_, recording, processEvents, {}, [&](const recording::Gap& gap) {
        window_.eventTools().addGap(gap.from, recording.manifest.protocol, recording::gapText(gap));
    });
    for (const std::string& p : recording.problems) replayed_.problems.push_back(p);
    if (recording.problems.empty()) return;
    QStringList problems;
    for (const std::string& p : recording.problems) problems << germanRecordingText(p);
    dialogs_.error(&window_,
                   QStringLiteral("\n Die Aufzeichnung %1 %2: \n\n %3 \n\n"
                                  " Alles Lesbare davor ist gezeigt. \n")
                       .arg(QDir::toNativeSeparators(folder),
                            recording.damaged      ? QStringLiteral("ist besch\u00E4digt")
                            : recording.incomplete ? QStringLiteral("hat L\u00FCcken")
                                                   : QStringLiteral("wurde nicht ordentlich beendet"),
                            problems.join(QStringLiteral(" \n "))));
}

void RecordingControl::onEvent(const decoders::EventRecord& record, trace::ChunkTime time) {
    // A record with a line comes right after its line went into the pane.
    if (!record.line.empty()) eventPane_.stampLastLine(time);
}

void RecordingControl::traceButtons(bool running) {
    if (startAction_ == nullptr) return;
    startAction_->setEnabled(!running);
    replayAction_->setEnabled(!running);
    // A new trace: the state of an earlier recording goes from the status bar.
    if (running) showStatus();
}

void RecordingControl::failed() {
    const auto st = engine_.recordingStatus();
    if (!st || !st->interruption) return;
    const QString why = QString::fromStdString(st->interruption->why);
    const QString folder = shownPath(st->folder);
    const int every = static_cast<int>(recording::DefaultRetryInterval.count());
    // After the engine's call has returned: the box waits for the user, the
    // trace goes on meanwhile.
    QTimer::singleShot(0, this, [this, why, folder, every] {
        dialogs_.error(&window_,
                       QStringLiteral("\n Die Aufzeichnung ist unterbrochen (%1): \n %2 \n\n"
                                      " Sie wird alle %3 s wieder versucht und geht dann in einem \n"
                                      " neuen Abschnitt weiter. Was bis dahin geschrieben wurde, \n"
                                      " bleibt lesbar; der Trace l\u00E4uft weiter. \n")
                           .arg(why, folder)
                           .arg(every));
    });
}

void RecordingControl::showStatus() {
    QStatusBar* bar = window_.statusBar();
    if (status_->parentWidget() != bar) bar->addPermanentWidget(status_, 1);
    // What matters most comes first: a missing device, then the figures; the
    // folder last.  What the window has no room for is cut at its edge (the
    // tooltip holds it all).
    QStringList parts;
    QString folder;
    bool failed = false;
    const bool watching = engine_.watching();
    const bool away = watching && engine_.disconnected();
    if (away) parts << QStringLiteral("Ger\u00E4t fehlt, neuer Versuch alle 2 s");
    if (const auto s = engine_.recordingStatus()) {
        failed = s->interruption.has_value();
        folder = shownPath(s->folder);
        if (failed) {
            parts << QStringLiteral("Aufzeichnung unterbrochen (%1) seit %2, neuer Versuch alle %3 s")
                         .arg(QString::fromStdString(s->interruption->why), clock(s->interruption->from))
                         .arg(static_cast<int>(recording::DefaultRetryInterval.count()));
        }
        parts << (watching ? QStringLiteral("Aufzeichnung") : QStringLiteral("Aufzeichnung beendet")) +
                     QStringLiteral(": ") + sizeText(s->bytes);
        parts << durationText(s->elapsedUs);
        if (s->interruptions > 0)
            parts << QStringLiteral("L\u00FCcken der Aufzeichnung: %1").arg(s->interruptions);
    } else if (watching) {
        parts << QStringLiteral("\u00DCberwachung ohne Aufzeichnung");
    } else {
        status_->hide();
        return;
    }
    const std::vector<recording::Gap>& gapList = engine_.gaps();
    QString gaps = QStringLiteral("Unterbrechungen: %1").arg(gapList.size());
    if (!gapList.empty()) {
        const recording::Gap& g = gapList.back();
        gaps += QStringLiteral(" (zuletzt %1\u2013%2)")
                    .arg(clock(g.from), g.to ? clock(*g.to) : QStringLiteral("\u2026"));
    }
    parts << gaps;
    if (!folder.isEmpty()) parts << folder;
    status_->setText(parts.join(QStringLiteral("  |  ")));
    status_->setToolTip(parts.join(QLatin1Char('\n')));
    QPalette pal = status_->palette();
    pal.setColor(QPalette::WindowText,
                 failed || away ? QColor(200, 0, 0) : window_.palette().color(QPalette::WindowText));
    status_->setPalette(pal);
    status_->show();
}

}  // namespace zindra::app
