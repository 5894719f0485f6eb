// One decoded event as data, beside the event line that shows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "decoders/protocol.h"

namespace zindra::decoders {

// Filled by the decoder through the event-column writer (event_format.h), so
// every field is what the line shows; a field the protocol's line does not
// show stays empty.  Texts are Windows-1252 bytes.
struct EventRecord {
    Protocol protocol = Protocol::Default;
    std::optional<std::int64_t> numberA;     // number A, "Linie"
    std::optional<std::int64_t> numberB;     // number B, "Melder"
    std::optional<std::int64_t> leadNumber;  // a number shown before A (FILNET's first column)
    std::optional<std::int32_t> stateCode;   // the state or message code as a number
    std::string stateHex;                    // that code as the line shows it in hex digits
    std::optional<std::uint8_t> qualifier;   // a second state byte the line shows (FILNET)
    std::string stateText;                   // "Alarm", "St\xF6r Ruhe", "Problem bei der Auswertung"
    std::string printerText;                 // printer protocols: the printed text of the line
    std::string line;                        // the event line's exact bytes (empty for printer lines)
    std::string raw;                         // the telegram's bytes as received
    // The panel type the trace identified, by its reply name ("IGISPRN",
    // "ESSERPRN"), set by the trace session; empty where none was, and then
    // the protocol's name stands for it (panelName).
    std::string panel;

    // Empties every field for a new event of protocol p.
    void reset(Protocol p) {
        protocol = p;
        numberA.reset();
        numberB.reset();
        leadNumber.reset();
        stateCode.reset();
        stateHex.clear();
        qualifier.reset();
        stateText.clear();
        printerText.clear();
        line.clear();
        raw.clear();
        panel.clear();
    }
};

// What names the event's source: the identified panel type, else the protocol.
inline std::string_view panelName(std::string_view panel, Protocol protocol) {
    return panel.empty() ? protocolName(protocol) : panel;
}

}  // namespace zindra::decoders
