#include "events/event_store.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>

namespace zindra::events {

// Bytes of many bodies; a block is filled once and never moves, so views
// into it stay valid while more events arrive.
struct EventStore::Block {
    explicit Block(std::size_t size) : data(new char[size]), capacity(size) {}
    std::unique_ptr<char[]> data;
    std::size_t capacity;
    std::size_t used = 0;
};

namespace {

constexpr std::size_t BlockSize = std::size_t{1} << 20;
constexpr std::uint32_t NoBody = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t TimeBit = 0x80000000;

enum Present : std::uint8_t {
    HasA = 2,
    HasB = 4,
    HasLead = 8,
    HasCode = 16,
    HasQualifier = 32,
};

std::uint32_t checkedSize(std::size_t n) {
    if (n > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("event text too long");
    return static_cast<std::uint32_t>(n);
}

std::uint8_t presentBits(const EventView& e) {
    return static_cast<std::uint8_t>((e.numberA ? HasA : 0) | (e.numberB ? HasB : 0) |
                                     (e.leadNumber ? HasLead : 0) | (e.stateCode ? HasCode : 0) |
                                     (e.qualifier ? HasQualifier : 0));
}

void mix(std::size_t& h, std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2); }

// A hash of everything of an event but its time.
std::size_t hashBody(const EventView& e) {
    const std::hash<std::string_view> text;
    std::size_t h = text(e.line);
    mix(h, text(e.printerText));
    mix(h, text(e.raw));
    mix(h, text(e.stateText));
    mix(h, text(e.stateHex));
    mix(h, text(e.panel));
    mix(h, static_cast<std::size_t>(e.numberA.value_or(0)));
    mix(h, static_cast<std::size_t>(e.numberB.value_or(0)));
    mix(h, static_cast<std::size_t>(e.leadNumber.value_or(0)));
    mix(h, static_cast<std::size_t>(e.stateCode.value_or(0)));
    mix(h, std::size_t{e.qualifier.value_or(0)} | std::size_t{presentBits(e)} << 8 |
               static_cast<std::size_t>(e.protocol) << 16);
    return h;
}

}  // namespace

EventStore::EventStore() = default;
EventStore::~EventStore() = default;

std::uint32_t EventStore::intern(std::string_view text) {
    const auto found = textIds_.find(text);
    if (found != textIds_.end()) return found->second;
    const auto id = checkedSize(texts_.size());
    texts_.emplace_back(text);
    textIds_.emplace(texts_.back(), id);
    return id;
}

void EventStore::add(const decoders::EventRecord& record, trace::ChunkTime time) {
    add(viewOf(record, time));
}

bool EventStore::sameBody(const Body& b, const EventView& e) const {
    return b.protocol == static_cast<std::uint8_t>(e.protocol) && b.present == presentBits(e) &&
           b.numberA == e.numberA.value_or(0) && b.numberB == e.numberB.value_or(0) &&
           b.leadNumber == e.leadNumber.value_or(0) && b.stateCode == e.stateCode.value_or(0) &&
           b.qualifier == e.qualifier.value_or(0) && texts_[b.stateText] == e.stateText &&
           texts_[b.stateHex] == e.stateHex && texts_[b.panel] == e.panel &&
           bytesAt(b.block, b.offset, b.lineSize) == e.line &&
           bytesAt(b.block, b.offset + b.lineSize, b.printerSize) == e.printerText &&
           bytesAt(b.block, b.offset + b.lineSize + b.printerSize, b.rawSize) == e.raw;
}

void EventStore::growBodyTable() {
    std::vector<std::uint32_t> table(std::max<std::size_t>(1024, bodyTable_.size() * 2), NoBody);
    const std::size_t mask = table.size() - 1;
    for (std::uint32_t id = 0; id < bodyCount_; ++id) {
        std::size_t at = hashBody(bodyView(id)) & mask;
        while (table[at] != NoBody) at = (at + 1) & mask;
        table[at] = id;
    }
    bodyTable_ = std::move(table);
}

std::uint32_t EventStore::bodyOf(const EventView& e) {
    // At most three quarters full, so a free place is always near.
    if ((bodyCount_ + 1) * 4 > bodyTable_.size() * 3) growBodyTable();
    const std::size_t mask = bodyTable_.size() - 1;
    std::size_t at = hashBody(e) & mask;
    for (; bodyTable_[at] != NoBody; at = (at + 1) & mask) {
        if (sameBody(body(bodyTable_[at]), e)) return bodyTable_[at];
    }
    if (bodyCount_ >= BodyMask) throw std::length_error("too many different events");

    Body b{};
    b.present = presentBits(e);
    b.numberA = e.numberA.value_or(0);
    b.numberB = e.numberB.value_or(0);
    b.leadNumber = e.leadNumber.value_or(0);
    b.stateCode = e.stateCode.value_or(0);
    b.qualifier = e.qualifier.value_or(0);
    b.protocol = static_cast<std::uint8_t>(e.protocol);
    b.stateText = intern(e.stateText);
    b.stateHex = intern(e.stateHex);
    b.panel = intern(e.panel);
    b.lineSize = checkedSize(e.line.size());
    b.printerSize = checkedSize(e.printerText.size());
    b.rawSize = checkedSize(e.raw.size());

    const std::size_t total = std::size_t{b.lineSize} + b.printerSize + b.rawSize;
    if (blocks_.empty() || blocks_.back()->capacity - blocks_.back()->used < total) {
        blocks_.push_back(std::make_unique<Block>(std::max(BlockSize, total)));
    }
    Block& block = *blocks_.back();
    b.block = checkedSize(blocks_.size() - 1);
    b.offset = checkedSize(block.used);
    char* out = block.data.get() + block.used;
    for (const std::string_view part : {e.line, e.printerText, e.raw}) {
        if (!part.empty()) std::memcpy(out, part.data(), part.size());
        out += part.size();
    }
    block.used += total;

    const auto id = static_cast<std::uint32_t>(bodyCount_);
    if (bodyCount_ % BodiesPerChunk == 0) bodyChunks_.push_back(std::make_unique<Body[]>(BodiesPerChunk));
    bodyChunks_.back()[bodyCount_ % BodiesPerChunk] = b;
    ++bodyCount_;
    bodyTable_[at] = id;
    return id;
}

void EventStore::putTime(std::size_t i, trace::ChunkTime time) {
    EventChunk& c = eventChunks_[i / EventsPerChunk];
    const std::size_t j = i % EventsPerChunk;
    if (!time) return;
    if (c.wide) {
        c.wide[j] = *time;
        return;
    }
    if (!c.hasBase) {
        c.base = *time;
        c.hasBase = true;
    }
    // The step in unsigned arithmetic: fits when base <= time < base + 2^32.
    const std::uint64_t step = static_cast<std::uint64_t>(*time) - static_cast<std::uint64_t>(c.base);
    if (*time >= c.base && step <= std::numeric_limits<std::uint32_t>::max()) {
        c.steps[j] = static_cast<std::uint32_t>(step);
        return;
    }
    // Times this chunk cannot hold as steps: it keeps them in full from now on.
    c.wide = std::make_unique<std::int64_t[]>(EventsPerChunk);
    for (std::size_t k = 0; k < j; ++k) {
        c.wide[k] = static_cast<std::int64_t>(static_cast<std::uint64_t>(c.base) + c.steps[k]);
    }
    c.wide[j] = *time;
    c.steps.reset();
}

void EventStore::add(const EventView& e) {
    const std::uint32_t id = bodyOf(e);
    if (size_ % EventsPerChunk == 0) {
        EventChunk c;
        c.bodies = std::make_unique<std::uint32_t[]>(EventsPerChunk);
        c.steps = std::make_unique<std::uint32_t[]>(EventsPerChunk);
        eventChunks_.push_back(std::move(c));
    }
    putTime(size_, e.time);
    eventChunks_.back().bodies[size_ % EventsPerChunk] = id | (e.time ? TimeBit : 0);
    ++size_;
}

std::string_view EventStore::bytesAt(std::uint32_t block, std::uint32_t offset, std::uint32_t size) const {
    return {blocks_[block]->data.get() + offset, size};
}

trace::ChunkTime EventStore::timeAt(std::size_t i) const {
    const EventChunk& c = eventChunks_[i / EventsPerChunk];
    const std::size_t j = i % EventsPerChunk;
    if (!(c.bodies[j] & TimeBit)) return std::nullopt;
    if (c.wide) return c.wide[j];
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(c.base) + c.steps[j]);
}

