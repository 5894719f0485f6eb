// Routing of one decoder call's outputs: the lines into the three panes, the
// event record to whoever listens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "decoders/decoder.h"
#include "decoders/event_record.h"
#include "trace/panes.h"

namespace zindra::trace {

// When the chunk that completed an event was read from the port: UTC,
// microseconds since 1970-01-01.  Empty where there is no such time (a replay
// of a plain trace file).
using ChunkTime = std::optional<std::int64_t>;

// Receives every event record a session decodes, in the order decoded.  The
// record is valid only during the call; copy what is kept.
class EventListener {
public:
    virtual ~EventListener() = default;
    virtual void onEvent(const decoders::EventRecord& record, ChunkTime time) = 0;
};

// Receives every chunk the receive handler takes from the port, before it is
// decoded, with the time it was read (the recording's raw hook).  The bytes
// are valid only during the call.
class ChunkSink {
public:
    virtual ~ChunkSink() = default;
    virtual void onChunk(const std::uint8_t* bytes, std::size_t n, ChunkTime time) = 0;
};

// The listeners of one session, called in the order they were added.  A
// listener must stay alive until it is removed; none may be added or removed
// from inside onEvent.
class EventListeners {
public:
    void add(EventListener& listener) { listeners_.push_back(&listener); }
    void remove(EventListener& listener);
    bool empty() const { return listeners_.empty(); }
    void deliver(const decoders::EventRecord& record, ChunkTime time) const {
        for (EventListener* l : listeners_) l->onEvent(record, time);
    }

private:
    std::vector<EventListener*> listeners_;
};

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

// Routes one call's lines into the panes.  A call with an empty HexLine and
// HexHeader shows nothing at all.
void routeOutput(const decoders::DecoderOutput& out, Panes& panes, RoutingFlags& flags,
                 const RoutingLimits& limits);

// The same, then hands the call's record, if it has one, with time to every
// listener.
inline void routeOutput(const decoders::DecoderOutput& out, Panes& panes, RoutingFlags& flags,
                        const RoutingLimits& limits, const EventListeners& listeners, ChunkTime time) {
    routeOutput(out, panes, flags, limits);
    if (out.hasRecord) listeners.deliver(out.record, time);
}

}  // namespace zindra::trace
