// The event list as a Qt table: every event of the store, or those the filter
// matches, in the order of the chosen column.  The model never copies events;
// a row is an index into the store.
//
// Sorting a long list never holds the event loop: the sort keys are taken in
// slices of the event loop, the sort itself runs on a worker thread over a
// copy of them, and the list keeps its old order until the new one is ready
// (events that arrive meanwhile are added to the end, then sorted in).
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QTimer>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "events/event_store.h"
#include "events/filter.h"
#include "events/kinds.h"

namespace zindra::app {

// Row colours by kind; Other keeps the view's own.
QColor kindColour(events::EventKind kind);

class EventListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        NumberColumn,
        TimeColumn,
        ProtocolColumn,
        LinieColumn,
        MelderColumn,
        CodeColumn,
        HexColumn,
        StateColumn,
        ColumnCount
    };
    enum Role {
        EventIndexRole = Qt::UserRole,  // the row's index in the store
        KindRole,                       // events::EventKind as int
        AlertRole,                      // true when an alert rule fired on the event
        MatchRole,                      // true when the filter matches the event
    };

    EventListModel(const events::EventStore& store, QObject* parent = nullptr);
    ~EventListModel() override;

    // Takes the events added to the store since the last call, as one insert.
    void sync();
    // The store was emptied.
    void reset();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // --- sorting
    // Whether a sort runs (the rows still show the order before it).
    bool sorting() const { return job_ != nullptr; }
    // How far it has come, in percent.
    int sortProgress() const;
    // Lists of at least this many rows are sorted off the event loop;
    // shorter ones at once, inside sort().
    void setAsyncSortFrom(std::size_t rows) { asyncSortFrom_ = rows; }

    // --- filter
    // Starts filtering with text (UTF-8 as typed; empty shows every event).
    // The list stays as it is until the run has seen every event, in slices
    // of the event loop; a text that does not parse returns its error and
    // changes nothing.
    std::optional<std::string> setFilterText(const QString& text);
    bool filtering() const { return pending_.has_value(); }
    // How far a filter run has come, in percent of the events.
    int filterProgress() const;
    // Rows for every event (matches marked) or only for the matches.
    void setOnlyMatches(bool only);
    bool onlyMatches() const { return onlyMatches_; }
    std::size_t matchCount() const { return matches_.size(); }
    std::size_t eventCount() const { return known_; }
    bool filterActive() const { return filter_.has_value(); }
    const QString& filterText() const { return filterText_; }
    // The store indices of the filter's matches, ascending (empty without a
    // filter).
    const std::vector<std::uint32_t>& matchingEvents() const { return matches_; }
    // The next row after (before, for backwards) row whose event matches,
    // wrapping round; none when nothing matches.
    std::optional<int> nextMatch(int row, bool backwards) const;

    // --- kinds and alerts
    void setKinds(events::KindTable kinds);
    const events::KindTable& kinds() const { return kinds_; }
    const events::EventStore& store() const { return store_; }
    void markAlert(std::size_t event);
    bool alerted(std::size_t event) const { return event < alerted_.size() && alerted_[event]; }

    std::size_t eventAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    std::optional<int> rowOf(std::size_t event) const;

signals:
    // The count or the filter's state changed (progress while it runs).
    void statusChanged();

private:
    struct SortJob;

    bool matches(std::size_t event) const;
    bool shown(std::size_t event) const { return !onlyMatches_ || !filterActive() || matches(event); }
    void filterSlice();
    void rebuildRows();
    // The events the list shows, ascending.
    std::vector<std::uint32_t> shownEvents() const;
    // Whether a is shown before b in the rows' present order.
    bool before(std::size_t a, std::size_t b) const;
    bool naturalOrder() const { return rowsColumn_ == NumberColumn && rowsOrder_ == Qt::AscendingOrder; }
    // Puts events (ascending, not yet in the rows) into the sorted rows, one
    // insert each.
    void insertSorted(const std::vector<std::uint32_t>& events);
    // The same without signals, for inside a layout change.
    void mergeSorted(std::vector<std::uint32_t> events);
    // Starts sorting the rows by the chosen column and order (at once when
    // they are few or sorted by number).
    void startSort();
    void sortStep();
    // Takes the finished job's order, inside a layout change.
    void finishSort();
    void dropSort();

    const events::EventStore& store_;
    events::KindTable kinds_ = events::KindTable::defaults();
    std::size_t known_ = 0;               // store events the model has taken
    std::vector<std::uint32_t> rows_;     // store index per row
    std::vector<std::uint32_t> matches_;  // ascending; empty without a filter
    std::vector<bool> alerted_;
    QString filterText_;
    std::optional<events::Filter> filter_;
    bool onlyMatches_ = true;
    // The order chosen, and the order the rows are in (they differ while a
    // sort runs).
    int sortColumn_ = NumberColumn;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    int rowsColumn_ = NumberColumn;
    Qt::SortOrder rowsOrder_ = Qt::AscendingOrder;
    std::size_t asyncSortFrom_ = 200000;
    std::shared_ptr<SortJob> job_;
    // Jobs given up while their worker still ran; joined when it ends.
    std::vector<std::shared_ptr<SortJob>> retired_;
    QTimer sortTimer_;

    // A filter run in progress and its text.
    struct Run {
        QString text;
        events::Filter filter;
        events::FilterRun run;
    };
    std::optional<Run> pending_;
    QTimer sliceTimer_;
};

}  // namespace zindra::app
