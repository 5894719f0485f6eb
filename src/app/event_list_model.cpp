#include "app/event_list_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QStyle>
#include <algorithm>
#include <atomic>
#include <string>
#include <system_error>
#include <thread>

#include "app/cp1252.h"
#include "events/event_row.h"

namespace zindra::app {
namespace {

// How long one slice of a filter run, or of taking a sort's keys, may hold
// the event loop.
constexpr int SliceMilliseconds = 15;
// More new events than this in a sorted list are appended and the list
// sorted again.
constexpr std::size_t SortedInsertLimit = 256;
// At most this many rows moved by the inserts of one batch (about 16 ms).
constexpr std::size_t InsertMoveLimit = std::size_t{16} << 20;

// The exported row's cell each column shows (the number column has none).
constexpr std::size_t RowCell[EventListModel::ColumnCount] = {0,
                                                              events::TimeColumn,
                                                              events::ProtocolColumn,
                                                              events::LinieColumn,
                                                              events::MelderColumn,
                                                              events::CodeColumn,
                                                              events::HexColumn,
                                                              events::StateColumn};

QString utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString headerText(int column) {
    if (column == EventListModel::NumberColumn) return QStringLiteral("Nr.");
    return utf8(events::ColumnNames[RowCell[column]]);
}

bool numeric(int column) {
    return column == EventListModel::NumberColumn || column == EventListModel::TimeColumn ||
           column == EventListModel::LinieColumn || column == EventListModel::MelderColumn ||
           column == EventListModel::CodeColumn;
}

// A numeric cell as a number for sorting; events without it sort first.
std::optional<std::int64_t> number(const events::EventView& v, int column) {
    switch (column) {
        case EventListModel::TimeColumn: return v.time;
        case EventListModel::LinieColumn: return v.numberA;
        case EventListModel::MelderColumn: return v.numberB;
        case EventListModel::CodeColumn:
            if (v.stateCode) return *v.stateCode;
            return std::nullopt;
        default: return std::nullopt;
    }
}

// The state column shows the printed text of printer lines, which have no state.
std::string_view stateOrPrint(const events::EventView& v) {
    return v.stateText.empty() ? v.printerText : v.stateText;
}

std::string_view text(const events::EventView& v, int column) {
    switch (column) {
        case EventListModel::ProtocolColumn: return v.panelName();
        case EventListModel::HexColumn: return v.stateHex;
        default: return stateOrPrint(v);
    }
}

}  // namespace

QColor kindColour(events::EventKind kind) {
    switch (kind) {
        case events::EventKind::Alarm: return {255, 96, 96};
        case events::EventKind::Fault: return {255, 224, 64};
        case events::EventKind::Off: return {192, 192, 192};
        default: return {};
    }
}

EventListModel::EventListModel(const events::EventStore& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store) {
    sliceTimer_.setInterval(0);
    connect(&sliceTimer_, &QTimer::timeout, this, [this] { filterSlice(); });
    connect(&sortTimer_, &QTimer::timeout, this, [this] { sortStep(); });
}

void EventListModel::sync() {
    const std::size_t size = store_.size();
    if (size < known_) {
        reset();
        return;
    }
    if (size == known_) return;
    std::vector<std::uint32_t> added;
    added.reserve(size - known_);
    for (std::size_t e = known_; e < size; ++e) {
        if (filter_ && filter_->matches(store_.at(e))) matches_.push_back(static_cast<std::uint32_t>(e));
        if (shown(e)) added.push_back(static_cast<std::uint32_t>(e));
    }
    known_ = size;
    alerted_.resize(size, false);
    // While a sort runs, new rows wait at the end; it sorts them in.
    const bool append = naturalOrder() || job_ != nullptr;
    // Each insert moves the rows after it: many into a long list are
    // appended and the list sorted again, off the event loop.
    const bool many = added.size() > SortedInsertLimit || added.size() * rows_.size() > InsertMoveLimit;
    if (append || many) {
        if (!added.empty()) {
            const int first = static_cast<int>(rows_.size());
            beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
            rows_.insert(rows_.end(), added.begin(), added.end());
            endInsertRows();
        }
        // A sorted list takes a large batch in one sort.
        if (!append && !added.empty()) startSort();
    } else {
        insertSorted(added);
    }
    emit statusChanged();
}

void EventListModel::insertSorted(const std::vector<std::uint32_t>& events) {
    for (const std::uint32_t e : events) {
        const auto at = std::upper_bound(rows_.begin(), rows_.end(), e,
                                         [this](std::size_t x, std::size_t y) { return before(x, y); });
        const int row = static_cast<int>(at - rows_.begin());
        beginInsertRows({}, row, row);
        rows_.insert(at, e);
        endInsertRows();
    }
}

void EventListModel::reset() {
    dropSort();
    beginResetModel();
    // No rows: in every order at once.
    rowsColumn_ = sortColumn_;
    rowsOrder_ = sortOrder_;
    known_ = 0;
    rows_.clear();
    matches_.clear();
    alerted_.clear();
    endResetModel();
    // A filter run under way starts again on what the store holds now.
    if (pending_) pending_->run = events::FilterRun(store_, pending_->filter);
    sync();
    emit statusChanged();
}

bool EventListModel::matches(std::size_t event) const {
    return std::binary_search(matches_.begin(), matches_.end(), static_cast<std::uint32_t>(event));
}

int EventListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int EventListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const std::size_t e = eventAt(index.row());
    switch (role) {
        case EventIndexRole: return QVariant::fromValue<qulonglong>(e);
        case AlertRole: return alerted(e);
        case MatchRole: return filter_.has_value() && matches(e);
        case Qt::FontRole:
            if (alerted(e) || (filter_ && !onlyMatches_ && matches(e))) {
                QFont f;
                f.setBold(true);
                return f;
            }
            return {};
        case Qt::DecorationRole:
            if (index.column() == NumberColumn && alerted(e)) {
                return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
            }
            return {};
        case Qt::TextAlignmentRole:
            return numeric(index.column()) && index.column() != TimeColumn
                       ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        default: break;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::BackgroundRole &&
        role != KindRole && role != Qt::ForegroundRole) {
        return {};
    }
    const events::EventView v = store_.at(e);
    const events::EventKind kind = kinds_.kindOf(v);
    switch (role) {
        case KindRole: return static_cast<int>(kind);
        case Qt::BackgroundRole: {
            const QColor c = kindColour(kind);
            return c.isValid() ? QVariant(c) : QVariant();
        }
        case Qt::ForegroundRole: return kindColour(kind).isValid() ? QVariant(QColor(Qt::black)) : QVariant();
        case Qt::ToolTipRole: {
            // The raw telegram on demand.
            QString tip = QStringLiteral("Telegramm: ") + QString::fromStdString(events::hexBytes(v.raw));
            if (!v.line.empty())
                tip.prepend(QStringLiteral("Ereignis: ") + fromCp1252(v.line) + QLatin1Char('\n'));
            return tip;
        }
        default: break;
    }
    if (index.column() == NumberColumn) return QString::number(e + 1);
    if (index.column() == StateColumn) return fromCp1252(stateOrPrint(v));
    return utf8(events::eventCells(v)[RowCell[index.column()]]);
}

