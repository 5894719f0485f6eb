// The event pane's box, able to draw each event's time (hh:mm:ss.mmm) in a
// margin beside its line.  The times are drawn, never part of the text, so
// the pane's lines (and Save as) stay as they are.
#pragma once

#include <QPlainTextEdit>
#include <functional>

#include "trace/routing.h"

namespace zindra::app {

class TimedBox final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TimedBox(QWidget* parent = nullptr);

    // Where the times come from: the time of the box's line n, if it has one.
    void setTimeSource(std::function<trace::ChunkTime(std::size_t)> source);
    // Shows or hides the margin; the text moves right by its width.
    void setTimesShown(bool shown);
    bool timesShown() const { return shown_; }
    // The margin's width in pixels, 0 while hidden.
    int marginWidth() const;
    // What the margin shows for the box's line n ("" for a line without time).
    QString timeText(std::size_t line) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Margin;
    void paintMargin(QPaintEvent* event);
    QFont timeFont() const;

    Margin* margin_;
    std::function<trace::ChunkTime(std::size_t)> source_;
    bool shown_ = false;
};

}  // namespace zindra::app
