#include "events/event_store.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace zindra::events {

// Bytes of many events; a block is filled once and never moves, so views
// into it stay valid while more events arrive.
struct EventStore::Block {
    explicit Block(std::size_t size) : data(new char[size]), capacity(size) {}
    std::unique_ptr<char[]> data;
    std::size_t capacity;
    std::size_t used = 0;
};

namespace {

constexpr std::size_t BlockSize = std::size_t{1} << 20;

enum Present : std::uint8_t {
    HasTime = 1,
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

void EventStore::add(const EventView& e) {
    Slot s{};
    s.present = static_cast<std::uint8_t>((e.time ? HasTime : 0) | (e.numberA ? HasA : 0) |
                                          (e.numberB ? HasB : 0) | (e.leadNumber ? HasLead : 0) |
                                          (e.stateCode ? HasCode : 0) | (e.qualifier ? HasQualifier : 0));
    s.time = e.time.value_or(0);
    s.numberA = e.numberA.value_or(0);
    s.numberB = e.numberB.value_or(0);
    s.leadNumber = e.leadNumber.value_or(0);
    s.stateCode = e.stateCode.value_or(0);
    s.qualifier = e.qualifier.value_or(0);
    s.protocol = static_cast<std::uint8_t>(e.protocol);
    s.stateText = intern(e.stateText);
    s.stateHex = intern(e.stateHex);
    s.panel = intern(e.panel);
    s.lineSize = checkedSize(e.line.size());
    s.printerSize = checkedSize(e.printerText.size());
    s.rawSize = checkedSize(e.raw.size());

    const std::size_t total = std::size_t{s.lineSize} + s.printerSize + s.rawSize;
    if (blocks_.empty() || blocks_.back()->capacity - blocks_.back()->used < total) {
        blocks_.push_back(std::make_unique<Block>(std::max(BlockSize, total)));
    }
    Block& b = *blocks_.back();
    s.block = checkedSize(blocks_.size() - 1);
    s.offset = checkedSize(b.used);
    char* out = b.data.get() + b.used;
    for (const std::string_view part : {e.line, e.printerText, e.raw}) {
        if (!part.empty()) std::memcpy(out, part.data(), part.size());
        out += part.size();
    }
    b.used += total;
    if (size_ % SlotsPerChunk == 0) slotChunks_.push_back(std::make_unique<Slot[]>(SlotsPerChunk));
    slotChunks_.back()[size_ % SlotsPerChunk] = s;
    ++size_;
}

std::string_view EventStore::bytesAt(std::uint32_t block, std::uint32_t offset, std::uint32_t size) const {
    return {blocks_[block]->data.get() + offset, size};
}

EventView EventStore::at(std::size_t i) const {
    const Slot& s = slot(i);
    EventView v;
    v.protocol = static_cast<decoders::Protocol>(s.protocol);
    if (s.present & HasTime) v.time = s.time;
    if (s.present & HasA) v.numberA = s.numberA;
    if (s.present & HasB) v.numberB = s.numberB;
    if (s.present & HasLead) v.leadNumber = s.leadNumber;
    if (s.present & HasCode) v.stateCode = s.stateCode;
    if (s.present & HasQualifier) v.qualifier = s.qualifier;
    v.stateText = texts_[s.stateText];
    v.stateHex = texts_[s.stateHex];
    v.panel = texts_[s.panel];
    v.line = bytesAt(s.block, s.offset, s.lineSize);
    v.printerText = bytesAt(s.block, s.offset + s.lineSize, s.printerSize);
    v.raw = bytesAt(s.block, s.offset + s.lineSize + s.printerSize, s.rawSize);
    return v;
}

void EventStore::clear() {
    slotChunks_.clear();
    size_ = 0;
    blocks_.clear();
    textIds_.clear();
    texts_.clear();
}

std::size_t EventStore::memoryBytes() const {
    std::size_t n = slotChunks_.size() * SlotsPerChunk * sizeof(Slot) +
                    (slotChunks_.capacity() + blocks_.capacity()) * sizeof(void*);
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
