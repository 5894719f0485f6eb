// The timeline above the event list: the events per time bin stacked by kind
// in the list's colours, the gaps shaded, the filter's matches marked below
// the bars.  Hovering shows a bin's counts; a click selects the bin's first
// event; dragging a span filters the list to it.  It follows a live trace.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "events/event_store.h"
#include "events/kinds.h"
#include "events/timeline.h"

namespace zindra::app {

class EventListModel;

class TimelineView final : public QWidget {
    Q_OBJECT
public:
    TimelineView(const EventListModel& model, const events::EventStore& store, QWidget* parent = nullptr);

    // The spans without data (cable pulls, recording interruptions).
    void setGaps(std::vector<events::TimeSpan> gaps);
    // Takes the store's new events (or builds anew after the store emptied)
    // and the filter's current matches.
    void refresh();

    const events::Timeline& timeline() const { return timeline_; }
    // Per bin: how many of the filter's matches fall into it.
    const std::vector<std::uint32_t>& matchesPerBin() const { return matchBins_; }
    // The bin under an x position of the widget; none outside the bars.
    std::optional<std::size_t> binAt(int x) const;
    // The x position of a bin's left edge.
    int binLeft(std::size_t bin) const;
    // The first event (store index) whose time falls into the bin.
    std::optional<std::size_t> firstEventIn(std::size_t bin) const;
    // The filter text that keeps only the span of bins first..last.
    static QString spanFilter(std::int64_t from, std::int64_t to);

    QSize sizeHint() const override { return {600, 110}; }
    QSize minimumSizeHint() const override { return {200, 80}; }

signals:
    // A click on a bin: its first event.
    void eventChosen(std::size_t event);
    // A span dragged over the bars, from its first bin's start to its last
    // bin's end (UTC microseconds).
    void spanChosen(qint64 from, qint64 to);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect plotRect() const;
    void countMatches();

    const EventListModel& model_;
    const events::EventStore& store_;
    std::vector<events::TimeSpan> gaps_;
    events::Timeline timeline_;
    std::vector<std::uint32_t> matchBins_;
    // What matchBins_ was counted for.
    std::size_t matchesTaken_ = 0;
    QString matchFilter_;
    std::int64_t matchFrom_ = 0;
    std::int64_t matchWidth_ = 0;
    std::size_t taken_ = 0;
    std::optional<std::size_t> pressBin_;
    std::optional<std::size_t> dragBin_;
};

}  // namespace zindra::app
