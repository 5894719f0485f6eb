// The event filter: what the event list's filter box and the alert rules
// accept.  docs/events.md describes the grammar for users; in short:
//
//   filter    = [term {("AND" | "UND" | "&&" | blanks) term}]
//   term      = value                      the shown text contains value
//             | field op value
//   field     = Zeit | Protokoll | Vorzahl | Linie | Melder | Code | Hex | Zusatz |
//               Zustand | Ereignis | Text | Drucktext | Telegramm
//               (upper or lower case alike; Text = Ereignis = the shown text)
//   op        = "=" | "!=" | "~" | "!~" | "<" | "<=" | ">" | ">="
//   value     = word | '"' phrase '"'      ("" inside quotes is one quote)
//
// Text comparisons ignore case (Ä = ä); "=" compares the whole text, "~"
// looks for it inside.  Number fields take = != < <= > >= and an integer.
// Zeit takes the same and a local date and time (2026-12-08, 2026-12-08T22:15,
// "2026-12-08 22:15:03", …:03.250), meaning the whole day, minute, second or
// millisecond typed: Zeit=2026-12-08 is that day, Zeit>2026-12-08T22:15 after
// that minute.
// Telegramm takes hex digits (blanks ignored) and looks for those bytes in
// the telegram.  A condition on a field the event does not have is false.
// Text is typed as UTF-8 and matched against the Windows-1252 texts of the
// events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "events/event_store.h"
#include "events/event_view.h"

namespace zindra::events {

struct FilterParse;

class Filter {
public:
    Filter();  // the empty filter: every event matches
    ~Filter();
    Filter(const Filter&);
    Filter& operator=(const Filter&);
    Filter(Filter&&) noexcept;
    Filter& operator=(Filter&&) noexcept;

    bool matches(const EventView& event) const;
    bool matchesEverything() const;
    // Whether a condition is on the time (else the event's body decides).
    bool readsTime() const;
    // The conditions on the state text alone, and all the others: together
    // the same as matches(), for work that decides the first once per text.
    bool matchesState(std::string_view stateText) const;
    bool matchesOtherThanState(const EventView& event) const;

    struct Term;

private:
    friend FilterParse parseFilter(std::string_view text);
    std::vector<Term> terms_;
};

struct FilterParse {
    Filter filter;      // every event matches when the text did not parse
    std::string error;  // empty when it parsed; else why, in German (UTF-8)
    bool ok() const { return error.empty(); }
};

// Parses a filter typed by a person (UTF-8; bytes that are not UTF-8 are
// taken as Windows-1252).
FilterParse parseFilter(std::string_view text);

// A filter over a store, in slices: each step tests a bounded number of
// events, so the window can run it between other work and drop it to cancel.
// Events added to the store while the run goes on are tested by later steps.
class FilterRun {
public:
    FilterRun(const EventStore& store, Filter filter, std::size_t from = 0);

    // Tests up to `count` more events; true when every event the store now
    // holds has been tested.
    bool step(std::size_t count);
    bool done() const { return next_ >= store_->size(); }
    // How many events have been tested (the next index to test).
    std::size_t tested() const { return next_; }
    // The indices of the matching events, ascending.
    const std::vector<std::uint32_t>& matches() const { return matches_; }
    std::vector<std::uint32_t> takeMatches() { return std::move(matches_); }

private:
    const EventStore* store_;
    Filter filter_;
    std::size_t next_;
    std::vector<std::uint32_t> matches_;
    // Per state text id: 0 unknown, 1 the filter's state-text terms hold, 2 not.
    std::vector<std::uint8_t> stateVerdict_;
    // Per body id, for filters without a time condition: the same.
    std::vector<std::uint8_t> bodyVerdict_;
};

}  // namespace zindra::events
