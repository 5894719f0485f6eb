#include "trace/replay.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace zindra::trace {
namespace {

class TraceFileCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "trace file"; }
    std::string message(int) const override { return "not a regular file"; }
};

}  // namespace

std::error_code notRegularFile() {
    static const TraceFileCategory category;
    return {1, category};
}

FilePtr openTraceFile(const std::string& path) {
    const auto fail = [&](std::error_code code) { throw std::system_error(code, "Cannot open " + path); };
    const auto failErrno = [&] { fail({errno != 0 ? errno : EIO, std::generic_category()}); };
    errno = 0;
#ifdef _WIN32
    // No FIFOs to block on; a folder or a device is refused before opening.
    struct _stat64 st {};
    if (::_stat64(path.c_str(), &st) != 0) failErrno();
    if ((st.st_mode & _S_IFMT) == _S_IFDIR) fail({EISDIR, std::generic_category()});
    if ((st.st_mode & _S_IFMT) != _S_IFREG) fail(notRegularFile());
    FilePtr f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) failErrno();
    return f;
#else
    // Non-blocking, so that a FIFO without a writer does not hold the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) failErrno();
    struct stat st {};
    std::error_code refused;
    if (::fstat(fd, &st) != 0) {
        refused = {errno, std::generic_category()};
    } else if (S_ISDIR(st.st_mode)) {
        refused = {EISDIR, std::generic_category()};
    } else if (!S_ISREG(st.st_mode)) {
        refused = notRegularFile();
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        refused = {errno, std::generic_category()};
    }
    if (refused) {
        ::close(fd);
        fail(refused);
    }
    FilePtr f(::fdopen(fd, "rb"), &std::fclose);
    if (!f) {
        const int err = errno;
        ::close(fd);
        fail({err, std::generic_category()});
    }
    return f;
#endif
}

void replayStream(TraceSession& session, std::FILE* in, const std::string& name,
                  const std::function<void()>& processEvents) {
    std::array<std::uint8_t, 256> buf{};
    bool reachedEnd = false;
    while (session.running() && !session.replyLineHopeless()) {
        // The chunk buffer holds zeros behind the bytes read (a short last
        // read clears what the chunk before left there).
        const std::size_t n = std::fread(buf.data(), 1, ReplayChunk, in);
        if (n < ReplayChunk)
            std::fill(buf.begin() + static_cast<std::ptrdiff_t>(n), buf.end(), std::uint8_t{0});
        if (n == 0) {
            if (std::ferror(in)) {
                throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(),
                                        "Cannot read " + name);
            }
            reachedEnd = true;
            break;
        }
        if (processEvents) processEvents();
        session.feedChunk(buf.data(), n);
    }
    if (reachedEnd) session.dispatchRest();
}

void replayFile(TraceSession& session, const std::string& path, const std::function<void()>& processEvents,
                const std::optional<std::string>& reply) {
    session.startReplay();
    if (reply) session.identifyReply(*reply);
    FilePtr in = openTraceFile(path);
    replayStream(session, in.get(), path, processEvents);
    in.reset();
    session.stopp();
}

}  // namespace zindra::trace
