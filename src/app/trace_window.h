// The main window: the three panes, the status panel, Start and Stopp, the
// menus, Timer1 and the dialogs; it owns the trace session for the whole run.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <optional>

#include "app/config.h"
#include "app/text_pane.h"
#include "events/report.h"
#include "live/clock.h"
#include "live/engine.h"
#include "trace/panes.h"
#include "trace/session.h"
#include "trace/ui.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace zindra::serial {
class Comm;
}
namespace zindra::live {
class CommPort;
}

namespace zindra::app {

class AboutBox;
class RecordingControl;
class TimedBox;
class Dialogs;
class EventTools;
class PaneSearch;
class SettingsDialog;
class UiBridge;

class TraceWindow final : public QMainWindow, public trace::TraceUi, private live::Observer {
    Q_OBJECT
public:
    // How long a replay runs without letting the window's messages through,
    // in milliseconds.
    static constexpr qint64 EventInterval = 20;

    // Creates the window (reading ZINDRA.INI from configPath), then the
    // settings dialog and the about box (whose InfoTimer starts with it).
    // Boxes and file dialogs go through dialogs.
    explicit TraceWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    TraceWindow(Dialogs& dialogs, const QString& configPath, QWidget* parent = nullptr);
    ~TraceWindow() override;

    // The window's outer size (frame included), as the layout rule measures it.
    void setOuterSize(int width, int height);

    // --- what the trace session asks of the window
    void setCaption(const std::string& caption) override;
    void setPanelCaption(const std::string& caption) override;
    void setPanelColour(trace::PanelColour colour) override;
    void setCaptureCount(const std::string& text) override;
    void showError(const std::string& text) override;
    void setTraceButtons(bool running) override;

    // --- handlers
    void formActivate();
    // The answer timer (and, once, the start-up about box).
    void timer1Timer();
    void aboutBoxShow();
    void clear();  // "&Neu", "&Clear", and after the start-up about box
    void hilfeClick();
    void replayClick();
    // "Protokoll wählen…": a replay decoded by a protocol the user names, for
    // a file without the FAT's reply line.
    void protokollWaehlenClick();
    // Replay of a trace file, or of a recording folder with its times.
    void replayPath(const QString& name) { replay(name, std::nullopt); }
    void startTraceClick();
    void stoppTraceClick();
    // The system ends the program (a signal's number, or 0 for the end of
    // the desktop session): a running trace ends as Stopp ends it, with
    // that reason in its recording.
    void endBySystem(int signal);
    void speichernUnterClick();
    void konfigurationClick();
    void formResize();
    void onBytesReady();
    void onHangup();
    // The close question; true when the window may close.
    bool formCloseQuery();
    void loadSettings();
    void saveSettings();

    // --- parts, for the handlers still to come and for tests
    trace::TraceSession& session() { return *session_; }
    trace::Panes& panes() { return *panes_; }
    TextBoxPane& textPane() { return *textPane_; }    // Memo1
    TextBoxPane& hexPane() { return *hexPane_; }      // Memo2
    TextBoxPane& eventPane() { return *eventPane_; }  // Memo3
    AboutBox& aboutBox() { return *aboutBox_; }
    EventTools& eventTools() { return *eventTools_; }
    PaneSearch& paneSearch() { return *paneSearch_; }
    SettingsDialog& settingsDialog() { return *settingsDialog_; }
    QTimer& timer1() { return *timer1_; }
    serial::Comm& comm() { return *comm_; }  // SpComm1
    live::Engine& engine() { return *engine_; }
    const QString& configPath() const { return configPath_; }
    // The window's outer size as it is written to the configuration: the
    // size that was set while the user has not changed it.
    QSize outerSize() const;
    // The capture has dropped a chunk since it was last saved.
    bool captureFull() const { return captureFull_; }
    bool aboutPending() const { return aboutPending_; }
    const QString& lastReplayFile() const { return lastReplayFile_; }
    RecordingControl& recording() { return *recording_; }
    // What a report says of the trace or replay the events come from.
    events::ReportSource reportSource() const;
    // The column headings over the event pane's text, which moves right
    // while the events' times are shown.
    void placeColumnLabels();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createMenus();
    void createPort();
    // Save as; false when nothing was saved (the file dialog cancelled, or
    // replacing existing files refused).
    bool saveAs();
    // A replay of the file, identified from its reply line or, given a reply
    // name, decoded by that protocol from the first byte.
    void replay(const QString& name, const std::optional<std::string>& reply);
    void setCaptureFull(bool full);

