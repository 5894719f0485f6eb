// What kind of event a state text names, for the event list's colours:
// alarm (red), fault (yellow), switched off (grey) or other.  A small table
// of texts per kind; an event's kind is that of the longest table text found
// in its state text (upper and lower case alike), or in its printed text for
// printer records, which have no state text; ties go to the kind named first
// (alarm, fault, off, other); no text found is Other.  docs/events.md lists
// the default table.  ZINDRA.INI may replace a kind's texts:
//
//   [Ereignisarten]
//   Alarm=Alarm
//   Stoerung=Stör, Stoer
//   Aus=Abschalt, Linie aus
//   Andere=keine Stoerung, keine Abschaltung
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "events/event_view.h"

namespace zindra::events {

enum class EventKind : std::uint8_t { Other, Alarm, Fault, Off };

inline constexpr std::string_view KindSection = "Ereignisarten";

// The key of a kind in KindSection: "Alarm", "Stoerung", "Aus", "Andere".
std::string_view kindKey(EventKind kind);

using IniEntries = std::vector<std::pair<std::string, std::string>>;  // key, value

class KindTable {
public:
    struct Entry {
        std::string text;  // Windows-1252
        EventKind kind;
    };

    static KindTable defaults();

    EventKind kindOf(std::string_view text) const;
    EventKind kindOf(const EventView& event) const {
        return kindOf(event.stateText.empty() ? event.printerText : event.stateText);
    }

    // Replaces the texts of one kind (Windows-1252).
    void setTexts(EventKind kind, const std::vector<std::string>& texts);
    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

struct KindTableParse {
    KindTable table;
    std::vector<std::string> warnings;  // German, UTF-8; the rest still applies
};

// The keys and values of KindSection as the INI holds them: each key names a
// kind, its value the texts, separated by commas (blanks around them
// ignored; an empty value: no text names that kind).  Kinds not named keep
// their default texts.  Values may be UTF-8 or Windows-1252.
KindTableParse parseKindTable(const IniEntries& section);
// The table as KindSection's keys and values (UTF-8).
IniEntries formatKindTable(const KindTable& table);

}  // namespace zindra::events
