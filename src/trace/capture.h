// The raw capture: every chunk read from the port, kept unchanged for the
// .TRC file that Save as writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zindra::trace {

class CaptureStore {
public:
    static constexpr std::size_t BlockSize = 20001;
    static constexpr std::size_t Limit = 20000;  // a chunk is taken while the total stays below

    // Takes the whole chunk if the total stays below 20000 bytes; otherwise
    // drops it.  A later, smaller chunk that fits is still taken.
    void append(const std::uint8_t* chunk, std::size_t n);

    // Writes exactly count() bytes to path (replacing any file of that name),
    // then empties the store.  On failure throws std::system_error naming the
    // file and keeps the store as it was.
    void save(const std::string& path);

    std::uint16_t count() const { return count_; }
    // Bytes dropped because the limit was reached (since the last save).
    std::size_t dropped() const { return dropped_; }
    const std::uint8_t* data() const { return store_.data(); }

private:
    std::array<std::uint8_t, BlockSize> store_{};
    std::uint16_t count_ = 0;
    std::size_t dropped_ = 0;
};

}  // namespace zindra::trace
