#include "app/pane_search.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include "app/menus.h"

namespace zindra::app {
namespace {

QString paneTitle(const QPlainTextEdit* pane) {
    const QString name = pane->objectName();
    if (name == QLatin1String("Memo2")) return QStringLiteral("Hex");
    if (name == QLatin1String("Memo1")) return QStringLiteral("Text");
    return QStringLiteral("Ereignisse");
}

}  // namespace

PaneSearch::PaneSearch(QMainWindow& window, std::vector<QPlainTextEdit*> panes)
    : QObject(&window), panes_(std::move(panes)), target_(panes_.empty() ? nullptr : panes_.front()) {
    // The pane the user worked in last is the one searched.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QPlainTextEdit* p : panes_) {
            if (now == p) target_ = p;
        }
    });

    box_ = new QDialog(&window);
    box_->setObjectName(QStringLiteral("PaneSearch"));
    box_->setWindowTitle(QStringLiteral("Suchen"));
    text_ = new QLineEdit(box_);
    text_->setObjectName(QStringLiteral("SearchText"));
    matchCase_ = new QCheckBox(QStringLiteral("&Gro\u00DF-/Kleinschreibung beachten"), box_);
    status_ = new QLabel(box_);
    status_->setObjectName(QStringLiteral("SearchStatus"));
    auto* next = new QPushButton(QStringLiteral("&Weitersuchen"), box_);
    next->setDefault(true);
    auto* previous = new QPushButton(QStringLiteral("&Zur\u00FCck"), box_);
    auto* close = new QPushButton(QStringLiteral("Schlie\u00DFen"), box_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(next);
    buttons->addWidget(previous);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(box_);
    layout->addWidget(text_);
    layout->addWidget(matchCase_);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    connect(next, &QPushButton::clicked, this, [this] { findNext(false); });
    connect(previous, &QPushButton::clicked, this, [this] { findNext(true); });
    connect(close, &QPushButton::clicked, box_, &QDialog::close);

    QMenu& menu = addToolMenu(window, QStringLiteral("&Bearbeiten"), "Bearbeiten1");
    auto entry = [&](const char* name, const QString& text, QKeySequence key, auto handler) {
        auto* action = new QAction(text, &menu);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(key);
        menu.addAction(action);
        connect(action, &QAction::triggered, this, handler);
        // F3 goes on while the box has the keyboard, too.
        box_->addAction(action);
        return action;
    };
    entry("Suchen1", QStringLiteral("&Suchen\u2026"), QKeySequence::Find, [this] { open(); });
    entry("Weitersuchen1", QStringLiteral("&Weitersuchen"), QKeySequence(Qt::Key_F3),
          [this] { findNext(false); });
    entry("Rueckwaertssuchen1", QStringLiteral("&R\u00FCckw\u00E4rts suchen"),
          QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { findNext(true); });
}

void PaneSearch::open() {
    if (target_ != nullptr) {
        box_->setWindowTitle(QStringLiteral("Suchen: %1").arg(paneTitle(target_)));
        // The text chosen in the pane is the likeliest thing to look for.
        const QString chosen = target_->textCursor().selectedText();
        if (!chosen.isEmpty() && !chosen.contains(QChar::ParagraphSeparator)) text_->setText(chosen);
    }
    status_->clear();
    box_->show();
    box_->raise();
    box_->activateWindow();
    text_->setFocus();
    text_->selectAll();
}

bool PaneSearch::findNext(bool backwards) {
    const QString text = text_->text();
    if (text.isEmpty()) {
        open();
        return false;
    }
    if (target_ == nullptr) return false;
    QTextDocument::FindFlags flags;
    if (backwards) flags |= QTextDocument::FindBackward;
    if (matchCase_->isChecked()) flags |= QTextDocument::FindCaseSensitively;
    QPlainTextEdit& pane = *target_;
    if (pane.find(text, flags)) {
        status_->clear();
        return true;
    }
    // Round the end (or the start) and on from there.
    const QTextCursor kept = pane.textCursor();
    QTextCursor from(pane.document());
    from.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
    pane.setTextCursor(from);
    if (pane.find(text, flags)) {
        status_->setText(backwards ? QStringLiteral("Am Ende fortgesetzt.")
                                   : QStringLiteral("Am Anfang fortgesetzt."));
        return true;
    }
    pane.setTextCursor(kept);
    status_->setText(
        QStringLiteral("\u201E%1\u201C kommt im Bereich %2 nicht vor.").arg(text, paneTitle(&pane)));
    return false;
}

}  // namespace zindra::app
