#include "trace/capture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace zindra::trace {

void CaptureStore::append(const std::uint8_t* chunk, std::size_t n) {
    if (count_ + n >= Limit) {
        dropped_ += n;
        return;
    }
    std::memcpy(store_.data() + count_, chunk, n);
    count_ = static_cast<std::uint16_t>(count_ + n);
}

void CaptureStore::save(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        throw std::system_error(errno, std::generic_category(), "Cannot create " + path);
    }
    const std::size_t written = count_ == 0 ? 0 : std::fwrite(store_.data(), 1, count_, f);
    const int writeErrno = errno;
    const bool flushFailed = std::fflush(f) != 0;
    const int flushErrno = errno;
    const bool closeFailed = std::fclose(f) != 0;
    if (written != count_ || flushFailed || closeFailed) {
        const int err = written != count_ ? writeErrno : flushFailed ? flushErrno : errno;
        throw std::system_error(err != 0 ? err : EIO, std::generic_category(), "Cannot write " + path);
    }
    store_.fill(0);
    count_ = 0;
    dropped_ = 0;
}

}  // namespace zindra::trace
