#include "app/event_times.h"

#include <QHelpEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

#include "events/time_text.h"

namespace zindra::app {

// A plain child widget over the box's left viewport margin.
class TimedBox::Margin final : public QWidget {
public:
    explicit Margin(TimedBox& box) : QWidget(&box), box_(box) { setObjectName(QStringLiteral("EventTimes")); }

protected:
    void paintEvent(QPaintEvent* event) override { box_.paintMargin(event); }

private:
    TimedBox& box_;
};

TimedBox::TimedBox(QWidget* parent) : QPlainTextEdit(parent), margin_(new Margin(*this)) {
    margin_->hide();
    // Scrolling and new lines move the lines the margin stands beside.
    connect(this, &QPlainTextEdit::updateRequest, margin_, [this](const QRect& rect, int dy) {
        if (!shown_) return;
        if (dy != 0) {
            margin_->scroll(0, dy);
        } else {
            margin_->update(0, rect.y(), margin_->width(), rect.height());
        }
    });
}

void TimedBox::setTimeSource(std::function<trace::ChunkTime(std::size_t)> source) {
    source_ = std::move(source);
    margin_->update();
}

// Smaller than the lines, so that the margin takes as little of the pane's
// width as it can.
QFont TimedBox::timeFont() const {
    QFont f = font();
    f.setPixelSize(std::max(8, f.pixelSize() * 3 / 4));
    return f;
}

int TimedBox::marginWidth() const {
    if (!shown_) return 0;
    // "23:59:59.999" and a gap before the line.
    const QFontMetrics m(timeFont());
    return m.horizontalAdvance(QStringLiteral("00:00:00.000 ")) + 4;
}

void TimedBox::setTimesShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    setLineWrapMode(shown ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    setViewportMargins(marginWidth(), 0, 0, 0);
    margin_->setVisible(shown);
    resizeEvent(nullptr);
}

QString TimedBox::timeText(std::size_t line) const {
    const trace::ChunkTime time = source_ ? source_(line) : std::nullopt;
    return time ? QString::fromLatin1(events::clockTime(*time)) : QString();
}

bool TimedBox::isCut(const QTextBlock& block) const {
    if (lineWrapMode() != QPlainTextEdit::NoWrap || !block.isValid() || block.layout() == nullptr)
        return false;
    const QTextLayout* layout = block.layout();
    if (layout->lineCount() == 0) return false;
    const qreal right = document()->documentMargin() + layout->lineAt(0).naturalTextWidth();
    return right > viewport()->width() - document()->documentMargin();
}

QString TimedBox::cutLineTip(std::size_t line) const {
    const QTextBlock block = document()->findBlockByNumber(static_cast<int>(line));
    if (!isCut(block)) return {};
    const QString time = timeText(line);
    return time.isEmpty() ? block.text() : time + QLatin1Char(' ') + block.text();
}

void TimedBox::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    if (lineWrapMode() != QPlainTextEdit::NoWrap) return;
    // A cut line ends in an ellipsis over its last characters.
    QPainter painter(viewport());
    const QFontMetricsF metrics(font());
    const QString dots = QStringLiteral("\u2026");
    const qreal width = metrics.horizontalAdvance(dots) + 2;
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (isCut(block)) {
            const QRectF room(viewport()->width() - width, top, width, metrics.height());
            painter.fillRect(room, palette().color(QPalette::Base));
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(room, Qt::AlignRight | Qt::AlignVCenter, dots);
        }
        top += height;
        block = block.next();
    }
}

bool TimedBox::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QTextBlock block = cursorForPosition(help->pos()).block();
        const QString tip = cutLineTip(static_cast<std::size_t>(block.blockNumber()));
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport());
        }
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

void TimedBox::resizeEvent(QResizeEvent* event) {
    if (event != nullptr) QPlainTextEdit::resizeEvent(event);
    const QRect inner = contentsRect();
    margin_->setGeometry(inner.left(), inner.top(), marginWidth(), inner.height());
}

void TimedBox::paintMargin(QPaintEvent* event) {
    QPainter painter(margin_);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    // Grey beside the black lines: read along, not mistaken for their text.
    painter.setPen(QColor(0x55, 0x55, 0x55));
    painter.setFont(timeFont());
    const int right = margin_->width() - QFontMetrics(timeFont()).horizontalAdvance(QLatin1Char(' '));
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible() && top + height >= event->rect().top()) {
            // The time stands on the line's first row, as the line number
            // of an editor does.
            painter.drawText(QRectF(0, top, right, fontMetrics().height()), Qt::AlignRight | Qt::AlignVCenter,
                             timeText(static_cast<std::size_t>(block.blockNumber())));
        }
        top += height;
        block = block.next();
    }
}

}  // namespace zindra::app
