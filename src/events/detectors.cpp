#include "events/detectors.h"

#include <algorithm>
#include <numeric>

namespace zindra::events {

std::vector<std::size_t> DetectorTable::update(const EventStore& store, const KindTable& kinds) {
    if (store.size() < taken_) clear();
    std::vector<std::size_t> changed;
    for (; taken_ < store.size(); ++taken_) {
        const EventView e = store.at(taken_);
        // Printer lines and lines without numbers name no detector.
        if (!e.numberA && !e.numberB) continue;
        const Key key{std::string(e.panelName()), e.leadNumber, e.numberA, e.numberB};
        auto [it, added] = index_.try_emplace(key, rows_.size());
        if (added) {
            DetectorRow row;
            row.panel = std::string(e.panelName());
            row.lead = e.leadNumber;
            row.linie = e.numberA;
            row.melder = e.numberB;
            rows_.push_back(std::move(row));
        }
        DetectorRow& r = rows_[it->second];
        ++r.byKind[static_cast<std::size_t>(kinds.kindOf(e))];
        ++r.total;
        if (e.time) {
            if (!r.first) r.first = e.time;
            r.last = e.time;
        }
        r.lastState.assign(e.stateText);
        if (changed.empty() || changed.back() != it->second) changed.push_back(it->second);
    }
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    return changed;
}

void DetectorTable::clear() {
    index_.clear();
    rows_.clear();
    taken_ = 0;
}

std::vector<std::size_t> DetectorTable::busiest() const {
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rows_[a].total > rows_[b].total; });
    return order;
}

}  // namespace zindra::events
