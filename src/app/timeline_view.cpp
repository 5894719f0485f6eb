#include "app/timeline_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "app/event_list_model.h"
#include "events/time_text.h"

namespace zindra::app {
namespace {

// Stacked from the axis up, in the event list's colours ("other" a quiet
// blue grey, as the list leaves those rows plain).
struct Layer {
    events::EventKind kind;
    const char* name;
};
constexpr Layer Layers[4] = {{events::EventKind::Alarm, "Alarm"},
                             {events::EventKind::Fault, "St\u00F6rung"},
                             {events::EventKind::Off, "Abschaltung"},
                             {events::EventKind::Other, "Andere"}};

QColor layerColour(events::EventKind kind) {
    const QColor c = kindColour(kind);
    return c.isValid() ? c : QColor(168, 188, 204);
}

constexpr int AxisHeight = 16;  // the time labels below the bars
constexpr int MatchHeight = 5;  // the strip that marks the filter's matches
constexpr int LeftMargin = 4;

QString two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// "2026-12-08T22:15:00", local, as the filter reads it.
QString filterTime(std::int64_t utc) {
    const events::LocalParts p = events::localParts(utc);
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(p.year)
        .arg(two(p.month), two(p.day), two(p.hour), two(p.minute), two(p.second));
}

}  // namespace

TimelineView::TimelineView(const EventListModel& model, const events::EventStore& store, QWidget* parent)
    : QWidget(parent), model_(model), store_(store) {
    setObjectName(QStringLiteral("Zeitleiste"));
    setMouseTracking(true);
    setToolTip(
        QStringLiteral("Ereignisse \u00FCber die Zeit: Klick w\u00E4hlt das erste Ereignis eines Balkens, "
                       "Ziehen filtert auf die Zeitspanne"));
}

void TimelineView::setGaps(std::vector<events::TimeSpan> gaps) {
    gaps_ = std::move(gaps);
    taken_ = 0;  // built anew with them
    refresh();
}

void TimelineView::refresh() {
    if (store_.size() < taken_ || taken_ == 0) {
        timeline_ = events::Timeline::build(store_, model_.kinds(), gaps_);
        taken_ = store_.size();
    }
    for (; taken_ < store_.size(); ++taken_) {
        const events::EventView e = store_.at(taken_);
        if (e.time) timeline_.add(*e.time, model_.kinds().kindOf(e));
    }
    countMatches();
    update();
}

void TimelineView::countMatches() {
    // Only what changed is counted: a new filter, other bins, or new matches
    // at the end (a live trace).
    const std::vector<std::uint32_t>& matches = model_.matchingEvents();
    const bool sameBins = matchBins_.size() == timeline_.bins().size() && matchFrom_ == timeline_.from() &&
                          matchWidth_ == timeline_.binWidth();
    if (!model_.filterActive() || model_.filterText() != matchFilter_ || !sameBins ||
        matches.size() < matchesTaken_) {
        matchBins_.assign(timeline_.bins().size(), 0);
        matchesTaken_ = 0;
        matchFilter_ = model_.filterText();
        matchFrom_ = timeline_.from();
        matchWidth_ = timeline_.binWidth();
    }
    if (!model_.filterActive() || model_.filtering()) return;
    for (; matchesTaken_ < matches.size(); ++matchesTaken_) {
        const std::uint32_t i = matches[matchesTaken_];
        if (i >= store_.size()) continue;
        const trace::ChunkTime t = store_.timeAt(i);
        if (!t) continue;
        if (const auto bin = timeline_.binOf(*t)) ++matchBins_[*bin];
    }
}

QRect TimelineView::plotRect() const {
    return rect().adjusted(LeftMargin, 4, -LeftMargin, -(AxisHeight + MatchHeight + 2));
}

int TimelineView::binLeft(std::size_t bin) const {
    const QRect r = plotRect();
    const auto n = std::max<std::size_t>(1, timeline_.bins().size());
    return r.left() + static_cast<int>(static_cast<double>(r.width()) * static_cast<double>(bin) /
                                       static_cast<double>(n));
}

std::optional<std::size_t> TimelineView::binAt(int x) const {
    const QRect r = plotRect();
    if (timeline_.empty() || x < r.left() || x > r.right()) return std::nullopt;
    const auto n = timeline_.bins().size();
    const auto bin = static_cast<std::size_t>(static_cast<double>(x - r.left()) * static_cast<double>(n) /
                                              static_cast<double>(r.width()));
    return std::min(bin, n - 1);
}

std::optional<std::size_t> TimelineView::firstEventIn(std::size_t bin) const {
    for (std::size_t i = 0; i < store_.size(); ++i) {
        const trace::ChunkTime t = store_.timeAt(i);
        if (t && timeline_.binOf(*t) == bin) return i;
    }
    return std::nullopt;
}

QString TimelineView::spanFilter(std::int64_t from, std::int64_t to) {
    return QStringLiteral("Zeit>=%1 Zeit<%2").arg(filterTime(from), filterTime(to));
}

void TimelineView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QRect r = plotRect();
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    if (timeline_.empty()) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(r, Qt::AlignCenter, QStringLiteral("Noch keine Ereignisse mit Zeit"));
        return;
    }
    const double span = static_cast<double>(timeline_.to() - timeline_.from());
    const auto xOf = [&](std::int64_t t) {
        const std::int64_t c = std::clamp(t, timeline_.from(), timeline_.to());
        return r.left() + static_cast<int>(r.width() * static_cast<double>(c - timeline_.from()) / span);
    };
    // Gaps: hatched over the full height.
    for (const events::TimeSpan& g : gaps_) {
        const int x0 = xOf(g.from), x1 = std::max(xOf(g.to), x0 + 2);
        p.fillRect(QRect(x0, r.top(), x1 - x0, r.height()), QBrush(QColor(150, 150, 150), Qt::BDiagPattern));
    }
    const double most = std::max<double>(1, timeline_.largestBin());
    const auto& bins = timeline_.bins();
    for (std::size_t i = 0; i < bins.size(); ++i) {
        const int x0 = binLeft(i), x1 = std::max(binLeft(i + 1) - 1, x0 + 1);
        int y = r.bottom();
        for (const Layer& layer : Layers) {
            const std::uint32_t n = bins[i].counts[static_cast<std::size_t>(layer.kind)];
            if (n == 0) continue;
            const int h = std::max(1, static_cast<int>((r.height() - 2) * n / most));
            p.fillRect(QRect(x0, y - h + 1, x1 - x0, h), layerColour(layer.kind));
            y -= h;
        }
        if (i < matchBins_.size() && matchBins_[i] > 0)
            p.fillRect(QRect(x0, r.bottom() + 2, x1 - x0, MatchHeight), QColor(0, 90, 200));
    }
    // A span being dragged.
    if (pressBin_ && dragBin_ && *pressBin_ != *dragBin_) {
        const std::size_t a = std::min(*pressBin_, *dragBin_), b = std::max(*pressBin_, *dragBin_);
        QColor sel = palette().color(QPalette::Highlight);
        sel.setAlpha(70);
        p.fillRect(QRect(binLeft(a), r.top(), binLeft(b + 1) - binLeft(a), r.height()), sel);
    }
    // The time axis.
    p.setPen(palette().color(QPalette::Text));
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("Mi 09.12.")) + 8;
    const auto count = static_cast<std::size_t>(std::max(2, r.width() / std::max(1, labelWidth * 2)));
    for (const events::TimelineTick& tick : timeline_.ticks(count)) {
        const int x = xOf(tick.at);
        p.drawLine(x, r.bottom() + 1, x, r.bottom() + MatchHeight + 2);
        const QString label = QString::fromStdString(tick.label);
        const int w = fontMetrics().horizontalAdvance(label);
        p.drawText(std::clamp(x - w / 2, 0, width() - w), height() - 3, label);
    }
}

