#include "app/event_list_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QStyle>
#include <algorithm>

#include "app/cp1252.h"
#include "events/event_row.h"

namespace zindra::app {
namespace {

// How long one slice of a filter run may hold the event loop.
constexpr int SliceMilliseconds = 15;
// More new events than this in a sorted list are sorted in with one reset.
constexpr std::size_t SortedInsertLimit = 256;

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
}

void EventListModel::sync() {
    const std::size_t size = store_.size();
    if (size < known_) {
        reset();
        return;
    }
    if (size == known_) return;
    std::vector<std::size_t> added;
    added.reserve(size - known_);
    for (std::size_t e = known_; e < size; ++e) {
        if (filter_ && filter_->matches(store_.at(e))) matches_.push_back(static_cast<std::uint32_t>(e));
        if (shown(e)) added.push_back(e);
    }
    known_ = size;
    alerted_.resize(size, false);
    const bool natural = sortColumn_ == NumberColumn && sortOrder_ == Qt::AscendingOrder;
    if (natural || added.size() > SortedInsertLimit) {
        if (!added.empty()) {
            const int first = static_cast<int>(rows_.size());
            beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
            rows_.insert(rows_.end(), added.begin(), added.end());
            endInsertRows();
        }
        if (!natural && !added.empty()) {
            // A sorted list takes a large batch in one sort.
            beginResetModel();
            sortIndices(rows_);
            endResetModel();
        }
    } else {
        for (std::size_t e : added) {
            const auto at = std::upper_bound(rows_.begin(), rows_.end(), e,
                                             [this](std::size_t x, std::size_t y) { return before(x, y); });
            const int row = static_cast<int>(at - rows_.begin());
            beginInsertRows({}, row, row);
            rows_.insert(at, e);
            endInsertRows();
        }
    }
    emit statusChanged();
}

void EventListModel::reset() {
    beginResetModel();
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
    const bool desc = sortOrder_ == Qt::DescendingOrder;
    if (sortColumn_ == NumberColumn) return desc ? b < a : a < b;
    const events::EventView va = store_.at(a);
    const events::EventView vb = store_.at(b);
    int cmp = 0;
    if (numeric(sortColumn_)) {
        const auto na = number(va, sortColumn_);
        const auto nb = number(vb, sortColumn_);
        cmp = na == nb ? 0 : (na < nb ? -1 : 1);  // empty first
    } else {
        cmp = text(va, sortColumn_).compare(text(vb, sortColumn_));
    }
    if (cmp == 0) return a < b;  // ties keep store order either way
    return desc ? cmp > 0 : cmp < 0;
}

void EventListModel::sortIndices(std::vector<std::size_t>& idx) const {
    if (sortColumn_ == NumberColumn) {
        std::sort(idx.begin(), idx.end());
        if (sortOrder_ == Qt::DescendingOrder) std::reverse(idx.begin(), idx.end());
        return;
    }
    // Keys taken once per event, not once per comparison.
    struct Key {
        std::optional<std::int64_t> n;
        std::string_view s;  // into the store, which does not move it
        std::size_t e;
    };
    std::vector<Key> keys;
    keys.reserve(idx.size());
    const bool num = numeric(sortColumn_);
    for (std::size_t e : idx) {
        const events::EventView v = store_.at(e);
        keys.push_back(num ? Key{number(v, sortColumn_), {}, e} : Key{std::nullopt, text(v, sortColumn_), e});
    }
    const bool desc = sortOrder_ == Qt::DescendingOrder;
    std::sort(keys.begin(), keys.end(), [num, desc](const Key& a, const Key& b) {
        const int cmp = num ? (a.n == b.n ? 0 : (a.n < b.n ? -1 : 1)) : a.s.compare(b.s);
        if (cmp == 0) return a.e < b.e;
        return desc ? cmp > 0 : cmp < 0;
    });
    for (std::size_t i = 0; i < keys.size(); ++i) idx[i] = keys[i].e;
}

void EventListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) column = NumberColumn;
    if (column == sortColumn_ && order == sortOrder_) return;
    sortColumn_ = column;
    sortOrder_ = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> events;
    events.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& i : before) events.push_back(eventAt(i.row()));
    sortIndices(rows_);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const std::optional<int> row = rowOf(events[static_cast<std::size_t>(i)]);
        after << (row ? index(*row, before[i].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::optional<int> EventListModel::rowOf(std::size_t event) const {
    if (sortColumn_ == NumberColumn) {
        // Rows in store order (or its reverse): a binary search.
        const auto cmp = [this](std::size_t a, std::size_t b) {
            return sortOrder_ == Qt::AscendingOrder ? a < b : b < a;
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
    beginResetModel();
    rows_.clear();
    if (filter_ && onlyMatches_) {
        rows_.assign(matches_.begin(), matches_.end());
    } else {
        rows_.resize(known_);
        for (std::size_t e = 0; e < known_; ++e) rows_[e] = e;
    }
    if (sortColumn_ != NumberColumn || sortOrder_ != Qt::AscendingOrder) sortIndices(rows_);
    endResetModel();
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
