// "Melderübersicht": one row per detector (protocol, Vorzahl, Linie, Melder)
// with the count per kind, the first and last time and the last state text,
// sortable by any column.  It counts every event of the store, whatever the
// list's filter, and follows a live trace; a double-click filters the event
// list to that detector.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include "events/detectors.h"

class QSortFilterProxyModel;
class QTableView;
class QLabel;

namespace zindra::app {

class EventListModel;

class DetectorModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Protocol,
        Lead,
        Linie,
        Melder,
        Alarm,
        Fault,
        Off,
        Other,
        Total,
        First,
        Last,
        State,
        ColumnCount
    };
    static constexpr int SortRole = Qt::UserRole;

    explicit DetectorModel(const EventListModel& events, QObject* parent = nullptr);
    // Takes the store's new events (the whole store again after it emptied).
    void refresh();
    const events::DetectorTable& table() const { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const EventListModel& events_;
    events::DetectorTable table_;
    std::size_t shownRows_ = 0;
};

class DetectorOverview final : public QWidget {
    Q_OBJECT
public:
    DetectorOverview(const EventListModel& events, QWidget* parent);
    void refresh();
    DetectorModel& model() { return model_; }
    QTableView& view() { return *view_; }
    // The event list's filter for the detector of a row of the model.
    QString filterFor(int row) const;

signals:
    // A double-click on a detector: the filter that shows its events.
    void detectorChosen(const QString& filter);

private:
    DetectorModel model_;
    QSortFilterProxyModel* sorted_ = nullptr;
    QTableView* view_ = nullptr;
    QLabel* count_ = nullptr;
};

}  // namespace zindra::app
