#include "app/recording_control.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>

#include "app/dialogs.h"
#include "app/event_times.h"
#include "app/trace_window.h"
#include "events/time_text.h"
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

}  // namespace

RecordingControl::RecordingControl(TraceWindow& window, Dialogs& dialogs, trace::TracePort& port,
                                   TimedBox& eventBox)
    : window_(window),
      dialogs_(dialogs),
      port_(port),
      eventBox_(eventBox),
      session_(window.session()),
      eventPane_(window.eventPane()) {
    status_ = new QLabel(&window);
    status_->setObjectName(QStringLiteral("RecordingStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->hide();
    timer_ = new QTimer(this);
    timer_->setInterval(TickInterval);
    connect(timer_, &QTimer::timeout, this, [this] { tick(); });
    eventBox_.setTimeSource([this](std::size_t line) { return eventPane_.shownTime(line); });
    session_.eventListeners().add(*this);
}

RecordingControl::~RecordingControl() {
    eventBox_.setTimeSource({});
    session_.eventListeners().remove(*this);
    if (recorder_) {
        session_.setChunkSink(nullptr);
        session_.eventListeners().remove(*recorder_);
    }
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
    reason_.clear();
    if (!trace::startTrace(session_, port_)) return;
    watching_ = true;
    gaps_.clear();
    cable_ = trace::CableWatch{};
    failureShown_ = false;
    recorder_.reset();
    setTimesShown(true);
    timer_->start();
    try {
        recording::RecorderOptions options;
        options.parent = localPath(parent);
        options.port = port_.deviceName();
        options.version = "Zindra " ZINDRA_VERSION;
        recorder_ = std::make_unique<recording::Recorder>(options);
        session_.setChunkSink(recorder_.get());
        session_.eventListeners().add(*recorder_);
        lastRecording_ = QFile::decodeName(recorder_->folder().c_str());
    } catch (const recording::RecordingError& e) {
        recorder_.reset();
        showStatus();
        // The trace runs on without a recording.
        dialogs_.error(&window_, QStringLiteral("\n Die Aufzeichnung konnte nicht beginnen: \n %1 \n\n"
                                                " Der Trace l\u00E4uft ohne Aufzeichnung weiter. \n")
                                     .arg(QString::fromLocal8Bit(e.what())));
    }
    showStatus();
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
    try {
        recording = recording::readRecording(localPath(folder));
    } catch (const recording::RecordingError& e) {
        dialogs_.error(&window_, QStringLiteral("\n Keine Aufzeichnung zum Wiedergeben: \n %1 \n")
                                     .arg(QString::fromLocal8Bit(e.what())));
        return;
    }
    lastRecording_ = folder;
    setTimesShown(true);
    recording::replayRecording(session_, recording, processEvents);
    if (recording.problems.empty()) return;
    QStringList problems;
    for (const std::string& p : recording.problems) problems << QString::fromLocal8Bit(p.c_str());
    dialogs_.error(&window_, QStringLiteral("\n Die Aufzeichnung %1 %2: \n\n %3 \n\n"
                                            " Alles Lesbare davor ist gezeigt. \n")
                                 .arg(QDir::toNativeSeparators(folder),
                                      recording.damaged ? QStringLiteral("ist besch\u00E4digt")
                                                        : QStringLiteral("wurde nicht ordentlich beendet"),
                                      problems.join(QStringLiteral(" \n "))));
}

void RecordingControl::onEvent(const decoders::EventRecord& record, trace::ChunkTime time) {
    // A record with a line comes right after its line went into the pane.
    if (!record.line.empty()) eventPane_.stampLastLine(time);
}

void RecordingControl::traceButtons(bool running) {
    if (startAction_ != nullptr) {
        startAction_->setEnabled(!running);
        replayAction_->setEnabled(!running);
    }
    if (running || !watching_) return;
    std::string reason = reason_;
    if (reason.empty()) {
        switch (session_.identOutcome()) {
            case trace::IdentOutcome::NoReply: reason = "no answer from the FAT"; break;
            case trace::IdentOutcome::Unmatched: reason = "the reply names no known panel type"; break;
            default: reason = "Stopp"; break;
        }
    }
    endRecording(reason);
}

void RecordingControl::endRecording(const std::string& reason) {
    watching_ = false;
    timer_->stop();
    const std::int64_t now = trace::utcMicrosNow();
    if (cable_.disconnected() && !gaps_.empty() && !gaps_.back().to) gaps_.back().to = now;
    cable_ = trace::CableWatch{};
    if (recorder_) {
        session_.setChunkSink(nullptr);
        session_.eventListeners().remove(*recorder_);
        recorder_->finish(reason, now);
    }
    showStatus();
}

bool RecordingControl::deviceLost() {
    if (!watching_ || !session_.running()) return false;
    const std::int64_t now = trace::utcMicrosNow();
    if (!cable_.disconnected()) {
        cable_.lost(port_, now);
        gapBegan(now);
    } else {
        cable_.lost(port_, now);
    }
    return true;
}

bool RecordingControl::answerMissing() {
    if (!watching_) return false;
    const std::int64_t now = trace::utcMicrosNow();
    if (!cable_.answerMissing(session_, port_, now)) return false;
    gapBegan(now);
    return true;
}

void RecordingControl::gapBegan(std::int64_t now) {
    gaps_.push_back(recording::Gap{now, std::nullopt});
    if (recorder_) recorder_->gapBegan(now);
    window_.setPanelCaption(" Verbindung unterbrochen ");
    window_.setPanelColour(trace::PanelColour::ButtonFace);
    showStatus();
}

void RecordingControl::tick() {
    if (recorder_) {
        recorder_->tick();
        if (!recorder_->status().lastError.empty()) reportFailure();
    }
    if (watching_ && cable_.disconnected() && session_.running()) {
        if (cable_.retry(session_, port_)) {
            const std::int64_t now = trace::utcMicrosNow();
            if (!gaps_.empty()) gaps_.back().to = now;
            if (recorder_) recorder_->gapEnded(now);
        }
    }
    showStatus();
}

void RecordingControl::reportFailure() {
    if (failureShown_) return;
    failureShown_ = true;
    const QString text = QString::fromLocal8Bit(recorder_->status().lastError.c_str());
    // After this tick has returned: the box waits for the user, the trace
    // goes on meanwhile.
    QTimer::singleShot(0, this, [this, text] {
        dialogs_.error(&window_, QStringLiteral("\n Die Aufzeichnung ist angehalten: \n %1 \n\n"
                                                " Was bis dahin geschrieben wurde, bleibt lesbar; \n"
                                                " der Trace l\u00E4uft weiter. \n")
                                     .arg(text));
    });
}

void RecordingControl::showStatus() {
    QStatusBar* bar = window_.statusBar();
    if (status_->parentWidget() != bar) bar->addPermanentWidget(status_, 1);
    // The folder comes last: a long path may be cut off by the window's edge
    // (the tooltip holds it whole), the figures may not.
    QStringList parts;
    QString folder;
    bool failed = false;
    if (recorder_) {
        const recording::RecorderStatus s = recorder_->status();
        failed = !s.lastError.empty();
        folder = shownPath(s.folder);
        parts << (failed      ? QStringLiteral("Aufzeichnung angehalten")
                  : watching_ ? QStringLiteral("Aufzeichnung")
                              : QStringLiteral("Aufzeichnung beendet")) +
                     QStringLiteral(": ") + sizeText(s.bytes);
        parts << durationText(s.elapsedUs);
    } else if (watching_) {
        parts << QStringLiteral("\u00DCberwachung ohne Aufzeichnung");
    } else {
        status_->hide();
        return;
    }
    QString gaps = QStringLiteral("Unterbrechungen: %1").arg(gaps_.size());
    if (!gaps_.empty()) {
        const recording::Gap& g = gaps_.back();
        gaps += QStringLiteral(" (zuletzt %1\u2013%2)")
                    .arg(clock(g.from), g.to ? clock(*g.to) : QStringLiteral("\u2026"));
    }
    parts << gaps;
    if (watching_ && cable_.disconnected()) {
        parts << QStringLiteral("Ger\u00E4t fehlt, neuer Versuch alle 2 s");
    }
    if (!folder.isEmpty()) parts << folder;
    status_->setText(parts.join(QStringLiteral("  |  ")));
    status_->setToolTip(folder);
    QPalette pal = status_->palette();
    pal.setColor(QPalette::WindowText, failed || (watching_ && cable_.disconnected())
                                           ? QColor(200, 0, 0)
                                           : window_.palette().color(QPalette::WindowText));
    status_->setPalette(pal);
    status_->show();
}

}  // namespace zindra::app
