#include "events/alerts.h"

#include <algorithm>
#include <map>

#include "events/text_fold.h"

namespace zindra::events {

unsigned long alertRuleNumber(std::string_view key) {
    constexpr std::string_view Prefix = "regel";
    if (key.size() <= Prefix.size() || key.size() > Prefix.size() + 6) return 0;
    for (std::size_t i = 0; i < Prefix.size(); ++i) {
        const char c = key[i];
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != Prefix[i]) return 0;
    }
    unsigned long n = 0;
    for (std::size_t i = Prefix.size(); i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9') return 0;
        n = n * 10 + static_cast<unsigned long>(key[i] - '0');
    }
    return n;
}

std::optional<AlertRule> makeAlertRule(std::string_view text, std::string* error) {
    FilterParse p = parseFilter(text);
    if (!p.ok()) {
        if (error) *error = p.error;
        return std::nullopt;
    }
    if (p.filter.matchesEverything()) {
        // A rule without a condition would fire on every event.
        if (error) *error = "die Regel ist leer";
        return std::nullopt;
    }
    return AlertRule{trimmed(text), std::move(p.filter)};
}

AlertRulesParse parseAlertRules(const IniEntries& section) {
    AlertRulesParse result;
    std::map<unsigned long, const std::pair<std::string, std::string>*> numbered;
    for (const auto& entry : section) {
        const std::string key = trimmed(entry.first);
        const unsigned long n = alertRuleNumber(key);
        if (n == 0) {
            result.errors.push_back(key +
                                    ": unbekannter Schl\xC3\xBCssel (Regeln hei\xC3\x9F"
                                    "en Regel1, Regel2, \xE2\x80\xA6)");
            continue;
        }
        // The first of two equal keys counts, as for the INI reader.
        numbered.emplace(n, &entry);
    }
    for (const auto& [n, entry] : numbered) {
        if (trimmed(entry->second).empty()) continue;
        std::string error;
        if (std::optional<AlertRule> rule = makeAlertRule(entry->second, &error)) {
            result.rules.push_back(std::move(*rule));
        } else {
            result.errors.push_back(trimmed(entry->first) + ": " + error);
        }
    }
    return result;
}

IniEntries formatAlertRules(const std::vector<AlertRule>& rules) {
    IniEntries out;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        out.emplace_back("Regel" + std::to_string(i + 1), alertRuleValue(rules[i].text));
    }
    return out;
}

std::string alertRuleValue(std::string_view text) {
    std::string value(text);
    // The INI reader takes the text between a value's outer quotes.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = '"' + value + '"';
    return value;
}

AlertMatcher::AlertMatcher(std::vector<AlertRule> rules) { setRules(std::move(rules)); }

void AlertMatcher::setRules(std::vector<AlertRule> rules) {
    rules_ = std::move(rules);
    lastNotice_.assign(rules_.size(), std::nullopt);
}

AlertMatcher::Hits AlertMatcher::check(const EventView& event, std::int64_t clockMicros) {
    const std::int64_t now = event.time.value_or(clockMicros);
    Hits hits;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        if (!rules_[i].filter.matches(event)) continue;
        hits.matched.push_back(i);
        std::optional<std::int64_t>& last = lastNotice_[i];
        if (!last || now - *last >= QuietMicros || now < *last) {
            last = now;
            hits.notify.push_back(i);
        }
    }
    return hits;
}

}  // namespace zindra::events
