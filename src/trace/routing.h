// Routing of one decoder call's outputs into the three panes.
#pragma once

#include <cstddef>
#include <limits>

#include "decoders/decoder.h"
#include "trace/panes.h"

namespace zindra::trace {

// Where the next short piece goes: true starts a new line.
struct RoutingFlags {
    bool textStartNewLine = false;
    bool hexStartNewLine = false;
};

// Pane limits: the text and hex panes are cut back to textLines/hexLines
// before each update; the event pane never holds more than eventLines.
struct RoutingLimits {
    std::size_t textLines = 500;
    std::size_t hexLines = 500;
    std::size_t eventLines = 101;

    static RoutingLimits unlimited() {
        constexpr auto big = std::numeric_limits<std::size_t>::max();
        return RoutingLimits{big, big, big};
    }
};

// Routes one call's outputs.  A call with an empty HexLine and HexHeader shows
// nothing at all.
void routeOutput(const decoders::DecoderOutput& out, Panes& panes, RoutingFlags& flags,
                 const RoutingLimits& limits);

}  // namespace zindra::trace
