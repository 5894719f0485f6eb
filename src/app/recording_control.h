// The window's side of recordings and watch mode: Start with a recording (a
// folder chosen, by default under the user's documents), the state the live
// engine reports in the status bar, each event's time beside its line, and
// the replay of a recording folder with its recorded times.  The watch itself
// (reopen, gaps, the recorder) is the live engine's; this only shows it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "events/report.h"
#include "live/engine.h"
#include "recording/recorder.h"
#include "trace/routing.h"

class QAction;
class QLabel;
class QMenu;

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
    RecordingControl(TraceWindow& window, Dialogs& dialogs, live::Engine& engine, TimedBox& eventBox);
    ~RecordingControl() override;

    // Adds "Start mit Aufzeichnung…", "Aufzeichnung wiedergeben…" and the
    // toggle of the event times to the menu; the two handlers run through
    // bind (the window's standard error display).
    void addActions(QMenu& menu, const std::function<void(QAction*, void (RecordingControl::*)())>& bind);

    // --- handlers
    void startRecordingClick();
    void replayRecordingClick();

    // --- hooks of the window
    // The trace buttons changed.
    void traceButtons(bool running);
    // A trace without recording starts: the events' times are hidden, as
    // outside watch mode.
    void plainStart() { setTimesShown(false); }
    // Replays a recording folder: its segments in order with their times.
    void replayFolder(const QString& folder, const std::function<void()>& processEvents);
    // What the live engine reported: the state in the status bar, a
    // recording that could not begin, a failed write (said once each; the
    // trace goes on).
    void showStatus();
    void notStarted(const std::string& sentence);
    void failed();

    // What the last recording replayed says of itself, for a report.
    const events::ReportSource& replayedSource() const { return replayed_; }

    // --- for tests
    QLabel& statusLabel() { return *status_; }
    QAction& timesAction() { return *timesAction_; }
    QString defaultFolder() const;

private:
    void onEvent(const decoders::EventRecord& record, trace::ChunkTime time) override;
    void setTimesShown(bool shown);

    TraceWindow& window_;
    Dialogs& dialogs_;
    live::Engine& engine_;
    TimedBox& eventBox_;
    trace::TraceSession& session_;
    TextBoxPane& eventPane_;
    QLabel* status_ = nullptr;
    QAction* startAction_ = nullptr;
    QAction* replayAction_ = nullptr;
    QAction* timesAction_ = nullptr;
    QString lastParent_;
    QString lastRecording_;
    events::ReportSource replayed_;
};

}  // namespace zindra::app
