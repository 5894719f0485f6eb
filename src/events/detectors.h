// The events per detector: one row for each panel type (or protocol), lead number (Vorzahl),
// Linie and Melder, with the count per kind, the first and last time and the
// last state text.  Built from an event store and kept up to date as events
// come; for the window's overview and the report alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "events/event_store.h"
#include "events/kinds.h"

namespace zindra::events {

struct DetectorRow {
    std::string panel;  // the panel type's reply name, or the protocol's (EventView::panelName)
    std::optional<std::int64_t> lead, linie, melder;
    std::array<std::size_t, 4> byKind{};  // by EventKind
    std::size_t total = 0;
    std::optional<std::int64_t> first, last;  // UTC microseconds
    std::string lastState;                    // Windows-1252
};

class DetectorTable {
public:
    // Takes the store's events from the first not yet taken; a store that
    // was emptied starts the table anew.  Returns the rows that changed or
    // were added (indices into rows()).
    std::vector<std::size_t> update(const EventStore& store, const KindTable& kinds);
    void clear();
    const std::vector<DetectorRow>& rows() const { return rows_; }
    // The rows by their totals, most first (ties in the order first seen).
    std::vector<std::size_t> busiest() const;

private:
    using Key = std::tuple<std::string, std::optional<std::int64_t>, std::optional<std::int64_t>,
                           std::optional<std::int64_t>>;
    std::map<Key, std::size_t> index_;
    std::vector<DetectorRow> rows_;
    std::size_t taken_ = 0;
};

}  // namespace zindra::events
