#include "app/trace_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "app/about_box.h"
#include "app/application.h"
#include "app/cp1252.h"
#include "app/dialogs.h"
#include "app/event_times.h"
#include "app/event_tools.h"
#include "app/pane_search.h"
#include "app/recording_control.h"
#include "app/settings_dialog.h"
#include "app/ui_bridge.h"
#include "live/comm_port.h"
#include "recording/format.h"
#include "serial/comm.h"
#include "trace/identify.h"
#include "trace/replay.h"
#include "trace/save.h"

namespace zindra::app {
namespace {

// Gaps as spans; one that lasts is taken up to now.
std::vector<events::TimeSpan> timeSpans(const std::vector<recording::Gap>& gaps, std::int64_t now) {
    std::vector<events::TimeSpan> spans;
    for (const recording::Gap& g : gaps) spans.push_back({g.from, g.to.value_or(now)});
    return spans;
}

const char* const CloseQuestion =
    "\n   A C H T U N G      Daten wurden ge\xE4ndert      \n\n\r   Abspeichern   \n\n";

template <class Box = QPlainTextEdit>
Box* makeBox(QWidget* parent, const char* name, QRect geometry) {
    auto* box = new Box(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setGeometry(geometry);
    return box;
}

OpenFileRequest replayRequest(const QString& initialName) {
    return {QStringLiteral("\u00D6ffnen Tracedatei"), QStringLiteral("Trace Daten (*.TRC)"),
            QStringLiteral("TRC"), initialName};
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint pos) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(pos);
    label->adjustSize();
    return label;
}

// Message texts put their line breaks as "\n\r"; the carriage returns carry
// no meaning of their own on screen.
QString messageText(const std::string& cp1252) {
    QString s = fromCp1252(cp1252);
    s.remove(QLatin1Char('\r'));
    return s;
}

// No window may be larger than the largest screen.
QSize largestScreen() {
    QSize max(0, 0);
    for (const QScreen* screen : QGuiApplication::screens()) max = max.expandedTo(screen->geometry().size());
    return max.isEmpty() ? QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) : max;
}

}  // namespace

template <class Sender, class Signal>
void TraceWindow::bind(Sender* sender, Signal signal, void (TraceWindow::*handler)()) {
    connect(sender, signal, this,
            [this, handler] { runGuarded(dialogs_, this, [this, handler] { (this->*handler)(); }); });
}

TraceWindow::TraceWindow(Dialogs& dialogs, QWidget* parent)
    : TraceWindow(dialogs, configFilePath(), parent) {}

TraceWindow::TraceWindow(Dialogs& dialogs, const QString& configPath, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), configPath_(configPath), bridge_(std::make_unique<UiBridge>()) {
    setObjectName(QStringLiteral("Trace"));
    setWindowTitle(QStringLiteral("Trace"));
    createControls();
    createMenus();

    textPane_ = std::make_unique<TextBoxPane>(*textBox_);
    hexPane_ = std::make_unique<TextBoxPane>(*hexBox_);
    eventPane_ = std::make_unique<TextBoxPane>(*eventBox_);
    panes_ = std::make_unique<trace::Panes>(trace::Panes{*textPane_, *hexPane_, *eventPane_});
    // The session starts with the default decoder.
    session_ = std::make_unique<trace::TraceSession>(*panes_, static_cast<trace::TraceUi&>(*this));
    createPort();
    engine_ = std::make_unique<live::Engine>(*session_, *port_, static_cast<live::Observer&>(*this), clock_);
    recording_ = std::make_unique<RecordingControl>(*this, dialogs_, *engine_, *eventBox_);
    traceMenu_->addSeparator();
    recording_->addActions(*traceMenu_, [this](QAction* action, void (RecordingControl::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] {
            runGuarded(dialogs_, this, [this, handler] { (recording_.get()->*handler)(); });
        });
    });
    paneSearch_ = new PaneSearch(*this, {eventBox_, hexBox_, textBox_});
    eventTools_ = std::make_unique<EventTools>(*this, *session_, dialogs_, configPath_,
                                               [this] { return comm_->active(); });
    eventTools_->setReportSource([this] { return reportSource(); });

    loadSettings();
    formResize();

    // The two dialogs come after the main window and live as long as it does.
    settingsDialog_ = new SettingsDialog(this);
    aboutBox_ = new AboutBox(this);
}

