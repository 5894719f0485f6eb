// The state texts that ZETFAS and FILNET share: a kind byte names the family
// (alarm, fault, line) and a qualifier byte says which way the state went.
#pragma once

#include <cstdint>

#include "decoders/event_format.h"

namespace zindra::decoders {

// Keyed by codePair(family kind, qualifier); FILNET maps its kind bytes to the
// family kinds 0x80, 0x90 and 0xB2 first.
inline constexpr CodeText KindStates[] = {
    {0x8001, "Alarm"},        {0x80FF, "Ruhe"},      {0x9001, "St\xF6rung"},
    {0x90FF, "St\xF6r Ruhe"}, {0xB202, "Linie ein"}, {0xB2FE, "Linie aus"},
};

// The state text, "" for a combination the table does not hold.
inline const char* kindStateText(std::uint8_t familyKind, std::uint8_t qualifier) {
    return lookupText(KindStates, codePair(familyKind, qualifier), "");
}

}  // namespace zindra::decoders