EventView EventStore::bodyView(std::uint32_t id) const {
    const Body& b = body(id);
    EventView v;
    v.protocol = static_cast<decoders::Protocol>(b.protocol);
    if (b.present & HasA) v.numberA = b.numberA;
    if (b.present & HasB) v.numberB = b.numberB;
    if (b.present & HasLead) v.leadNumber = b.leadNumber;
    if (b.present & HasCode) v.stateCode = b.stateCode;
    if (b.present & HasQualifier) v.qualifier = b.qualifier;
    v.stateText = texts_[b.stateText];
    v.stateHex = texts_[b.stateHex];
    v.panel = texts_[b.panel];
    v.line = bytesAt(b.block, b.offset, b.lineSize);
    v.printerText = bytesAt(b.block, b.offset + b.lineSize, b.printerSize);
    v.raw = bytesAt(b.block, b.offset + b.lineSize + b.printerSize, b.rawSize);
    return v;
}

EventView EventStore::at(std::size_t i) const {
    EventView v = bodyView(bodyId(i));
    v.time = timeAt(i);
    return v;
}

void EventStore::clear() {
    eventChunks_.clear();
    size_ = 0;
    bodyChunks_.clear();
    bodyCount_ = 0;
    bodyTable_.clear();
    blocks_.clear();
    textIds_.clear();
    texts_.clear();
}

std::size_t EventStore::memoryBytes() const {
    std::size_t n = eventChunks_.capacity() * sizeof(EventChunk) +
                    bodyChunks_.size() * BodiesPerChunk * sizeof(Body) +
                    (bodyChunks_.capacity() + blocks_.capacity()) * sizeof(void*) +
                    bodyTable_.capacity() * sizeof(std::uint32_t);
    for (const EventChunk& c : eventChunks_) {
        n += EventsPerChunk * sizeof(std::uint32_t);
        n += c.wide ? EventsPerChunk * sizeof(std::int64_t) : EventsPerChunk * sizeof(std::uint32_t);
    }
    for (const auto& b : blocks_) n += sizeof(Block) + b->capacity;
    for (const std::string& t : texts_) n += sizeof(std::string) + (t.capacity() > 15 ? t.capacity() + 1 : 0);
    n += textIds_.size() * (sizeof(std::string_view) + sizeof(std::uint32_t) + 2 * sizeof(void*)) +
         textIds_.bucket_count() * sizeof(void*);
    return n;
}

decoders::EventRecord recordOf(const EventView& v) {
    decoders::EventRecord r;
    r.protocol = v.protocol;
    r.numberA = v.numberA;
    r.numberB = v.numberB;
    r.leadNumber = v.leadNumber;
    r.stateCode = v.stateCode;
    r.qualifier = v.qualifier;
    r.stateHex = v.stateHex;
    r.stateText = v.stateText;
    r.printerText = v.printerText;
    r.line = v.line;
    r.raw = v.raw;
    r.panel = v.panel;
    return r;
}
}  // namespace zindra::events
