// The event list's window: a filter box with its count and error, next and
// previous match, the table, and the chosen event's line and telegram.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace zindra::app {

class EventListModel;
class TimelineView;

class EventListWindow final : public QWidget {
    Q_OBJECT
public:
    EventListWindow(EventListModel& model, QWidget* parent);

    // Applies the box's text now (Enter does the same; typing waits a moment).
    void applyFilter();
    // Selects the next (previous) matching row and shows it.
    void nextMatch();
    void previousMatch();
    // The filter box gets the keyboard.
    void focusFilter();

    QLineEdit& filterBox() { return *filter_; }
    QLabel& countLabel() { return *count_; }
    QLabel& errorLabel() { return *error_; }
    QTableView& table() { return *table_; }
    TimelineView& timeline() { return *timeline_; }
    // Keeps only the events from..to (UTC microseconds): the filter's time
    // condition, in place of one the box held.
    void filterSpan(qint64 from, qint64 to);
    // Chooses the event's row and shows it.
    void chooseEvent(std::size_t event);

private:
    void showStatus();
    void showDetail();
    void goToMatch(bool backwards);

    EventListModel& model_;
    QLineEdit* filter_ = nullptr;
    QCheckBox* onlyMatches_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QLabel* count_ = nullptr;
    QLabel* error_ = nullptr;
    QTableView* table_ = nullptr;
    TimelineView* timeline_ = nullptr;
    QLabel* detail_ = nullptr;
    QTimer* typing_ = nullptr;
    bool follow_ = true;  // the view shows the newest rows as they come
};

}  // namespace zindra::app