TraceWindow::~TraceWindow() = default;

void TraceWindow::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);

    hexBox_ = makeBox(client, "Memo2", QRect(8, 4, 597, 129));
    hexBox_->setFont(paneFont(true));
    textBox_ = makeBox(client, "Memo1", QRect(8, 148, 597, 133));
    textBox_->setFont(paneFont(true));
    eventBox_ = makeBox<TimedBox>(client, "Memo3", QRect(8, 304, 409, 101));
    eventBox_->setFont(paneFont(false));

    const char* const names[4] = {"Label1", "Label2", "Label3", "Label4"};
    const char* const texts[4] = {"Linie", "Melder", "LZ", "LZ(hex)"};
    for (int i = 0; i < 4; ++i) {
        columnLabels_[i] = makeLabel(client, names[i], QString::fromLatin1(texts[i]), QPoint(0, 280));
    }
    placeColumnLabels();
    countLabel_ = makeLabel(client, "Label5", QStringLiteral("Label5"), QPoint(440, 408));

    statusPanel_ = new QLabel(QStringLiteral("nicht aktiv"), client);
    statusPanel_->setObjectName(QStringLiteral("Panel1"));
    statusPanel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    statusPanel_->setAlignment(Qt::AlignCenter);
    statusPanel_->setAutoFillBackground(true);
    statusPanel_->setGeometry(428, 284, 180, 60);
    setPanelColour(trace::PanelColour::ButtonFace);

    startButton_ = new QPushButton(QStringLiteral("&Start"), client);
    startButton_->setObjectName(QStringLiteral("StartTrace"));
    startButton_->setGeometry(428, 352, 75, 50);
    stoppButton_ = new QPushButton(QStringLiteral("S&topp"), client);
    stoppButton_->setObjectName(QStringLiteral("StoppTrace"));
    stoppButton_->setGeometry(532, 352, 75, 50);
    stoppButton_->setEnabled(false);
    bind(startButton_, &QPushButton::clicked, &TraceWindow::startTraceClick);
    bind(stoppButton_, &QPushButton::clicked, &TraceWindow::stoppTraceClick);

    // One-shot in use: its handler stops it first.
    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setTimerType(Qt::PreciseTimer);
    timer1_->setInterval(4000);
    bind(timer1_, &QTimer::timeout, &TraceWindow::timer1Timer);
    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(static_cast<int>(live::PollInterval.count()));
    connect(pollTimer_, &QTimer::timeout, this,
            [this] { runGuarded(dialogs_, this, [this] { engine_->poll(); }); });
}

void TraceWindow::placeColumnLabels() {
    // Each heading ends where its column of the event lines ends
    // ("   786       07       65    41").
    const int columnEnds[4] = {6, 15, 24, 30};
    const qreal textLeft = eventBox_->x() + eventBox_->frameWidth() + eventBox_->marginWidth() +
                           eventBox_->document()->documentMargin();
    const qreal charWidth = QFontMetricsF(eventBox_->font()).horizontalAdvance(QLatin1Char('0'));
    // A heading wider than the room after the one before it (a large system
    // font) is drawn smaller rather than over its neighbour.
    int previousEnd = qRound(textLeft);
    for (int i = 0; i < 4; ++i) {
        QLabel* label = columnLabels_[i];
        label->setFont(QFont());  // the window's font again, before any shrinking
        label->adjustSize();
        const int right = qRound(textLeft + columnEnds[i] * charWidth);
        const int room = right - previousEnd - 4;
        for (int step = 0; label->width() > room && step < 8; ++step) {
            QFont f = label->font();
            f.setPointSizeF(f.pointSizeF() * 0.9);
            label->setFont(f);
            label->adjustSize();
        }
        label->move(right - label->width(), label->y());
        previousEnd = right;
    }
    // Label5 stands at 440, unless the headings moved that far right.
    const int afterHeadings = columnLabels_[3]->x() + columnLabels_[3]->width() + 10;
    if (countLabel_ != nullptr) countLabel_->move(std::max(440, afterHeadings), countLabel_->y());
}

