// One event as read-only views: what the filter, the kind table, the alert
// matcher and the export writers look at.  It points either into a live
// decoders::EventRecord or into an EventStore, and is valid only as long as
// what it points into is unchanged.  Texts are Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "decoders/event_record.h"
#include "trace/routing.h"

namespace zindra::events {

struct EventView {
    decoders::Protocol protocol = decoders::Protocol::Default;
    trace::ChunkTime time;  // UTC microseconds; empty without a time
    std::optional<std::int64_t> numberA;
    std::optional<std::int64_t> numberB;
    std::optional<std::int64_t> leadNumber;
    std::optional<std::int32_t> stateCode;
    std::optional<std::uint8_t> qualifier;
    std::string_view stateHex;
    std::string_view stateText;
    std::string_view printerText;
    std::string_view line;
    std::string_view raw;
    std::string_view panel;  // the identified panel type's reply name, or empty

    // The panel type's reply name, or the protocol's where none was identified.
    std::string_view panelName() const { return decoders::panelName(panel, protocol); }

    // The text a person reads for this event: its event line, or for a
    // printer record (which has none) its printed text.
    std::string_view shownText() const { return line.empty() ? printerText : line; }
};

inline EventView viewOf(const decoders::EventRecord& r, trace::ChunkTime time) {
    EventView v;
    v.protocol = r.protocol;
    v.time = time;
    v.numberA = r.numberA;
    v.numberB = r.numberB;
    v.leadNumber = r.leadNumber;
    v.stateCode = r.stateCode;
    v.qualifier = r.qualifier;
    v.stateHex = r.stateHex;
    v.stateText = r.stateText;
    v.printerText = r.printerText;
    v.line = r.line;
    v.raw = r.raw;
    v.panel = r.panel;
    return v;
}

// A full copy, for whoever needs the record type itself.
decoders::EventRecord recordOf(const EventView& v);

}  // namespace zindra::events