QVariant EventListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return headerText(section);
}

bool EventListModel::before(std::size_t a, std::size_t b) const {
    const bool desc = rowsOrder_ == Qt::DescendingOrder;
    if (rowsColumn_ == NumberColumn) return desc ? b < a : a < b;
    const events::EventView va = store_.at(a);
    const events::EventView vb = store_.at(b);
    int cmp = 0;
    if (numeric(rowsColumn_)) {
        const auto na = number(va, rowsColumn_);
        const auto nb = number(vb, rowsColumn_);
        cmp = na == nb ? 0 : (na < nb ? -1 : 1);  // empty first
    } else {
        cmp = text(va, rowsColumn_).compare(text(vb, rowsColumn_));
    }
    if (cmp == 0) return a < b;  // ties keep store order either way
    return desc ? cmp > 0 : cmp < 0;
}

// --- sorting
//
// A sort by the number column is the store order or its reverse.  The other
// columns but the time show a value of the event's body, which many events
// share: the bodies are ranked once and each row sorted by its body's rank,
// with a counting sort that keeps store order among equal ranks.  The time
// column sorts (time, store index) pairs.

struct EventListModel::SortJob {
    // A body's value in the sorted column.
    struct BodyKey {
        std::optional<std::int64_t> n;
        std::string s;
    };
    struct Timed {
        std::uint64_t key;  // the time, ordered as unsigned, inverted for descending
        std::uint32_t event;
    };