void TraceWindow::createMenus() {
    QMenuBar* bar = menuBar();
    auto entry = [this](QWidget* menu, const char* name, const QString& text,
                        void (TraceWindow::*handler)()) {
        auto* action = new QAction(text, menu);
        action->setObjectName(QString::fromLatin1(name));
        menu->addAction(action);
        if (handler != nullptr) bind(action, &QAction::triggered, handler);
        return action;
    };

    QMenu* datei = bar->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName(QStringLiteral("Datei1"));
    entry(datei, "Neu1", QStringLiteral("&Neu"), &TraceWindow::clear);
    entry(datei, "Speichernunter1", QStringLiteral("Speichern &unter"), &TraceWindow::speichernUnterClick);
    datei->addSeparator();
    QAction* beenden = entry(datei, "Beenden1", QStringLiteral("&Beenden"), nullptr);
    connect(beenden, &QAction::triggered, this, &QWidget::close);

    QMenu* traceMenu = traceMenu_ = bar->addMenu(QStringLiteral("&Trace"));
    traceMenu->setObjectName(QStringLiteral("Trace1"));
    // These two entries carry no action; the buttons start and stop.
    // They show, as the buttons do, which of the two is possible.
    startAction_ = entry(traceMenu, "Start1", QStringLiteral("&Start"), nullptr);
    stoppAction_ = entry(traceMenu, "Stopp1", QStringLiteral("S&topp"), nullptr);
    stoppAction_->setEnabled(false);
    entry(traceMenu, "Clear1", QStringLiteral("&Clear"), &TraceWindow::clear);
    traceMenu->addSeparator();
    entry(traceMenu, "Konfiguration1", QStringLiteral("&Konfiguration"), &TraceWindow::konfigurationClick);
    protokollAction_ = entry(traceMenu, "ProtokollWaehlen1", QStringLiteral("Protokoll w\u00E4h&len\u2026"),
                             &TraceWindow::protokollWaehlenClick);

    // Menu-bar items without entries: a click acts at once.
    replayAction_ = entry(bar, "Replay1", QStringLiteral("&Replay"), &TraceWindow::replayClick);
    entry(bar, "Hilfe1", QStringLiteral("&Hilfe"), &TraceWindow::hilfeClick);
}

void TraceWindow::createPort() {
    comm_ = std::make_unique<serial::Comm>();
    comm_->setBaudrate(serial::Baudrate::br9600);
    comm_->setDispatcher(bridge_->dispatcher());
    // Errors of the port's threads and handlers reach the standard error
    // display on the UI thread, after the call that raised them.
    comm_->setExceptionHandler([post = bridge_->poster(), this](std::exception_ptr e) {
        QString text;
        try {
            std::rethrow_exception(e);
        } catch (...) {
            text = currentExceptionText();
        }
        // Runs only while the window (and with it the bridge) exists.
        post([this, text] { dialogs_.exception(this, text); });
    });
    comm_->onRxChar = [this](serial::Comm&, int) { onBytesReady(); };
    comm_->onHangup = [this](serial::Comm&) { onHangup(); };
    port_ = std::make_unique<live::CommPort>(*comm_);
}

void TraceWindow::loadSettings() {
    const Config config = loadConfig(configPath_, largestScreen());
    comm_->setDeviceName(config.deviceName);
    setOuterSize(config.width, config.height);
}

