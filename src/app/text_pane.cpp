#include "app/text_pane.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QFontDatabase>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "app/cp1252.h"

namespace zindra::app {

// Draws the control pictures of the lines in view as dark chips with their
// names in letters that fill the character cell ("S" over "TX" for STX), so
// that they read at the pane's size; the font's own pictures are small
// diagonal letters in thin strokes.  A child over the box's viewport that
// lets every mouse event through to the box.
class TextBoxPane::Pictures final : public QWidget {
public:
    // beforeResize runs when the box is resized, before it lays its lines out.
    Pictures(QPlainTextEdit& box, std::function<void()> beforeResize)
        : QWidget(box.viewport()), box_(box), beforeResize_(std::move(beforeResize)) {
        setObjectName(QStringLiteral("ControlPictures"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(box.viewport()->rect());
        box.viewport()->installEventFilter(this);
        box.installEventFilter(this);
        connect(&box, &QPlainTextEdit::updateRequest, this, [this] { update(); });
    }

protected:
    // Scrolling the viewport moves its children with its pixels; the chips
    // are drawn anew where the lines now are, over the whole viewport.
    void moveEvent(QMoveEvent* event) override {
        QWidget::moveEvent(event);
        if (pos() != QPoint(0, 0)) move(0, 0);
    }

    // The name drawn for a control picture, or null for any other character.
    static const char* nameOf(char16_t u) {
        static const char* const names[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                              "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                              "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                              "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
        if (u >= 0x2400 && u < 0x2420) return names[u - 0x2400];
        if (u == 0x2421) return "DEL";
        return nullptr;
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            if (watched == box_.viewport()) setGeometry(box_.viewport()->rect());
            if (watched == &box_) beforeResize_();
        }
        return false;
    }

    void paintEvent(QPaintEvent* event) override {
        const QTextDocument* doc = box_.document();
        QTextBlock block = doc->findBlockByLineNumber(box_.verticalScrollBar()->value());
        if (!block.isValid()) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QFontMetricsF metrics(box_.font());
        const QRect area = event->rect();
        for (; block.isValid(); block = block.next()) {
            QTextCursor c(block);
            if (box_.cursorRect(c).top() > area.bottom()) break;
            const QString text = block.text();
            for (qsizetype i = 0; i < text.size(); ++i) {
                const char* name = nameOf(text[i].unicode());
                if (name == nullptr) continue;
                c.setPosition(block.position() + static_cast<int>(i));
                const QRect at = box_.cursorRect(c);
                const QRectF cell(at.left(), at.top(), metrics.horizontalAdvance(text[i]), at.height());
                if (cell.bottom() < area.top() || cell.top() > area.bottom()) continue;
                drawChip(painter, cell, name);
            }
        }
    }

private:
    void drawChip(QPainter& painter, const QRectF& cell, const char* name) const {
        const QString letters = QString::fromLatin1(name);
        // The first letter, which tells most of them apart, has a row of
        // its own.
        const QString rows[2] = {letters.left(1), letters.mid(1)};
        const QRectF chip = cell.adjusted(0.5, 1.5, -0.5, -1.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Text));
        painter.drawRoundedRect(chip, 2, 2);
        painter.setPen(palette().color(QPalette::Base));
        // The first letter is the larger: 11 of 20 parts of the height.
        const qreal split = chip.height() * 11 / 20;
        const QRectF rooms[2] = {
            QRectF(chip.left(), chip.top(), chip.width(), split),
            QRectF(chip.left(), chip.top() + split, chip.width(), chip.height() - split)};
        for (int r = 0; r < 2; ++r) {
            // The pane's own font, which the program carries: its letters
            // are there on every system, whatever fonts it has.
            QFont f = paneFont(true);
            // The capitals fill four fifths of their row's height.
            const qreal capRatio = QFontMetricsF(f).capHeight() / std::max(1, f.pixelSize());
            f.setPixelSize(std::max(6, qRound(rooms[r].height() * 0.85 / std::max(0.3, capRatio))));
            painter.setFont(f);
            const QFontMetricsF m(f);
            const qreal width = m.horizontalAdvance(rows[r]);
            // Two letters in a cell meant for one are drawn narrower.
            const qreal squeeze = std::min(1.0, (rooms[r].width() - 1) / std::max(1.0, width));
            // The capitals' height centred in the row.
            const qreal baseline = rooms[r].center().y() + m.capHeight() / 2;
            // Drawn as outlines, filled and traced once more: the pane's
            // font has thin strokes, and bold letters read at this size.
            QPainterPath outline;
            outline.addText(QPointF(-width / 2, 0), f, rows[r]);
            painter.save();
            painter.translate(rooms[r].center().x(), baseline);
            painter.scale(squeeze, 1);
            painter.setBrush(palette().color(QPalette::Base));
            painter.setPen(QPen(palette().color(QPalette::Base), 0.8));
            painter.drawPath(outline);
            painter.restore();
        }
    }

    QPlainTextEdit& box_;
    std::function<void()> beforeResize_;
};

TextBoxPane::TextBoxPane(QPlainTextEdit& box)
    : box_(box), timer_(std::make_unique<QTimer>()), sinceWrite_(std::make_unique<QElapsedTimer>()) {
    // Edits come by the thousand during a trace; an undo history would only
    // grow without bound.
    box_.setUndoRedoEnabled(false);
    // What was received is shown as it came: selected and copied, not changed.
    box_.setReadOnly(true);
    box_.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    timer_->setSingleShot(true);
    QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { flush(); });
    pictures_ = new Pictures(box_, [this] {
        // A resize lays wrapped lines out anew and moves the end of the bar
        // away from a view that stood there: it goes back once the box is done.
        if (endInView()) QTimer::singleShot(0, timer_.get(), [this] { scrollToEnd(); });
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
    if (pending_) writeBox();
}

bool TextBoxPane::endInView() const {
    // Ctrl+End shows the last row, which may leave the bar a row short of
    // its end; a last line wrapped over rows counts once it is in view.
    const QScrollBar* bar = box_.verticalScrollBar();
    if (bar->value() >= bar->maximum() - 1) return true;
    const QTextCursor bottom = box_.cursorForPosition(QPoint(0, box_.viewport()->height() - 1));
    return !bottom.block().next().isValid();
}

void TextBoxPane::scrollToEnd() { box_.verticalScrollBar()->setValue(box_.verticalScrollBar()->maximum()); }

void TextBoxPane::writeBox() {
    pending_ = false;
    sinceWrite_->restart();
    QTextDocument* doc = box_.document();
    QScrollBar* bar = box_.verticalScrollBar();
    const bool follow = endInView();
    // A view held still keeps its top line (and the row of it in view, for a
    // line wrapped over several) as lines come and the oldest go; the bar
    // counts rows, so the rows of the lines that go are not known after.
    const QTextBlock top = doc->findBlockByLineNumber(bar->value());
    const int topLine = top.isValid() ? top.blockNumber() : 0;
    const int topRow = top.isValid() ? bar->value() - top.firstLineNumber() : 0;
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
    if (follow) {
        bar->setValue(bar->maximum());
    } else {
        const int line = topLine - static_cast<int>(dropped_);
        const QTextBlock still = doc->findBlockByNumber(std::max(0, line));
        if (still.isValid()) bar->setValue(still.firstLineNumber() + (line >= 0 ? topRow : 0));
    }
    dropped_ = 0;
    kept_ = lines_.size();
    keptLastSize_ = lines_.empty() ? 0 : lines_.back().size();
    shownTimes_ = times_;
}

std::size_t TextBoxPane::lineCount() const { return lines_.size(); }

void TextBoxPane::addLine(std::string_view line) {
    lines_.emplace_back(line);
    times_.emplace_back();
    changed();
}

void TextBoxPane::appendToLastLine(std::string_view text) {
    if (lines_.empty()) {
        lines_.emplace_back();
        times_.emplace_back();
    }
    lines_.back().append(text);
    changed();
}

void TextBoxPane::removeFirstLines(std::size_t n) {
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
    lines_.clear();
    times_.clear();
    shownTimes_.clear();
    dropped_ = kept_ = keptLastSize_ = 0;
    box_.clear();
    box_.document()->setModified(false);
}

std::vector<std::string> TextBoxPane::lines() const { return {lines_.begin(), lines_.end()}; }

std::string TextBoxPane::line(std::size_t index) const {
    return index < lines_.size() ? lines_[index] : std::string();
}

void TextBoxPane::stampLastLine(trace::ChunkTime time) {
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