    int column = NumberColumn;
    Qt::SortOrder order = Qt::AscendingOrder;
    std::size_t known = 0;            // the model's events when the job began
    std::vector<std::uint32_t> rows;  // the rows to sort, ascending

    // Keys, taken on the UI thread in slices (next counts bodies, then rows).
    std::size_t next = 0;
    std::size_t bodyCount = 0;
    std::vector<BodyKey> bodyKeys;
    std::vector<std::uint32_t> bodies;  // body id per row
    std::vector<Timed> timed;           // rows with a time
    std::vector<std::uint32_t> untimed;

    std::thread worker;
    std::atomic<int> progress{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::vector<std::uint32_t> result;

    bool byBody() const { return column != TimeColumn; }
    std::size_t units() const { return (byBody() ? bodyCount : 0) + rows.size(); }

    // Takes up to count more keys from the store; true when all are taken.
    bool gather(const events::EventStore& store, std::size_t count) {
        const bool desc = order == Qt::DescendingOrder;
        for (std::size_t end = std::min(units(), next + count); next < end; ++next) {
            if (byBody() && next < bodyCount) {
                const events::EventView v = store.bodyView(static_cast<std::uint32_t>(next));
                if (numeric(column)) {
                    bodyKeys.push_back({number(v, column), {}});
                } else {
                    bodyKeys.push_back({std::nullopt, std::string(text(v, column))});
                }
                continue;
            }
            const std::uint32_t e = rows[next - (byBody() ? bodyCount : 0)];
            if (byBody()) {
                bodies.push_back(store.bodyId(e));
            } else if (const trace::ChunkTime t = store.timeAt(e)) {
                const std::uint64_t key = static_cast<std::uint64_t>(*t) ^ (std::uint64_t{1} << 63);
                timed.push_back({desc ? ~key : key, e});
            } else {
                untimed.push_back(e);
            }
        }
        progress.store(units() == 0 ? 50 : static_cast<int>(next * 50 / units()));
        return next >= units();
    }

    // The sort proper; runs on the worker thread (or at once for short
    // lists) and reads nothing but the job.
    void run() {
        const bool desc = order == Qt::DescendingOrder;
        if (!byBody()) {
            std::sort(timed.begin(), timed.end(), [](const Timed& a, const Timed& b) {
                return a.key != b.key ? a.key < b.key : a.event < b.event;
            });
            if (cancelled) return;
            result.reserve(rows.size());
            // Events without a time first, as their empty cell sorts first.
            if (!desc) result = untimed;
            for (const Timed& t : timed) result.push_back(t.event);
            if (desc) result.insert(result.end(), untimed.begin(), untimed.end());
            progress.store(100);
            return;
        }
        const bool num = numeric(column);
        std::vector<std::uint32_t> ids(bodyCount);
        for (std::uint32_t i = 0; i < ids.size(); ++i) ids[i] = i;
        const auto less = [&](std::uint32_t a, std::uint32_t b) {
            return num ? bodyKeys[a].n < bodyKeys[b].n : bodyKeys[a].s < bodyKeys[b].s;
        };
        std::sort(ids.begin(), ids.end(), less);
        if (cancelled) return;
        // Equal values share a rank.
        std::vector<std::uint32_t> rank(bodyCount);
        std::uint32_t ranks = 0;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (i > 0 && less(ids[i - 1], ids[i])) ++ranks;
            rank[ids[i]] = ranks;
        }
        ++ranks;
        if (desc) {
            for (std::uint32_t& r : rank) r = ranks - 1 - r;
        }
        progress.store(70);
        std::vector<std::size_t> start(std::size_t{ranks} + 1, 0);
        for (const std::uint32_t b : bodies) ++start[rank[b] + 1];
        for (std::size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
        result.resize(rows.size());
        // Rows in store order: equal ranks keep it.
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i % 65536 == 0 && cancelled) return;
            result[start[rank[bodies[i]]]++] = rows[i];
        }
        progress.store(100);
    }
};