void TraceWindow::saveSettings() {
    Config config;
    const QSize size = outerSize();
    config.height = size.height();
    config.width = size.width();
    config.deviceName = comm_->deviceName();
    if (saveConfig(configPath_, config) || configErrorShown_) return;
    // Said once; the window's own work is not held up by it.
    configErrorShown_ = true;
    dialogs_.error(this, QStringLiteral("\n Die Einstellungen konnten nicht gespeichert werden: \n %1 \n")
                             .arg(QDir::toNativeSeparators(configPath_)));
}

QSize TraceWindow::outerSize() const {
    // Unchanged by the user: exactly what was set (and read), also while the
    // window manager has not told the frame yet.
    if (configuredOuter_ && size() == configuredInner_) return *configuredOuter_;
    return frameGeometry().size();
}

void TraceWindow::setOuterSize(int width, int height) {
    // Before the window is shown, and under some window managers for a while
    // after, the frame is not known; adoptFrame sets the size again then.
    configuredFrame_ = frameGeometry().size() - geometry().size();
    configuredOuter_ = QSize(width, height);
    configuredInner_ =
        QSize(std::max(0, width - configuredFrame_.width()), std::max(0, height - configuredFrame_.height()));
    resize(configuredInner_);
}

void TraceWindow::adoptFrame() {
    // Only while the size is still the configured one: a size the user gave
    // the window stays his.
    if (!configuredOuter_ || !isVisible() || size() != configuredInner_) return;
    if (frameGeometry().size() - geometry().size() != configuredFrame_) {
        setOuterSize(configuredOuter_->width(), configuredOuter_->height());
    }
}

// --- what the trace session asks of the window

void TraceWindow::setCaption(const std::string& caption) {
    setWindowTitle(fromCp1252(caption, Controls::Pictures));
}

void TraceWindow::setPanelCaption(const std::string& caption) { statusPanel_->setText(fromCp1252(caption)); }

void TraceWindow::setPanelColour(trace::PanelColour colour) {
    QPalette pal = statusPanel_->palette();
    pal.setColor(QPalette::Window, colour == trace::PanelColour::Red
                                       ? QColor(255, 0, 0)
                                       : QApplication::palette().color(QPalette::Button));
    statusPanel_->setPalette(pal);
}

void TraceWindow::setCaptureCount(const std::string& text) {
    const QString caption = fromCp1252(text);
    if (caption == countLabel_->text()) return;  // every dispatch sets it
    countLabel_->setText(caption);
    countLabel_->adjustSize();
}

void TraceWindow::showError(const std::string& text) { dialogs_.error(this, messageText(text)); }

void TraceWindow::setTraceButtons(bool running) {
    stoppButton_->setEnabled(running);
    startButton_->setEnabled(!running);
    startAction_->setEnabled(!running);
    stoppAction_->setEnabled(running);
    // A replay's bytes would mix into a live trace, and its end stop it.
    replayAction_->setEnabled(!running);
    protokollAction_->setEnabled(!running);
    if (recording_) recording_->traceButtons(running);
    if (running && engine_ && engine_->live()) {
        source_ = Source::Live;
        eventTools_->setGaps({});
    }
    if (running) {
        pollTimer_->start();
    } else {
        pollTimer_->stop();
    }
}

