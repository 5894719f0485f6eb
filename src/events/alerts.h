// Alert rules: a rule is a filter (filter.h); when a live event matches it,
// the window tells the user, at most once a minute per rule.  The matcher is
// plain logic with the time passed in, so the minute is testable: the
// event's own time where it has one, else the caller's clock.
//
// ZINDRA.INI keeps the rules as
//
//   [Benachrichtigung]
//   Regel1=Linie=3 Zustand~Alarm
//   Regel2="Linie aus"
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "events/event_view.h"
#include "events/filter.h"
#include "events/kinds.h"

namespace zindra::events {

inline constexpr std::string_view AlertSection = "Benachrichtigung";

struct AlertRule {
    std::string text;  // as typed, UTF-8
    Filter filter;
};

// A rule from its text; nullopt with the parse error in *error.
std::optional<AlertRule> makeAlertRule(std::string_view text, std::string* error = nullptr);

struct AlertRulesParse {
    std::vector<AlertRule> rules;     // in the order of their numbers
    std::vector<std::string> errors;  // "Regel2: …" for rules left out, German
};

// Keys Regel1, Regel2, … (any case); an empty value is no rule.  Values are
// UTF-8; bytes that are not UTF-8 are taken as Windows-1252.
AlertRulesParse parseAlertRules(const IniEntries& section);
// Regel1 … RegelN, values written so that the INI reader gives the text
// back unchanged (a text in quotes gets a second pair).
IniEntries formatAlertRules(const std::vector<AlertRule>& rules);
// The value that keeps a rule's text through the INI reader (see above).
std::string alertRuleValue(std::string_view text);
// The N of a key "RegelN" (any case), or 0 for any other key.
unsigned long alertRuleNumber(std::string_view key);

class AlertMatcher {
public:
    static constexpr std::int64_t QuietMicros = 60'000'000;  // one minute

    explicit AlertMatcher(std::vector<AlertRule> rules = {});
    // New rules; none has fired yet.
    void setRules(std::vector<AlertRule> rules);
    const std::vector<AlertRule>& rules() const { return rules_; }

    struct Hits {
        std::vector<std::size_t> matched;  // every rule the event matches (mark the row)
        std::vector<std::size_t> notify;   // of those, the ones to tell the user now
        bool any() const { return !matched.empty(); }
    };

    // Checks one event.  "Now" is the event's own time (UTC microseconds),
    // or clockMicros when it has none.  A matching rule notifies when it
    // never did, or its last notice is a minute or more before now, or after
    // now (a clock set back does not silence a rule).
    Hits check(const EventView& event, std::int64_t clockMicros);

private:
    std::vector<AlertRule> rules_;
    std::vector<std::optional<std::int64_t>> lastNotice_;
};

}  // namespace zindra::events
