// Every event of a trace, replay or recording, in the order decoded, kept
// compactly so that a weekend's watch (seven million events and more) fits
// in memory.  Events repeat: the same telegram from the same detector in the
// same state.  So everything but the time is one shared "body" (protocol,
// numbers, state, line, printer text, telegram, panel), stored once; an
// event is its time and its body's id, about 8 bytes.  Times are kept per
// chunk of events as 32-bit steps from the chunk's first time, or in full
// where a chunk's times do not fit (a clock set back, hours between events).
// The repeating short texts (state text, hex code, panel) are stored once;
// the line, printer text and telegram bytes of each body go into large
// blocks that never move.
//
// Not thread-safe: one thread adds and reads (the window's UI thread, the
// CLI's loop).  Long work over the whole store runs in slices (see
// FilterRun in filter.h) between additions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "events/event_view.h"
#include "trace/routing.h"

namespace zindra::events {

class EventStore final : public trace::EventListener {
public:
    EventStore();
    ~EventStore() override;
    EventStore(const EventStore&) = delete;
    EventStore& operator=(const EventStore&) = delete;

    void add(const decoders::EventRecord& record, trace::ChunkTime time);
    void add(const EventView& event);
    // As a session's listener: every decoded event is added.
    void onEvent(const decoders::EventRecord& record, trace::ChunkTime time) override { add(record, time); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Event i (0 = first decoded); valid until the store is cleared.
    EventView at(std::size_t i) const;
    trace::ChunkTime timeAt(std::size_t i) const;
    // An id per distinct state text, below stateTextCount(), for work that
    // is the same for every event of one state text (kinds, filters).  The
    // hex codes share the numbering, so not every id is a state text.
    std::uint32_t stateTextId(std::size_t i) const { return body(bodyId(i)).stateText; }
    std::size_t stateTextCount() const { return texts_.size(); }
    // The id of event i's body (everything but the time), below bodyCount():
    // events with one id differ only in their time.
    std::uint32_t bodyId(std::size_t i) const {
        return eventChunks_[i / EventsPerChunk].bodies[i % EventsPerChunk] & BodyMask;
    }
    std::size_t bodyCount() const { return bodyCount_; }
    // A body as an event without a time; valid until the store is cleared.
    EventView bodyView(std::uint32_t id) const;

    void clear();
    // Bytes held for the events (event chunks, bodies, texts and byte
    // blocks, capacity included), for measurement.
    std::size_t memoryBytes() const;

private:
    // 64 bytes per distinct body; the numbers and codes are valid where
    // their bit in `present` is set.
    struct Body {
        std::int64_t numberA;
        std::int64_t numberB;
        std::int64_t leadNumber;
        std::uint32_t block;   // line, printer text and telegram, one after
        std::uint32_t offset;  // the other, in blocks_[block] from offset
        std::uint32_t lineSize;
        std::uint32_t printerSize;
        std::uint32_t rawSize;
        std::uint32_t stateText;  // interned ids
        std::uint32_t stateHex;
        std::uint32_t panel;  // interned
        std::int32_t stateCode;
        std::uint8_t protocol;
        std::uint8_t qualifier;
        std::uint8_t present;
    };
    // A run of events: body ids (the top bit set where the event has a
    // time), and times as steps from `base` (narrow) or in full (wide) once a
    // step does not fit.
    struct EventChunk {
        std::unique_ptr<std::uint32_t[]> bodies;
        std::unique_ptr<std::uint32_t[]> steps;
        std::unique_ptr<std::int64_t[]> wide;
        std::int64_t base = 0;
        bool hasBase = false;
    };
    struct Block;
    static constexpr std::size_t EventsPerChunk = 4096;
    static constexpr std::uint32_t BodyMask = 0x7FFFFFFF;
    static constexpr std::size_t BodiesPerChunk = 16384;
    const Body& body(std::uint32_t id) const { return bodyChunks_[id / BodiesPerChunk][id % BodiesPerChunk]; }
    std::uint32_t intern(std::string_view text);
    std::string_view bytesAt(std::uint32_t block, std::uint32_t offset, std::uint32_t size) const;
    std::uint32_t bodyOf(const EventView& e);
    bool sameBody(const Body& b, const EventView& e) const;
    void growBodyTable();
    void putTime(std::size_t i, trace::ChunkTime time);

    std::vector<EventChunk> eventChunks_;
    std::size_t size_ = 0;
    // Fixed chunks: growing never copies the bodies already held.
    std::vector<std::unique_ptr<Body[]>> bodyChunks_;
    std::size_t bodyCount_ = 0;
    // Open addressing over body ids by the hash of the body; NoBody is free.
    std::vector<std::uint32_t> bodyTable_;
    std::vector<std::unique_ptr<Block>> blocks_;
    std::deque<std::string> texts_;  // interned, index = id; never move
    std::unordered_map<std::string_view, std::uint32_t> textIds_;
};

}  // namespace zindra::events