events::ReportSource TraceWindow::reportSource() const {
    events::ReportSource s;
    s.program = "Zindra " ZINDRA_VERSION;
    if (session_->identOutcome() == trace::IdentOutcome::Matched) s.protocol = session_->identText();
    switch (source_) {
        case Source::Live: {
            s.port = comm_->deviceName();
            s.name = "Live-Trace an " + s.port;
            if (const auto st = engine_->recordingStatus()) {
                s.name = QDir::toNativeSeparators(QFile::decodeName(st->folder.c_str())).toStdString();
                s.bytes = st->bytes;
                s.start = st->startUtc;
                s.end = st->startUtc + st->elapsedUs;
            }
            s.gaps = timeSpans(engine_->gaps(), clock_.utcMicros());
            if (engine_->lastEnd()) s.endReason = live::reasonTextGerman(*engine_->lastEnd());
            break;
        }
        case Source::File:
            s.name = QDir::toNativeSeparators(lastReplayFile_).toStdString();
            s.bytes = static_cast<std::uint64_t>(QFileInfo(lastReplayFile_).size());
            break;
        case Source::Recording: {
            const events::ReportSource& r = recording_->replayedSource();
            s.name = r.name;
            s.port = r.port;
            s.start = r.start;
            s.end = r.end;
            s.bytes = r.bytes;
            s.gaps = r.gaps;
            s.endReason = r.endReason;
            s.problems = r.problems;
            break;
        }
        case Source::None: s.name = "Ereignisse des Fensters"; break;
    }
    return s;
}

// --- what the live engine reports

void TraceWindow::answerAwaited(std::chrono::milliseconds within) {
    timer1_->start(static_cast<int>(within.count()));
}

void TraceWindow::recordingNotStarted(const std::string& sentence) { recording_->notStarted(sentence); }

void TraceWindow::recordingFailed(const std::string&) { recording_->failed(); }

void TraceWindow::recordingResumed() { recording_->showStatus(); }

void TraceWindow::deviceLost(std::int64_t, bool) {
    setPanelCaption(" Verbindung unterbrochen ");
    setPanelColour(trace::PanelColour::ButtonFace);
    recording_->showStatus();
}

void TraceWindow::deviceBack(const recording::Gap& gap) {
    recording_->showStatus();
    eventTools_->addGap(gap.from, std::string(decoders::protocolName(session_->protocol())),
                        recording::gapText(gap));
    eventTools_->setGaps(timeSpans(engine_->gaps(), clock_.utcMicros()));
}

void TraceWindow::captureFull(std::size_t) { setCaptureFull(true); }

void TraceWindow::changed() { recording_->showStatus(); }

void TraceWindow::ended(const live::EndCause& cause) {
    recording_->showStatus();
    eventTools_->setGaps(timeSpans(engine_->gaps(), clock_.utcMicros()));
    if (cause.reason != live::EndReason::DeviceGone) return;
    const QString title = QString::fromStdString(comm_->deviceTitle());
    // The box comes after the port's notification has returned.
    bridge_->post([this, title] {
        dialogs_.error(this, QStringLiteral("\n Die Verbindung zur Schnittstelle %1 ist abgebrochen. \n\n"
                                            " Der Trace wurde beendet. \n")
                                 .arg(title));
    });
}

// --- handlers

void TraceWindow::formActivate() {
    aboutPending_ = true;
    timer1_->start(100);
}

void TraceWindow::timer1Timer() {
    timer1_->stop();
    engine_->onAnswerTimeout();
    if (aboutPending_) {
        aboutPending_ = false;
        aboutBoxShow();
    }
}

void TraceWindow::aboutBoxShow() {
    aboutBox_->exec();
    clear();
}

void TraceWindow::clear() {
    session_->clear();
    eventTools_->clear();
}

void TraceWindow::hilfeClick() { aboutBox_->exec(); }

void TraceWindow::replayClick() {
    const QString name = dialogs_.openFile(this, replayRequest(lastReplayFile_));
    if (name.isEmpty()) return;
    replay(name, std::nullopt);
}

void TraceWindow::protokollWaehlenClick() {
    QStringList replies;
    for (int i = 0; i < trace::PanelTypeCount; ++i)
        replies << QString::fromLatin1(trace::panelTypes()[i].reply);
    const QString reply = dialogs_.chooseItem(this, QStringLiteral("Protokoll w\u00E4hlen"),
                                              QStringLiteral("Antwort des FAT:"), replies);
    if (reply.isEmpty()) return;
    const QString name = dialogs_.openFile(this, replayRequest(lastReplayFile_));
    if (name.isEmpty()) return;
    replay(name, reply.toLatin1().toStdString());
}

