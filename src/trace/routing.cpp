#include "trace/routing.h"

#include <algorithm>

namespace zindra::trace {

void EventListeners::remove(EventListener& listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener), listeners_.end());
}
namespace {

// A piece longer than `joinLimit` characters, or one with a header, gets lines
// of its own; shorter pieces are strung together on one line.
void routePane(Pane& pane, const std::string& header, const std::string& line, bool& startNewLine,
               std::size_t joinLimit, std::size_t maxLines) {
    if (maxLines != RoutingLimits::unlimited().textLines && pane.lineCount() > maxLines) {
        pane.removeFirstLines(pane.lineCount() - maxLines);
    }
    if (line.size() > joinLimit || !header.empty()) {
        if (!header.empty()) pane.addLine(header);
        pane.addLine(line);
        startNewLine = true;
    } else if (startNewLine) {
        pane.addLine(line);
        startNewLine = false;
    } else {
        pane.appendToLastLine(line);
    }
}

}  // namespace

void routeOutput(const decoders::DecoderOutput& out, Panes& panes, RoutingFlags& flags,
                 const RoutingLimits& limits) {
    if (out.hexLine.empty() && out.hexHeader.empty()) return;
    if (!out.textLine.empty() || !out.textHeader.empty()) {
        routePane(panes.text, out.textHeader, out.textLine, flags.textStartNewLine, 13, limits.textLines);
    }
    routePane(panes.hex, out.hexHeader, out.hexLine, flags.hexStartNewLine, 5, limits.hexLines);
    if (!out.eventLine.empty()) {
        if (limits.eventLines > 0 && panes.event.lineCount() > limits.eventLines - 1) {
            panes.event.removeFirstLines(1);
        }
        panes.event.addLine(out.eventLine);
    }
}

}  // namespace zindra::trace
