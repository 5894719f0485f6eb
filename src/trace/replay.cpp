#include "trace/replay.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <system_error>

namespace zindra::trace {

void replayStream(TraceSession& session, std::FILE* in, const std::string& name,
                  const std::function<void()>& processEvents) {
    std::array<std::uint8_t, 256> buf{};
    bool reachedEnd = false;
    while (session.running()) {
        // The chunk buffer holds zeros behind the bytes read (a short last
        // read clears what the chunk before left there).
        const std::size_t n = std::fread(buf.data(), 1, ReplayChunk, in);
        if (n < ReplayChunk) std::fill(buf.begin() + static_cast<std::ptrdiff_t>(n), buf.end(), std::uint8_t{0});
        if (n == 0) {
            if (std::ferror(in)) {
                throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "Cannot read " + name);
            }
            reachedEnd = true;
            break;
        }
        if (processEvents) processEvents();
        session.feedChunk(buf.data(), n);
    }
    // The chunk that completed the reply line leaves the rest of itself in the
    // ring; when that was the last chunk, nothing else would ever show it.
    if (reachedEnd && session.running() && !session.awaitingIdent() &&
        session.identOutcome() == IdentOutcome::Matched && !session.state().ringEmpty()) {
        session.dispatchReceived(buf.data(), 0);
    }
}

void replayFile(TraceSession& session, const std::string& path, const std::function<void()>& processEvents,
                const std::optional<std::string>& reply) {
    session.startReplay();
    if (reply) session.identifyReply(*reply);
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!in) throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), "Cannot open " + path);
    replayStream(session, in.get(), path, processEvents);
    in.reset();
    session.stopp();
}

}  // namespace zindra::trace
