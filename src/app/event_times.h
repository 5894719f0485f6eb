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
    // Shows or hides the margin; the text moves right by its width.  While
    // the times are shown each line stays one row beside its time: a line
    // wider than the room left ends in "…", and its tooltip shows it whole.
    void setTimesShown(bool shown);
    bool timesShown() const { return shown_; }
    // The margin's width in pixels, 0 while hidden.
    int marginWidth() const;
    // What the margin shows for the box's line n ("" for a line without time).
    QString timeText(std::size_t line) const;
    // The text of the box's line n as its tooltip shows it: the time and the
    // line, when the line is cut; empty when it is shown whole.
    QString cutLineTip(std::size_t line) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    class Margin;
    void paintMargin(QPaintEvent* event);
    // The line's text does not fit beside the margin.
    bool isCut(const QTextBlock& block) const;
    QFont timeFont() const;

    Margin* margin_;
    std::function<trace::ChunkTime(std::size_t)> source_;
    bool shown_ = false;
};

}  // namespace zindra::app
