#include "events/kinds.h"

#include <algorithm>
#include <array>

#include "events/event_row.h"
#include "events/text_fold.h"

namespace zindra::events {
namespace {

constexpr std::array<EventKind, 4> KindOrder = {EventKind::Alarm, EventKind::Fault, EventKind::Off,
                                                EventKind::Other};

// "[Ereignisarten] key: why"
std::string warningFor(const std::string& key, std::string_view why) {
    std::string w = "[";
    w += KindSection;
    w += "] ";
    w += trimmed(key);
    w += ": ";
    w += why;
    return w;
}

int rank(EventKind k) {
    return static_cast<int>(std::find(KindOrder.begin(), KindOrder.end(), k) - KindOrder.begin());
}

}  // namespace

std::string_view kindKey(EventKind kind) {
    switch (kind) {
        case EventKind::Alarm: return "Alarm";
        case EventKind::Fault: return "Stoerung";
        case EventKind::Off: return "Aus";
        case EventKind::Other: return "Andere";
    }
    return "Andere";
}

KindTable KindTable::defaults() {
    KindTable t;
    t.setTexts(EventKind::Alarm, {"Alarm"});
    t.setTexts(EventKind::Fault, {"St\xF6r", "Stoer"});
    t.setTexts(EventKind::Off, {"Abschalt", "Linie aus"});
    t.setTexts(EventKind::Other, {"keine Stoerung", "keine Abschaltung"});
    return t;
}

EventKind KindTable::kindOf(std::string_view text) const {
    const Entry* best = nullptr;
    for (const Entry& e : entries_) {
        if (!containsFolded(text, e.text)) continue;
        if (!best || e.text.size() > best->text.size() ||
            (e.text.size() == best->text.size() && rank(e.kind) < rank(best->kind))) {
            best = &e;
        }
    }
    return best ? best->kind : EventKind::Other;
}

void KindTable::setTexts(EventKind kind, const std::vector<std::string>& texts) {
    entries_.erase(
        std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.kind == kind; }),
        entries_.end());
    for (const std::string& t : texts) {
        // An empty text would be found in every event.
        if (!t.empty()) entries_.push_back({lowerCp1252(t), kind});
    }
}

KindTableParse parseKindTable(const IniEntries& section) {
    KindTableParse result;
    result.table = KindTable::defaults();
    for (const auto& entry : section) {
        // Named, not bound: a lambda below uses the key.
        const std::string& key = entry.first;
        const std::string& value = entry.second;
        const auto kind = std::find_if(KindOrder.begin(), KindOrder.end(), [&](EventKind k) {
            return lowerCp1252(trimmed(key)) == lowerCp1252(kindKey(k));
        });
        if (kind == KindOrder.end()) {
            result.warnings.push_back(
                warningFor(key, "unbekannte Art (bekannt: Alarm, Stoerung, Aus, Andere)"));
            continue;
        }
        std::vector<std::string> texts;
        std::size_t start = 0;
        while (start <= value.size()) {
            std::size_t comma = value.find(',', start);
            if (comma == std::string::npos) comma = value.size();
            const std::string part = trimmed(std::string_view(value).substr(start, comma - start));
            start = comma + 1;
            if (part.empty()) continue;
            const std::optional<std::string> text = cp1252FromText(part);
            if (!text) {
                std::string why = "\xE2\x80\x9E";
                why += part;
                why += "\xE2\x80\x9C enth\xC3\xA4lt ein Zeichen, das in keiner Meldung vorkommen kann";
                result.warnings.push_back(warningFor(key, why));
                continue;
            }
            texts.push_back(*text);
        }
        result.table.setTexts(*kind, texts);
    }
    return result;
}

IniEntries formatKindTable(const KindTable& table) {
    IniEntries out;
    for (const EventKind k : KindOrder) {
        std::string value;
        for (const KindTable::Entry& e : table.entries()) {
            if (e.kind != k) continue;
            if (!value.empty()) value += ", ";
            value += utf8FromCp1252(e.text);
        }
        out.emplace_back(std::string(kindKey(k)), value);
    }
    return out;
}

}  // namespace zindra::events
