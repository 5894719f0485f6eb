// Alerts that wait for the user: every alert that fired stays in this list
// (time, rule, event) until it is acknowledged; the window shows how many
// wait, so an alert at 03:12 is still there at 07:00.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace zindra::app {

class AlertList final : public QWidget {
    Q_OBJECT
public:
    struct Entry {
        std::optional<std::int64_t> time;  // UTC microseconds of the event
        QString rule;
        QString event;
        bool acknowledged = false;
    };

    explicit AlertList(QWidget* parent);

    void add(Entry entry);
    // Acknowledges the chosen rows, or all.
    void acknowledgeChosen();
    void acknowledgeAll();
    int waiting() const { return waiting_; }
    const std::vector<Entry>& entries() const { return entries_; }
    QTableWidget& table() { return *table_; }

signals:
    // How many alerts wait for acknowledgement.
    void waitingChanged(int waiting);

private:
    void showRow(int row);
    void setWaiting(int waiting);

    std::vector<Entry> entries_;
    int waiting_ = 0;
    QTableWidget* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* acknowledge_ = nullptr;
    QPushButton* acknowledgeAll_ = nullptr;
};

}  // namespace zindra::app