    // --- what the live engine reports
    void answerAwaited(std::chrono::milliseconds within) override;
    void recordingNotStarted(const std::string& sentence) override;
    void recordingFailed(const std::string& sentence) override;
    void recordingResumed() override;
    void deviceLost(std::int64_t since, bool noAnswer) override;
    void deviceBack(const recording::Gap& gap) override;
    void captureFull(std::size_t kept) override;
    void changed() override;
    void ended(const live::EndCause& cause) override;
    // Sets the inner size again once the platform knows the frame, so that
    // the configured outer size holds.
    void adoptFrame();
    // Connects a signal to a handler that runs under the standard error display.
    template <class Sender, class Signal>
    void bind(Sender* sender, Signal signal, void (TraceWindow::*handler)());

    Dialogs& dialogs_;
    QString configPath_;
    // Declared before the port: the port's threads may still call into it
    // while the port closes.
    std::unique_ptr<UiBridge> bridge_;

    QPlainTextEdit* hexBox_ = nullptr;    // Memo2
    QPlainTextEdit* textBox_ = nullptr;   // Memo1
    TimedBox* eventBox_ = nullptr;        // Memo3
    QLabel* columnLabels_[4] = {};        // Label1 to Label4
    QLabel* countLabel_ = nullptr;        // Label5
    QLabel* statusPanel_ = nullptr;       // Panel1
    QPushButton* startButton_ = nullptr;  // StartTrace
    QPushButton* stoppButton_ = nullptr;  // StoppTrace
    QTimer* timer1_ = nullptr;
    // Runs the live engine's poll while a trace runs.
    QTimer* pollTimer_ = nullptr;
    QAction* replayAction_ = nullptr;
    QAction* protokollAction_ = nullptr;
    QAction* startAction_ = nullptr;
    QAction* stoppAction_ = nullptr;
    QMenu* traceMenu_ = nullptr;

    std::unique_ptr<TextBoxPane> textPane_;
    std::unique_ptr<TextBoxPane> hexPane_;
    std::unique_ptr<TextBoxPane> eventPane_;
    std::unique_ptr<trace::Panes> panes_;
    std::unique_ptr<trace::TraceSession> session_;
    // Closed before the session it feeds goes away.
    std::unique_ptr<serial::Comm> comm_;
    std::unique_ptr<live::CommPort> port_;
    live::SystemClock clock_;
    // The live trace on the port; gone before the port and the session.
    std::unique_ptr<live::Engine> engine_;
    // The recording's menu entries and state; gone before the engine.
    std::unique_ptr<RecordingControl> recording_;
    // The event list, alerts and export; leaves the session's listeners
    // before the session goes.
    std::unique_ptr<EventTools> eventTools_;
    PaneSearch* paneSearch_ = nullptr;

    SettingsDialog* settingsDialog_ = nullptr;
    AboutBox* aboutBox_ = nullptr;

    bool activated_ = false;
    bool aboutPending_ = false;
    // The configured outer size, the frame it was set with and the inner size
    // that gave; the user's resize ends it.
    std::optional<QSize> configuredOuter_;
    QSize configuredFrame_;
    QSize configuredInner_;
    bool captureFull_ = false;
    bool replayStopped_ = false;
    QString lastReplayFile_;
    bool configErrorShown_ = false;
    // Where the events shown came from last: a live trace, a file, a recording.
    enum class Source { None, Live, File, Recording } source_ = Source::None;
};

}  // namespace zindra::app