EventListModel::~EventListModel() {
    dropSort();
    for (const auto& job : retired_) job->worker.join();
}

int EventListModel::sortProgress() const { return job_ ? job_->progress.load() : 100; }

std::vector<std::uint32_t> EventListModel::shownEvents() const {
    if (filter_ && onlyMatches_) return matches_;
    std::vector<std::uint32_t> all(known_);
    for (std::size_t e = 0; e < known_; ++e) all[e] = static_cast<std::uint32_t>(e);
    return all;
}

void EventListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) column = NumberColumn;
    if (column == sortColumn_ && order == sortOrder_) return;
    sortColumn_ = column;
    sortOrder_ = order;
    startSort();
}

void EventListModel::dropSort() {
    sortTimer_.stop();
    if (job_) {
        job_->cancelled = true;
        if (job_->worker.joinable()) retired_.push_back(std::move(job_));
        job_.reset();
    }
    std::erase_if(retired_, [](const std::shared_ptr<SortJob>& job) {
        if (!job->finished) return false;
        job->worker.join();
        return true;
    });
}

void EventListModel::startSort() {
    dropSort();
    auto job = std::make_shared<SortJob>();
    job->column = sortColumn_;
    job->order = sortOrder_;
    job->known = known_;
    job->rows = shownEvents();
    job->bodyCount = store_.bodyCount();
    job_ = job;
    if (job->column == NumberColumn) {
        job->result = std::move(job->rows);
        if (job->order == Qt::DescendingOrder) std::reverse(job->result.begin(), job->result.end());
        finishSort();
        return;
    }
    if (job->rows.size() < asyncSortFrom_) {
        job->gather(store_, job->units());
        job->run();
        finishSort();
        return;
    }
    sortTimer_.setInterval(0);
    sortTimer_.start();
    emit statusChanged();
}

void EventListModel::sortStep() {
    if (!job_) {
        sortTimer_.stop();
        return;
    }
    const int progress = job_->progress;
    if (store_.size() < job_->known) {
        // The store was emptied; reset() follows and sorts what comes.
        dropSort();
        return;
    }
    if (!job_->worker.joinable()) {
        QElapsedTimer clock;
        clock.start();
        bool done = job_->gather(store_, 16384);
        while (!done && clock.elapsed() < SliceMilliseconds) done = job_->gather(store_, 16384);
        if (done) {
            try {
                job_->worker = std::thread([job = job_] {
                    job->run();
                    job->finished = true;
                });
            } catch (const std::system_error&) {
                // No thread to be had: sorted here, late rather than never.
                job_->run();
                finishSort();
                return;
            }
            // Now only waiting for the worker.
            sortTimer_.setInterval(10);
        }
    } else if (job_->finished) {
        finishSort();
        return;
    }
    if (job_->progress != progress) emit statusChanged();
}

void EventListModel::mergeSorted(std::vector<std::uint32_t> events) {
    std::sort(events.begin(), events.end(), [this](std::size_t a, std::size_t b) { return before(a, b); });
    std::vector<std::uint32_t> merged;
    merged.reserve(rows_.size() + events.size());
    auto from = rows_.begin();
    for (const std::uint32_t e : events) {
        const auto at = std::upper_bound(from, rows_.end(), e,
                                         [this](std::size_t x, std::size_t y) { return before(x, y); });
        merged.insert(merged.end(), from, at);
        merged.push_back(e);
        from = at;
    }
    merged.insert(merged.end(), from, rows_.end());
    rows_ = std::move(merged);
}

