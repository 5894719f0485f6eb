#include "app/alert_list.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/event_list_model.h"
#include "events/time_text.h"

namespace zindra::app {

AlertList::AlertList(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Alarmliste"));
    setWindowTitle(QStringLiteral("Ausgel\u00F6ste Alarmregeln"));
    resize(760, 320);
    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("AlertTable"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Zeit"), QStringLiteral("Regel"), QStringLiteral("Ereignis")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(0, 170);
    table_->setColumnWidth(1, 180);
    summary_ = new QLabel(this);
    acknowledge_ = new QPushButton(QStringLiteral("&Best\u00E4tigen"), this);
    acknowledge_->setObjectName(QStringLiteral("AlertAcknowledge"));
    acknowledgeAll_ = new QPushButton(QStringLiteral("&Alle best\u00E4tigen"), this);
    acknowledgeAll_->setObjectName(QStringLiteral("AlertAcknowledgeAll"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(acknowledge_);
    buttons->addWidget(acknowledgeAll_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    connect(acknowledge_, &QPushButton::clicked, this, &AlertList::acknowledgeChosen);
    connect(acknowledgeAll_, &QPushButton::clicked, this, &AlertList::acknowledgeAll);
    setWaiting(0);
}

void AlertList::add(Entry entry) {
    entries_.push_back(std::move(entry));
    const int row = table_->rowCount();
    table_->insertRow(row);
    showRow(row);
    table_->scrollToBottom();
    setWaiting(waiting_ + 1);
}

void AlertList::showRow(int row) {
    const Entry& e = entries_[static_cast<std::size_t>(row)];
    const QString time = e.time ? QString::fromStdString(events::germanDateTime(*e.time)) : QString();
    const QString cells[3] = {time, e.rule, e.event};
    for (int c = 0; c < 3; ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setToolTip(cells[c]);
        // Waiting alerts in the alarm colour, acknowledged ones plain.
        if (!e.acknowledged) item->setBackground(kindColour(events::EventKind::Alarm));
        table_->setItem(row, c, item);
    }
}

void AlertList::acknowledgeChosen() {
    int done = 0;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        Entry& e = entries_[static_cast<std::size_t>(index.row())];
        if (e.acknowledged) continue;
        e.acknowledged = true;
        showRow(index.row());
        ++done;
    }
    setWaiting(waiting_ - done);
}

void AlertList::acknowledgeAll() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].acknowledged) continue;
        entries_[i].acknowledged = true;
        showRow(static_cast<int>(i));
    }
    setWaiting(0);
}

void AlertList::setWaiting(int waiting) {
    waiting_ = waiting;
    summary_->setText(waiting == 0 ? QStringLiteral("Alle best\u00E4tigt")
                                   : QStringLiteral("%1 unbest\u00E4tigt").arg(waiting));
    acknowledge_->setEnabled(waiting > 0);
    acknowledgeAll_->setEnabled(waiting > 0);
    emit waitingChanged(waiting);
}

}  // namespace zindra::app
