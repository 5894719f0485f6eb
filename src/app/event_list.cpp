#include "app/event_list.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/event_list_model.h"
#include "app/timeline_view.h"

namespace zindra::app {
namespace {

QString count(std::size_t n) { return QLocale(QLocale::German).toString(static_cast<qulonglong>(n)); }

}  // namespace

EventListWindow::EventListWindow(EventListModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model) {
    setObjectName(QStringLiteral("Ereignisliste"));
    setWindowTitle(QStringLiteral("Ereignisliste"));
    resize(900, 520);

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("EventFilter"));
    filter_->setPlaceholderText(
        QStringLiteral("Filter: Text, oder Felder wie Linie=3 Melder=12 text~St\u00F6r"));
    filter_->setClearButtonEnabled(true);
    onlyMatches_ = new QCheckBox(QStringLiteral("Nur &Treffer"), this);
    onlyMatches_->setObjectName(QStringLiteral("OnlyMatches"));
    onlyMatches_->setChecked(model_.onlyMatches());
    previous_ = new QPushButton(QStringLiteral("&Voriger"), this);
    previous_->setObjectName(QStringLiteral("PreviousMatch"));
    previous_->setToolTip(QStringLiteral("Voriger Treffer (Umschalt+F3)"));
    next_ = new QPushButton(QStringLiteral("&N\u00E4chster"), this);
    next_->setObjectName(QStringLiteral("NextMatch"));
    next_->setToolTip(QStringLiteral("N\u00E4chster Treffer (F3)"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("EventCount"));
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("FilterError"));
    error_->setStyleSheet(QStringLiteral("color: #c00000"));
    error_->hide();

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("EventTable"));
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Fixed row heights: a million rows cost no measuring.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setSortIndicator(EventListModel::NumberColumn, Qt::AscendingOrder);
    table_->setSortingEnabled(true);
    int widths[] = {70, 200, 90, 60, 60, 50, 40};
    // The time and the panel's name whole, in bold (a match) and whatever
    // the font: a time with its offset, and the longest reply name.
    QFont bold = table_->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int padding = 2 * table_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table_) + 12;
    widths[EventListModel::TimeColumn] =
        std::max(widths[EventListModel::TimeColumn],
                 metrics.horizontalAdvance(QStringLiteral("2026-12-08T22:15:03.412+01:00")) + padding);
    widths[EventListModel::ProtocolColumn] =
        std::max(widths[EventListModel::ProtocolColumn],
                 metrics.horizontalAdvance(QStringLiteral("SECURITON")) + padding);
    for (int c = 0; c < 7; ++c) table_->setColumnWidth(c, widths[c]);
    detail_ = new QLabel(this);
    detail_->setObjectName(QStringLiteral("EventDetail"));
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    detail_->setWordWrap(true);
    // The event line keeps its columns.
    detail_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    timeline_ = new TimelineView(model_, model_.store(), this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(filter_, 1);
    bar->addWidget(onlyMatches_);
    bar->addWidget(previous_);
    bar->addWidget(next_);
    bar->addWidget(count_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(error_);
    layout->addWidget(timeline_);
    layout->addWidget(table_, 1);
    layout->addWidget(detail_);

    typing_ = new QTimer(this);
    typing_->setSingleShot(true);
    typing_->setInterval(300);
    connect(typing_, &QTimer::timeout, this, &EventListWindow::applyFilter);
    connect(filter_, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
    connect(filter_, &QLineEdit::returnPressed, this, &EventListWindow::applyFilter);
    connect(onlyMatches_, &QCheckBox::toggled, &model_, &EventListModel::setOnlyMatches);
    connect(previous_, &QPushButton::clicked, this, &EventListWindow::previousMatch);
    connect(next_, &QPushButton::clicked, this, &EventListWindow::nextMatch);
    connect(&model_, &EventListModel::statusChanged, this, &EventListWindow::showStatus);
    // The timeline follows the store and the filter's matches.
    connect(&model_, &EventListModel::statusChanged, timeline_, &TimelineView::refresh);
    connect(&model_, &QAbstractItemModel::rowsInserted, timeline_, &TimelineView::refresh);
    connect(&model_, &QAbstractItemModel::modelReset, timeline_, &TimelineView::refresh);
    connect(timeline_, &TimelineView::eventChosen, this, &EventListWindow::chooseEvent);
    connect(timeline_, &TimelineView::spanChosen, this, &EventListWindow::filterSpan);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &EventListWindow::showDetail);
    // A new filter or Clear leaves no chosen row, and no detail of one.
    connect(&model_, &QAbstractItemModel::modelReset, this, &EventListWindow::showDetail);
    // New rows keep the view at the end while it is there.
    connect(&model_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* v = table_->verticalScrollBar();
        follow_ = v->value() >= v->maximum();
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (follow_) table_->scrollToBottom();
    });
    // The keys of the panes' search do the same here.
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this,
            &EventListWindow::focusFilter);
    connect(new QShortcut(QKeySequence(Qt::Key_F3), this), &QShortcut::activated, this,
            &EventListWindow::nextMatch);
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this), &QShortcut::activated, this,
            &EventListWindow::previousMatch);
    showStatus();
}

