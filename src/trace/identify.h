// The FAT's reply names the protocol: the reply table.
#pragma once

#include <optional>
#include <string_view>

#include "decoders/registry.h"

namespace zindra::trace {

struct PanelType {
    std::string_view reply;         // the reply text (for ALGOREX: a part of it)
    decoders::Protocol protocol;    // Default for "UNBEKANNT": the decoder is kept
    std::string_view panelCaption;  // Panel1's caption, spaces included
    bool substring = false;         // matches when reply occurs anywhere in the text
    bool keepsDecoder = false;      // "UNBEKANNT"
};

inline constexpr int PanelTypeCount = 22;

// The 22 rows in the order they are compared.
const PanelType* panelTypes();

// The first row the trimmed reply matches (exact and case-sensitive on the
// whole text, except ALGOREX); nullopt when none does.
std::optional<int> matchPanelType(std::string_view reply);

// The Windows-1252 texts of the error boxes of trace control.
extern const char* const NoConnectionText;  // the reply matches no row
extern const char* const NoAnswerText;      // no reply line within the time-out
extern const char* const NoPortText;        // Start without a device name

}  // namespace zindra::trace
