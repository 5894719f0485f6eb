// The window's recordings and watch mode: Start with a recording (a folder
// chosen, by default under the user's documents), the recording's state in
// the status bar, a vanished device reopened every 2 s instead of ending the
// trace, each event's time beside its line, and the replay of a recording
// folder with its recorded times.  The window forwards to it from a few
// hooks; the recording itself lives in src/recording.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "recording/recorder.h"
#include "trace/control.h"
#include "trace/routing.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace zindra::trace {
class TraceSession;
}

namespace zindra::app {

class Dialogs;
class TextBoxPane;
class TimedBox;
class TraceWindow;

class RecordingControl final : public QObject, private trace::EventListener {
    Q_OBJECT
public:
    // How often the recording is written out and the state shown.
    static constexpr int TickInterval = 500;  // milliseconds

    RecordingControl(TraceWindow& window, Dialogs& dialogs, trace::TracePort& port, TimedBox& eventBox);
    ~RecordingControl() override;

    // Adds "Start mit Aufzeichnung…", "Aufzeichnung wiedergeben…" and the
    // toggle of the event times to the menu; the two handlers run through
    // bind (the window's standard error display).
    void addActions(QMenu& menu, const std::function<void(QAction*, void (RecordingControl::*)())>& bind);

    // --- handlers
    void startRecordingClick();
    void replayRecordingClick();

    // --- hooks of the window
    // The trace buttons changed: a recording ends with the trace.
    void traceButtons(bool running);
    // A trace without recording starts: the events' times are hidden, as
    // outside watch mode.
    void plainStart() { setTimesShown(false); }
    // The user pressed Stopp.
    void stoppPressed() { reason_ = "Stopp"; }
    // The device went away.  True when watch mode took it (the trace goes on
    // and the device is reopened); false leaves it to the window.
    bool deviceLost();
    // The answer timer ran out.  True when watch mode took it: a device back
    // without an answer counts as gone again and is tried again every 2 s;
    // false leaves the time-out to the session, as at Start.
    bool answerMissing();
    // Replays a recording folder: its segments in order with their times.
    void replayFolder(const QString& folder, const std::function<void()>& processEvents);

    // --- for tests
    bool watching() const { return watching_; }
    recording::Recorder* recorder() { return recorder_.get(); }
    const trace::CableWatch& cableWatch() const { return cable_; }
    QLabel& statusLabel() { return *status_; }
    QAction& timesAction() { return *timesAction_; }
    QString defaultFolder() const;

private:
    void onEvent(const decoders::EventRecord& record, trace::ChunkTime time) override;
    void tick();
    // A gap begins: the recording, the status panel and the status bar learn it.
    void gapBegan(std::int64_t now);
    void showStatus();
    void setTimesShown(bool shown);
    void endRecording(const std::string& reason);
    // A failed write, said once; the trace goes on.
    void reportFailure();

    TraceWindow& window_;
    Dialogs& dialogs_;
    trace::TracePort& port_;
    TimedBox& eventBox_;
    trace::TraceSession& session_;
    TextBoxPane& eventPane_;
    QLabel* status_ = nullptr;
    QTimer* timer_ = nullptr;
    QAction* startAction_ = nullptr;
    QAction* replayAction_ = nullptr;
    QAction* timesAction_ = nullptr;

    std::unique_ptr<recording::Recorder> recorder_;
    trace::CableWatch cable_;
    // The gaps of this watch (also without a recording).
    std::vector<recording::Gap> gaps_;
    bool watching_ = false;
    bool failureShown_ = false;
    std::string reason_;
    QString lastParent_;
    QString lastRecording_;
};

}  // namespace zindra::app
