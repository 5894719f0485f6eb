#include "app/event_times.h"

#include <QPainter>
#include <QTextBlock>

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
    setViewportMargins(marginWidth(), 0, 0, 0);
    margin_->setVisible(shown);
    resizeEvent(nullptr);
}

QString TimedBox::timeText(std::size_t line) const {
    const trace::ChunkTime time = source_ ? source_(line) : std::nullopt;
    return time ? QString::fromLatin1(events::clockTime(*time)) : QString();
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
