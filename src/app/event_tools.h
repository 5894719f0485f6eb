// The window's event tools: every event of the session kept in a store and
// shown in the event list, alert rules watching a live trace, and the export
// of the list.  They hang off the main window through its menu bar and the
// session's event listeners; the panes are untouched.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/config.h"
#include "events/alerts.h"
#include "events/event_store.h"
#include "events/report.h"
#include "trace/routing.h"

class QMainWindow;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

namespace zindra::trace {
class TraceSession;
}

namespace zindra::app {

class AlertList;
class DetectorOverview;
class Dialogs;
class EventListModel;
class EventListWindow;
class PaneSearch;

class EventTools final : public QObject, public trace::EventListener {
    Q_OBJECT
public:
    // live tells whether a live trace runs (alerts watch only those).  The
    // kind table and the alert rules come from the configuration at path.
    EventTools(QMainWindow& window, trace::TraceSession& session, Dialogs& dialogs, QString configPath,
               std::function<bool()> live);
    ~EventTools() override;

    void onEvent(const decoders::EventRecord& record, trace::ChunkTime time) override;

    // "&Neu" and "&Clear": the list empties with the panes.
    void clear();
    // "Ereignisliste": shows the list's window.
    void showList();
    // "Exportieren…" (every event) and "Gefilterte exportieren…" (the filter's
    // matches): the format follows the name's suffix (.csv, .jsonl, .pcapng).
    // False when nothing was written.
    bool exportEvents(bool onlyMatches);
    bool exportTo(const QString& path, bool onlyMatches);
    // "Alarmregeln…": the rules, one per line, edited in a box and kept in
    // the configuration; OK without a change writes nothing.
    void editAlertRules();
    // Rules given as filter texts; the first that does not parse gives
    // "Regel N (text): why" and changes nothing.  A rule the configuration
    // holds that does not parse may stay: it is kept, not applied.
    std::optional<QString> setAlertRules(const QStringList& rules);
    // Every rule, also those kept without being applied.
    const QStringList& alertRules() const { return rules_; }
    // "Regel N (text): why" for each rule kept that does not parse.
    QStringList unappliedRules() const;
    // Writes the rules to the configuration (a box says so when it cannot):
    // a rule that stayed keeps its key and its line as the file has it, a
    // changed one takes the key of one that went, a new one the next number.
    void saveAlertRules();

    // Takes the store's new events into the list now (otherwise a moment
    // after they come, in one batch).
    void sync();

    // "Melderübersicht": the detectors' window.
    void showOverview();
    // The alerts that fired, until acknowledged; the status bar's button
    // says how many wait.
    void showAlerts();
    // "Bericht speichern…": the events as one HTML page; what the report
    // says of its source comes from describe.  False when nothing was written.
    bool saveReport();
    bool saveReportTo(const QString& path);
    void setReportSource(std::function<events::ReportSource()> describe) { describe_ = std::move(describe); }
    // The spans without data, for the timeline.
    void setGaps(std::vector<events::TimeSpan> gaps);
    // A gap as a row of its own in the list, at its start: state
    // "Unterbrechung", its text as the recording's event file has it (UTF-8).
    // The event pane is not touched.
    void addGap(std::int64_t from, const std::string& panel, const std::string& text);

    events::EventStore& store() { return store_; }
    EventListModel& model() { return *model_; }
    EventListWindow& listWindow() { return *list_; }
    DetectorOverview& overview() { return *overview_; }
    AlertList& alertList() { return *alertList_; }
    QPushButton& alertButton() { return *alertButton_; }
    // The alert messages shown so far, newest last.
    const QStringList& alertsShown() const { return alertsShown_; }

private:
    // A rule of the configuration's alert section.
    struct StoredRule {
        std::size_t entry;  // in section_
        QString text;
        bool applies;  // it parses
    };

    void loadConfiguration();
    // The rules of section_, in the order of their numbers.
    void readStoredRules();
    void alert(std::size_t rule, const decoders::EventRecord& record, trace::ChunkTime time);

    QMainWindow& window_;
    trace::TraceSession& session_;
    Dialogs& dialogs_;
    QString configPath_;
    std::function<bool()> live_;
    events::EventStore store_;
    std::unique_ptr<EventListModel> model_;
    EventListWindow* list_ = nullptr;
    DetectorOverview* overview_ = nullptr;
    AlertList* alertList_ = nullptr;
    QPushButton* alertButton_ = nullptr;
    std::function<events::ReportSource()> describe_;
    QTimer* syncTimer_ = nullptr;
    QStringList rules_;
    IniPairs section_;  // the alert section as last read or written
    std::vector<StoredRule> stored_;
    events::AlertMatcher alerts_;
    QSystemTrayIcon* tray_ = nullptr;
    QStringList alertsShown_;
};

}  // namespace zindra::app
