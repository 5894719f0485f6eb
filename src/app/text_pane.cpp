#include "app/text_pane.h"

#include <QElapsedTimer>
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

TextBoxPane::TextBoxPane(QPlainTextEdit& box)
    : box_(box), timer_(std::make_unique<QTimer>()), sinceWrite_(std::make_unique<QElapsedTimer>()) {
    // Edits come by the thousand during a trace; an undo history would only
    // grow without bound.
    box_.setUndoRedoEnabled(false);
    timer_->setSingleShot(true);
    QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { flush(); });
    QObject::connect(box_.document(), &QTextDocument::contentsChange, timer_.get(),
                     [this](int, int removed, int added) {
                         if (!writing_ && (removed != 0 || added != 0)) typed_ = true;
                     });
    sinceWrite_->start();
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

void TextBoxPane::changed() {
    box_.document()->setModified(true);
    if (pending_) return;
    pending_ = true;
    const qint64 since = sinceWrite_->elapsed();
    timer_->start(since >= FlushInterval ? 0 : static_cast<int>(FlushInterval - since));
}

void TextBoxPane::flush() {
    timer_->stop();
    if (typed_) {
        takeTyping();
    } else if (pending_) {
        writeBox();
    }
}

void TextBoxPane::writeBox() const {
    pending_ = false;
    sinceWrite_->restart();
    QTextDocument* doc = box_.document();
    QScrollBar* bar = box_.verticalScrollBar();
    // Ctrl+End may leave the view one line short of the bar's end.
    const bool follow = bar->value() >= bar->maximum() - 1;
    writing_ = true;
    QTextCursor c(doc);
    c.beginEditBlock();
    // An empty document shows no lines or one empty line alike.
    const std::size_t shown = doc->isEmpty() ? std::min<std::size_t>(dropped_ + kept_, 1)
                                             : static_cast<std::size_t>(doc->blockCount());
    if (dropped_ > 0) {
        if (dropped_ >= shown) {
            c.select(QTextCursor::Document);
            c.removeSelectedText();
        } else {
            c.setPosition(doc->findBlockByNumber(static_cast<int>(dropped_)).position(),
                          QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }
        // A view held still keeps its lines in sight as the oldest go.
        if (!follow) bar->setValue(std::max(0, bar->value() - static_cast<int>(dropped_)));
    }
    const std::size_t left = shown > dropped_ ? shown - dropped_ : 0;
    // Unlike movePosition(End), which lays the block out first.
    c.setPosition(doc->characterCount() - 1);
    QString text;
    if (kept_ > 0 && kept_ <= lines_.size() && left > 0 && lines_[kept_ - 1].size() > keptLastSize_) {
        text = fromCp1252(std::string_view(lines_[kept_ - 1]).substr(keptLastSize_), Controls::Pictures);
    }
    for (std::size_t i = kept_; i < lines_.size(); ++i) {
        if (i > 0 || left > 0) text += QChar::ParagraphSeparator;
        text += fromCp1252(lines_[i], Controls::Pictures);
    }
    if (!text.isEmpty()) c.insertText(text);
    c.endEditBlock();
    writing_ = false;
    dropped_ = 0;
    kept_ = lines_.size();
    keptLastSize_ = lines_.empty() ? 0 : lines_.back().size();
    shownTimes_ = times_;
    if (follow) bar->setValue(bar->maximum());
}

void TextBoxPane::takeTyping() const {
    if (!typed_) return;
    if (pending_) writeBox();
    typed_ = false;
    lines_.clear();
    const QTextDocument* doc = box_.document();
    if (!doc->isEmpty()) {
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) lines_.push_back(toCp1252(b.text()));
    }
    kept_ = lines_.size();
    keptLastSize_ = lines_.empty() ? 0 : lines_.back().size();
    // Typed lines have no time; the times stay with the first lines.
    times_.resize(lines_.size());
    shownTimes_ = times_;
}

std::size_t TextBoxPane::lineCount() const {
    takeTyping();
    return lines_.size();
}

void TextBoxPane::addLine(std::string_view line) {
    takeTyping();
    lines_.emplace_back(line);
    times_.emplace_back();
    changed();
}

void TextBoxPane::appendToLastLine(std::string_view text) {
    takeTyping();
    if (lines_.empty()) {
        lines_.emplace_back();
        times_.emplace_back();
    }
    lines_.back().append(text);
    changed();
}

void TextBoxPane::removeFirstLines(std::size_t n) {
    takeTyping();
    if (n == 0) return;
    n = std::min(n, lines_.size());
    lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(n));
    times_.erase(times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(n));
    const std::size_t fromBox = std::min(n, kept_);
    dropped_ += fromBox;
    kept_ -= fromBox;
    if (kept_ == 0) keptLastSize_ = 0;
    changed();
}

void TextBoxPane::clear() {
    timer_->stop();
    pending_ = false;
    typed_ = false;
    lines_.clear();
    times_.clear();
    shownTimes_.clear();
    dropped_ = kept_ = keptLastSize_ = 0;
    writing_ = true;
    box_.clear();
    writing_ = false;
    box_.document()->setModified(false);
}

std::vector<std::string> TextBoxPane::lines() const {
    takeTyping();
    return {lines_.begin(), lines_.end()};
}

std::string TextBoxPane::line(std::size_t index) const {
    takeTyping();
    return index < lines_.size() ? lines_[index] : std::string();
}

void TextBoxPane::stampLastLine(trace::ChunkTime time) {
    takeTyping();
    if (times_.empty()) return;
    times_.back() = time;
    if (!pending_) changed();
}

trace::ChunkTime TextBoxPane::shownTime(std::size_t index) const {
    return index < shownTimes_.size() ? shownTimes_[index] : std::nullopt;
}

bool TextBoxPane::modified() const { return box_.document()->isModified(); }

void TextBoxPane::setModified(bool modified) { box_.document()->setModified(modified); }

}  // namespace zindra::app
