// Every event of a trace, replay or recording, in the order decoded, kept
// compactly so that a night's watch (a million events and more) fits in
// memory: one fixed-size slot per event, the repeating short texts (state
// text, hex code) stored once, the line, printer text and telegram bytes
// packed into large blocks that never move.
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
    // An id per distinct state text, below stateTextCount(), for work that
    // is the same for every event of one state text (kinds, filters).  The
    // hex codes share the numbering, so not every id is a state text.
    std::uint32_t stateTextId(std::size_t i) const { return slot(i).stateText; }
    std::size_t stateTextCount() const { return texts_.size(); }

    void clear();
    // Bytes held for the events (slots, texts and byte blocks, capacity
    // included), for measurement.
    std::size_t memoryBytes() const;

private:
    // 72 bytes per event; the numbers and codes are valid where their bit in
    // `present` is set.
    struct Slot {
        std::int64_t time;
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
    struct Block;
    static constexpr std::size_t SlotsPerChunk = 65536;
    const Slot& slot(std::size_t i) const { return slotChunks_[i / SlotsPerChunk][i % SlotsPerChunk]; }
    std::uint32_t intern(std::string_view text);
    std::string_view bytesAt(std::uint32_t block, std::uint32_t offset, std::uint32_t size) const;

    // Fixed chunks: growing never copies the events already held.
    std::vector<std::unique_ptr<Slot[]>> slotChunks_;
    std::size_t size_ = 0;
    std::vector<std::unique_ptr<Block>> blocks_;
    std::deque<std::string> texts_;  // interned, index = id; never move
    std::unordered_map<std::string_view, std::uint32_t> textIds_;
};

}  // namespace zindra::events