void TraceWindow::replay(const QString& name, const std::optional<std::string>& reply) {
    replayStopped_ = false;
    // Pending window messages run between chunks every EventInterval, so
    // Stopp, painting and timers get through during a long replay without
    // costing more than the chunks themselves.
    // They run at once, so the replay shows itself started.
    QElapsedTimer sinceEvents;
    const auto processEvents = [&sinceEvents] {
        if (sinceEvents.isValid() && sinceEvents.elapsed() < EventInterval) return;
        QCoreApplication::processEvents();
        sinceEvents.start();
    };
    if (!reply && QFileInfo(name).isDir()) {
        source_ = Source::Recording;
        recording_->replayFolder(name, processEvents);
        return;
    }
    source_ = Source::File;
    lastReplayFile_ = name;
    trace::replayFile(*session_, QFile::encodeName(name).toStdString(), processEvents, reply);
    if (!reply && !replayStopped_ && session_->identOutcome() == trace::IdentOutcome::None) {
        dialogs_.error(this,
                       QStringLiteral("\n Die Datei enth\u00E4lt keine Antwortzeile des FAT, \n"
                                      " das Protokoll ist nicht bekannt. \n\n"
                                      " W\u00E4hlen Sie es unter Trace > Protokoll w\u00E4hlen\u2026 \n"));
    }
}

void TraceWindow::startTraceClick() {
    recording_->plainStart();
    engine_->start();
}

void TraceWindow::onBytesReady() { engine_->onBytesReady(); }

void TraceWindow::setCaptureFull(bool full) {
    if (full == captureFull_) return;
    captureFull_ = full;
    QPalette pal = countLabel_->palette();
    pal.setColor(QPalette::WindowText,
                 full ? QColor(255, 0, 0) : QApplication::palette().color(QPalette::WindowText));
    countLabel_->setPalette(pal);
    if (full) {
        statusBar()->showMessage(QStringLiteral(
            "Aufzeichnung voll (h\u00F6chstens 19.999 Bytes): die .TRC-Datei enth\u00E4lt nur den "
            "Anfang des Trace."));
    } else if (QStatusBar* bar = findChild<QStatusBar*>()) {
        bar->clearMessage();
    }
}

void TraceWindow::onHangup() { engine_->onHangup(); }

void TraceWindow::stoppTraceClick() {
    replayStopped_ = true;
    // What the port still holds is taken in before the trace ends.
    engine_->stop();
}

void TraceWindow::endBySystem(int signal) {
    if (!engine_->live()) return;
    engine_->stop(signal == 0 ? live::EndCause{live::EndReason::SessionEnd}
                              : live::EndCause{live::EndReason::Interrupted, signal});
}

void TraceWindow::speichernUnterClick() { saveAs(); }

bool TraceWindow::saveAs() {
    const SaveFileRequest request{QStringLiteral("Speichern unter"), QStringLiteral("Tracedatei (*.dat)"),
                                  QStringLiteral("dat"), QStringLiteral("Trace.dat")};
    const QString name = dialogs_.saveFile(this, request);
    if (name.isEmpty()) return false;
    const std::string path = QFile::encodeName(name).toStdString();
    const std::string base = trace::baseName(path);
    // One question names every file that would be replaced; "Nein" writes none.
    QStringList existing;
    for (const std::string& file : {path, base + ".DA1", base + ".TRC"}) {
        const QString shown = QDir::toNativeSeparators(QFile::decodeName(QByteArray::fromStdString(file)));
        if (QFileInfo::exists(shown) && !existing.contains(shown)) existing << shown;
    }
    if (!existing.isEmpty() &&
        !dialogs_.ask(this, QStringLiteral("\n Diese Dateien gibt es schon: \n\n   %1 \n\n"
                                           " Sollen sie ersetzt werden? \n")
                                .arg(existing.join(QStringLiteral(" \n   "))))) {
        return false;
    }
    trace::writeLinesFile(path, hexPane_->lines());
    trace::writeLinesFile(base + ".DA1", eventPane_->lines());
    session_->capture().save(base + ".TRC");
    setCaptureFull(false);
    // Only now is the trace on disk: a failed write above leaves the hex
    // pane marked as changed, so closing still asks.
    hexPane_->setModified(false);
    textPane_->clear();
    hexPane_->clear();
    eventPane_->clear();
    return true;
}