void EventListModel::finishSort() {
    const std::shared_ptr<SortJob> job = std::move(job_);
    job_.reset();
    sortTimer_.stop();
    if (job->worker.joinable()) job->worker.join();

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> chosen;
    chosen.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& i : before) chosen.push_back(eventAt(i.row()));
    // Rows added while the job ran are not in its order: sorted in now, or,
    // when many, sorted again with the rest.
    std::vector<std::uint32_t> added;
    if (known_ > job->known) {
        for (const std::uint32_t e : rows_) {
            if (e >= job->known) added.push_back(e);
        }
    }
    rows_ = std::move(job->result);
    rowsColumn_ = job->column;
    rowsOrder_ = job->order;
    const bool again = added.size() > SortedInsertLimit;
    if (again) {
        std::sort(added.begin(), added.end());
        rows_.insert(rows_.end(), added.begin(), added.end());
    } else if (!added.empty()) {
        mergeSorted(std::move(added));
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const std::optional<int> row = rowOf(chosen[static_cast<std::size_t>(i)]);
        after << (row ? index(*row, before[i].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    if (again) {
        startSort();
        return;
    }
    emit statusChanged();
}

std::optional<int> EventListModel::rowOf(std::size_t event) const {
    if (rowsColumn_ == NumberColumn) {
        // Rows in store order (or its reverse): a binary search.
        const auto cmp = [this](std::size_t a, std::size_t b) {
            return rowsOrder_ == Qt::AscendingOrder ? a < b : b < a;
        };
        const auto at = std::lower_bound(rows_.begin(), rows_.end(), event, cmp);
        if (at != rows_.end() && *at == event) return static_cast<int>(at - rows_.begin());
        return std::nullopt;
    }
    const auto at = std::find(rows_.begin(), rows_.end(), event);
    if (at == rows_.end()) return std::nullopt;
    return static_cast<int>(at - rows_.begin());
}

// --- filter

std::optional<std::string> EventListModel::setFilterText(const QString& text) {
    if (text.trimmed().isEmpty()) {
        sliceTimer_.stop();
        pending_.reset();
        filterText_.clear();
        filter_.reset();
        matches_.clear();
        rebuildRows();
        return std::nullopt;
    }
    events::FilterParse parsed = events::parseFilter(text.toUtf8().toStdString());
    if (!parsed.ok()) return parsed.error;
    pending_.emplace(Run{text, parsed.filter, events::FilterRun(store_, parsed.filter)});
    sliceTimer_.start();
    emit statusChanged();
    return std::nullopt;
}

int EventListModel::filterProgress() const {
    if (!pending_ || store_.empty()) return 100;
    return static_cast<int>(pending_->run.tested() * 100 / store_.size());
}

void EventListModel::filterSlice() {
    if (!pending_) {
        sliceTimer_.stop();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    // The clock is read every 16384 events only.
    bool done = pending_->run.step(16384);
    while (!done && clock.elapsed() < SliceMilliseconds) done = pending_->run.step(16384);
    if (!done) {
        emit statusChanged();
        return;
    }
    sliceTimer_.stop();
    filterText_ = pending_->text;
    filter_ = std::move(pending_->filter);
    matches_ = pending_->run.takeMatches();
    // The run has seen events the list has not taken yet: they come in now.
    known_ = std::max(known_, pending_->run.tested());
    alerted_.resize(known_, false);
    pending_.reset();
    rebuildRows();
}

void EventListModel::rebuildRows() {
    dropSort();
    beginResetModel();
    rows_ = shownEvents();
    rowsColumn_ = NumberColumn;
    rowsOrder_ = Qt::AscendingOrder;
    endResetModel();
    if (sortColumn_ != NumberColumn || sortOrder_ != Qt::AscendingOrder) startSort();
    emit statusChanged();
}

void EventListModel::setOnlyMatches(bool only) {
    if (only == onlyMatches_) return;
    onlyMatches_ = only;
    if (filter_) rebuildRows();
}

std::optional<int> EventListModel::nextMatch(int row, bool backwards) const {
    const int n = rowCount();
    if (n == 0 || (filter_ && matches_.empty())) return std::nullopt;
    const int step = backwards ? -1 : 1;
    // From before the first row (or after the last) when nothing is chosen.
    int r = row < 0 || row >= n ? (backwards ? n : -1) : row;
    for (int i = 0; i < n; ++i) {
        r = (r + step + n) % n;
        if (!filter_ || matches(eventAt(r))) return r;
    }
    return std::nullopt;
}

// --- kinds and alerts

void EventListModel::setKinds(events::KindTable kinds) {
    kinds_ = std::move(kinds);
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void EventListModel::markAlert(std::size_t event) {
    if (event >= alerted_.size()) alerted_.resize(event + 1, false);
    alerted_[event] = true;
    if (const std::optional<int> row = rowOf(event)) {
        emit dataChanged(index(*row, 0), index(*row, ColumnCount - 1));
    }
}

}  // namespace zindra::app