void EventListWindow::applyFilter() {
    typing_->stop();
    if (const std::optional<std::string> error = model_.setFilterText(filter_->text())) {
        // The list stays as it was.
        error_->setText(QStringLiteral("Filter nicht verstanden: ") + QString::fromStdString(*error));
        error_->show();
        return;
    }
    error_->hide();
    error_->clear();
}

void EventListWindow::filterSpan(qint64 from, qint64 to) {
    // Terms of the filter that are time conditions give way to the span.
    static const QRegularExpression timeTerm(QStringLiteral("^zeit(>=|<=|!=|>|<|=)\\S+$"),
                                             QRegularExpression::CaseInsensitiveOption);
    QStringList kept;
    for (const QString& term : filter_->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!timeTerm.match(term).hasMatch()) kept << term;
    }
    kept << TimelineView::spanFilter(from, to);
    filter_->setText(kept.join(QLatin1Char(' ')));
    applyFilter();
}

void EventListWindow::chooseEvent(std::size_t event) {
    const std::optional<int> row = model_.rowOf(event);
    if (!row) return;
    const QModelIndex target = model_.index(*row, 0);
    table_->setCurrentIndex(target);
    table_->scrollTo(target, QAbstractItemView::PositionAtCenter);
}

void EventListWindow::nextMatch() { goToMatch(false); }
void EventListWindow::previousMatch() { goToMatch(true); }

void EventListWindow::goToMatch(bool backwards) {
    const QModelIndex current = table_->currentIndex();
    const std::optional<int> row = model_.nextMatch(current.isValid() ? current.row() : -1, backwards);
    if (!row) return;
    chooseEvent(model_.eventAt(*row));
}

void EventListWindow::focusFilter() {
    filter_->setFocus();
    filter_->selectAll();
}

void EventListWindow::showStatus() {
    const std::size_t events = model_.eventCount();
    QString text = model_.filterActive()
                       ? QStringLiteral("%1 Treffer von %2").arg(count(model_.matchCount()), count(events))
                       : QStringLiteral("%1 Ereignisse").arg(count(events));
    if (model_.filtering()) text += QStringLiteral(" \u2013 Filter: %1\u00A0%").arg(model_.filterProgress());
    if (model_.sorting())
        text += QStringLiteral(" \u2013 Sortiert \u2026 %1\u00A0%").arg(model_.sortProgress());
    count_->setText(text);
    next_->setEnabled(model_.rowCount() > 0);
    previous_->setEnabled(model_.rowCount() > 0);
}

void EventListWindow::showDetail() {
    const QModelIndex current = table_->currentIndex();
    detail_->setText(current.isValid() ? model_.data(current, Qt::ToolTipRole).toString() : QString());
}

}  // namespace zindra::app