void TraceWindow::konfigurationClick() {
    settingsDialog_->preselect(*comm_);
    // Closing the dialog by its title bar counts as OK.
    settingsDialog_->exec();
    settingsDialog_->apply(*comm_);
}

void TraceWindow::formResize() {
    const QRect outer = frameGeometry();
    const int h = outer.height();
    const int w = outer.width();
    const int u = (h - 70) / 20;  // truncates toward zero
    // Windows too low for the rule still get no negative sizes.
    auto place = [](QWidget* c, int left, int top, int width, int height) {
        c->setGeometry(left, top, std::max(0, width), std::max(0, height));
    };

    place(startButton_, w - 200, h - 120, startButton_->width(), startButton_->height());
    place(stoppButton_, w - 95, h - 120, stoppButton_->width(), stoppButton_->height());
    place(statusPanel_, w - 200, h - 185, statusPanel_->width(), statusPanel_->height());
    for (QLabel* label : columnLabels_) label->move(label->x(), h - 95 - 5 * u);
    // The count stays whole above the status panel, which would cover its
    // lower part in windows lower than 500 pixels.
    countLabel_->move(countLabel_->x(),
                      std::min(h - 95 - 5 * u, h - 185 - countLabel_->fontMetrics().height()));
    place(eventBox_, eventBox_->x(), h - 70 - 5 * u, w - 230, 5 * u);
    place(textBox_, textBox_->x(), h - 80 - 12 * u, w - 25, 6 * u);
    place(hexBox_, hexBox_->x(), h - 90 - 19 * u, w - 25, 7 * u);

    countLabel_->clear();
    countLabel_->adjustSize();
}

void TraceWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    runGuarded(dialogs_, this, [this] { formResize(); });
    adoptFrame();
}

void TraceWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // A window manager that has just framed the window moves it too.
    adoptFrame();
}

void TraceWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    adoptFrame();
    if (event->spontaneous() || activated_) return;
    // The first showing is the window's first activation; coming back from
    // one of the modal boxes later arms nothing.
    activated_ = true;
    runGuarded(dialogs_, this, [this] { formActivate(); });
}

bool TraceWindow::formCloseQuery() {
    // A running trace or replay ends before the window goes.
    if (stoppButton_->isEnabled()) stoppTraceClick();
    if (!hexPane_->modified()) return true;
    switch (dialogs_.confirm(this, messageText(CloseQuestion))) {
        case Answer::Yes:
            // Only a trace that is on disk may go with the window: a save
            // dialog cancelled, replacing refused or a save that failed (its
            // error shown) keep the window open, as "Abbrechen" does.
            try {
                return saveAs();
            } catch (...) {
                dialogs_.exception(this, currentExceptionText());
                return false;
            }
        case Answer::No: return true;
        case Answer::Cancel: break;
    }
    return false;
}

void TraceWindow::closeEvent(QCloseEvent* event) {
    bool mayClose = true;
    runGuarded(dialogs_, this, [this, &mayClose] { mayClose = formCloseQuery(); });
    // Written at every close request, also when the window stays open.
    runGuarded(dialogs_, this, [this] { saveSettings(); });
    if (mayClose) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace zindra::app
