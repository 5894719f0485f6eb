#include "app/detector_overview.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/cp1252.h"
#include "app/event_list_model.h"
#include "events/time_text.h"

namespace zindra::app {
namespace {

constexpr events::EventKind KindOf[4] = {events::EventKind::Alarm, events::EventKind::Fault,
                                         events::EventKind::Off, events::EventKind::Other};

QString when(const std::optional<std::int64_t>& t) {
    return t ? QString::fromStdString(events::germanDateTime(*t)) : QString();
}

}  // namespace

DetectorModel::DetectorModel(const EventListModel& events, QObject* parent)
    : QAbstractTableModel(parent), events_(events) {}

void DetectorModel::refresh() {
    const events::EventStore& store = events_.store();
    if (store.size() < shownRows_ || (store.empty() && !table_.rows().empty())) {
        beginResetModel();
        table_.clear();
        table_.update(store, events_.kinds());
        shownRows_ = table_.rows().size();
        endResetModel();
        return;
    }
    const std::size_t before = table_.rows().size();
    const std::vector<std::size_t> changed = table_.update(store, events_.kinds());
    const std::size_t after = table_.rows().size();
    if (after > before) {
        beginInsertRows({}, static_cast<int>(before), static_cast<int>(after - 1));
        shownRows_ = after;
        endInsertRows();
    }
    for (const std::size_t row : changed) {
        if (row >= before) continue;
        emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), ColumnCount - 1));
    }
}

int DetectorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownRows_);
}

int DetectorModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant DetectorModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= shownRows_) return {};
    const events::DetectorRow& r = table_.rows()[static_cast<std::size_t>(index.row())];
    const auto number = [&](const std::optional<std::int64_t>& n) -> QVariant {
        if (!n) return role == SortRole ? QVariant(qlonglong(-1)) : QVariant();
        return qlonglong(*n);
    };
    const int column = index.column();
    if (role == Qt::TextAlignmentRole) {
        return column == Protocol || column == State ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                     : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role == Qt::BackgroundRole && column >= Alarm && column <= Off) {
        return r.byKind[static_cast<std::size_t>(KindOf[column - Alarm])] > 0
                   ? QVariant(kindColour(KindOf[column - Alarm]))
                   : QVariant();
    }
    if (role != Qt::DisplayRole && role != SortRole) return {};
    switch (column) {
        case Protocol: return QString::fromStdString(r.panel);
        case Lead: return number(r.lead);
        case Linie: return number(r.linie);
        case Melder: return number(r.melder);
        case Alarm:
        case Fault:
        case Off:
        case Other: return qulonglong(r.byKind[static_cast<std::size_t>(KindOf[column - Alarm])]);
        case Total: return qulonglong(r.total);
        case First:
            return role == SortRole ? QVariant(qlonglong(r.first.value_or(-1))) : QVariant(when(r.first));
        case Last:
            return role == SortRole ? QVariant(qlonglong(r.last.value_or(-1))) : QVariant(when(r.last));
        case State: return fromCp1252(r.lastState);
        default: return {};
    }
}

QVariant DetectorModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[ColumnCount] = {
        "Protokoll",   "Vorzahl", "Linie",    "Melder", "Alarm",   "St\u00F6rung",
        "Abschaltung", "Andere",  "Zusammen", "Erstes", "Letztes", "Letzter Zustand"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

DetectorOverview::DetectorOverview(const EventListModel& events, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(events) {
    setObjectName(QStringLiteral("Melderuebersicht"));
    setWindowTitle(QStringLiteral("Melder\u00FCbersicht"));
    resize(1060, 420);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(&model_);
    sorted_->setSortRole(DetectorModel::SortRole);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("DetectorTable"));
    view_->setModel(sorted_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(DetectorModel::Total, Qt::DescendingOrder);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    view_->horizontalHeader()->setStretchLastSection(true);
    // Room for what the columns hold, measured in the view's font.
    const QFontMetrics fm = view_->fontMetrics();
    const int number = fm.horizontalAdvance(QStringLiteral("0000000")) + 12;
    const int widths[DetectorModel::ColumnCount - 1] = {
        fm.horizontalAdvance(QStringLiteral("SIGMAPRN")) + 16,
        number,
        number,
        number,
        fm.horizontalAdvance(QStringLiteral("Alarm")) + 24,
        fm.horizontalAdvance(QStringLiteral("St\u00F6rung")) + 24,
        fm.horizontalAdvance(QStringLiteral("Abschaltung")) + 24,
        fm.horizontalAdvance(QStringLiteral("Andere")) + 24,
        fm.horizontalAdvance(QStringLiteral("Zusammen")) + 24,
        fm.horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + 16,
        fm.horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + 16};
    for (int c = 0; c < DetectorModel::ColumnCount - 1; ++c) view_->setColumnWidth(c, widths[c]);
    view_->setToolTip(QStringLiteral("Doppelklick zeigt die Ereignisse des Melders in der Ereignisliste"));
    count_ = new QLabel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(count_);
    layout->addWidget(view_, 1);
    connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        emit detectorChosen(filterFor(sorted_->mapToSource(index).row()));
    });
}

void DetectorOverview::refresh() {
    model_.refresh();
    count_->setText(QStringLiteral("%1 Melder").arg(QLocale(QLocale::German).toString(model_.rowCount())));
}

QString DetectorOverview::filterFor(int row) const {
    const events::DetectorRow& r = model_.table().rows()[static_cast<std::size_t>(row)];
    QStringList terms;
    terms << QStringLiteral("Protokoll=") + QString::fromStdString(r.panel);
    if (r.lead) terms << QStringLiteral("Vorzahl=%1").arg(*r.lead);
    if (r.linie) terms << QStringLiteral("Linie=%1").arg(*r.linie);
    if (r.melder) terms << QStringLiteral("Melder=%1").arg(*r.melder);
    return terms.join(QLatin1Char(' '));
}

}  // namespace zindra::app
