#include "app/text_pane.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

#include "app/cp1252.h"

namespace zindra::app {
namespace {

// Unlike movePosition(End), which lays the block out first.
void moveToEnd(QTextCursor& c) { c.setPosition(c.document()->characterCount() - 1); }

}  // namespace

TextBoxPane::TextBoxPane(QPlainTextEdit& box)
    : box_(box), cursor_(std::make_unique<QTextCursor>(box.document())), flushContext_(std::make_unique<QObject>()) {
    // Edits come by the thousand during a trace; an undo history would only
    // grow without bound.
    box_.setUndoRedoEnabled(false);
}

TextBoxPane::~TextBoxPane() { flush(); }

QFont paneFont(bool bold) {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/ZindraMono.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.front();
    }();
    QFont f = family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont(family);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPixelSize(17);
    f.setBold(bold);
    return f;
}

QTextCursor& TextBoxPane::editCursor() {
    if (!editOpen_) {
        editOpen_ = true;
        const QScrollBar* bar = box_.verticalScrollBar();
        // Ctrl+End may leave the view one line short of the bar's end.
        follow_ = bar->value() >= bar->maximum() - 1;
        cursor_->beginEditBlock();
        QTimer::singleShot(0, flushContext_.get(), [this] { flush(); });
    }
    return *cursor_;
}

void TextBoxPane::flush() {
    if (!editOpen_) return;
    editOpen_ = false;
    cursor_->endEditBlock();
    QScrollBar* bar = box_.verticalScrollBar();
    if (follow_) bar->setValue(bar->maximum());
}

std::size_t TextBoxPane::lineCount() const {
    const QTextDocument* doc = box_.document();
    if (doc->isEmpty()) return emptyLineHeld_ ? 1 : 0;
    return static_cast<std::size_t>(doc->blockCount());
}

void TextBoxPane::addLine(std::string_view line) {
    const bool hadLines = lineCount() > 0;
    QTextCursor& c = editCursor();
    moveToEnd(c);
    if (hadLines) c.insertBlock();
    c.insertText(fromCp1252(line, Controls::Pictures));
    emptyLineHeld_ = box_.document()->isEmpty();
    changed();
}

void TextBoxPane::appendToLastLine(std::string_view text) {
    if (lineCount() == 0) {
        addLine(text);
        return;
    }
    QTextCursor& c = editCursor();
    moveToEnd(c);
    c.insertText(fromCp1252(text, Controls::Pictures));
    emptyLineHeld_ = box_.document()->isEmpty();
    changed();
}

void TextBoxPane::removeFirstLines(std::size_t n) {
    if (n == 0) return;
    const std::size_t count = lineCount();
    QTextCursor& c = editCursor();
    if (n >= count) {
        c.select(QTextCursor::Document);
        c.removeSelectedText();
        emptyLineHeld_ = false;
    } else {
        const QTextBlock keep = box_.document()->findBlockByNumber(static_cast<int>(n));
        c.setPosition(0);
        c.setPosition(keep.position(), QTextCursor::KeepAnchor);
        c.removeSelectedText();
        // A view held still keeps its lines in sight as the oldest go.
        if (!follow_) {
            QScrollBar* bar = box_.verticalScrollBar();
            bar->setValue(std::max(0, bar->value() - static_cast<int>(n)));
        }
        // What is left may be a single empty line.
        emptyLineHeld_ = box_.document()->isEmpty();
    }
    changed();
}

void TextBoxPane::clear() {
    flush();
    box_.clear();
    emptyLineHeld_ = false;
    box_.document()->setModified(false);
}

std::vector<std::string> TextBoxPane::lines() const {
    std::vector<std::string> v;
    const std::size_t n = lineCount();
    v.reserve(n);
    if (box_.document()->isEmpty()) {
        if (n == 1) v.emplace_back();
        return v;
    }
    for (QTextBlock b = box_.document()->begin(); b.isValid(); b = b.next()) v.push_back(toCp1252(b.text()));
    return v;
}

std::string TextBoxPane::line(std::size_t index) const {
    if (index >= lineCount() || box_.document()->isEmpty()) return {};
    return toCp1252(box_.document()->findBlockByNumber(static_cast<int>(index)).text());
}

bool TextBoxPane::modified() const { return box_.document()->isModified(); }

void TextBoxPane::setModified(bool modified) { box_.document()->setModified(modified); }

void TextBoxPane::changed() {
    box_.document()->setModified(true);
}

}  // namespace zindra::app