void TimelineView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressBin_ = binAt(event->position().toPoint().x());
    dragBin_ = pressBin_;
}

void TimelineView::mouseMoveEvent(QMouseEvent* event) {
    const std::optional<std::size_t> bin = binAt(event->position().toPoint().x());
    if (pressBin_ && bin) {
        dragBin_ = bin;
        update();
    }
    if (!bin) return;
    const events::TimelineBin& b = timeline_.bins()[*bin];
    const std::int64_t from = timeline_.from() + timeline_.binWidth() * static_cast<std::int64_t>(*bin);
    QString text = QStringLiteral("%1 \u2013 %2")
                       .arg(QString::fromStdString(events::germanShortDateTime(from)),
                            QString::fromStdString(events::germanShortDateTime(from + timeline_.binWidth())));
    for (const Layer& layer : Layers)
        text += QStringLiteral("\n%1: %2")
                    .arg(QString::fromUtf8(layer.name))
                    .arg(b.counts[static_cast<std::size_t>(layer.kind)]);
    if (*bin < matchBins_.size() && model_.filterActive())
        text += QStringLiteral("\nTreffer des Filters: %1").arg(matchBins_[*bin]);
    QToolTip::showText(event->globalPosition().toPoint(), text, this);
}

void TimelineView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressBin_) return;
    const std::size_t a = *pressBin_;
    const std::size_t b = binAt(event->position().toPoint().x()).value_or(dragBin_.value_or(a));
    pressBin_.reset();
    dragBin_.reset();
    update();
    if (a == b) {
        if (const auto first = firstEventIn(a)) emit eventChosen(*first);
        return;
    }
    const std::size_t lo = std::min(a, b), hi = std::max(a, b);
    const std::int64_t w = timeline_.binWidth();
    emit spanChosen(timeline_.from() + w * static_cast<std::int64_t>(lo),
                    timeline_.from() + w * static_cast<std::int64_t>(hi + 1));
}

}  // namespace zindra::app
