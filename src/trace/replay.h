// Replay of a raw capture (.TRC) through identification and the decoders.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "trace/session.h"

namespace zindra::trace {

inline constexpr std::size_t ReplayChunk = 80;

// Replays an open stream from its current position: 80-byte chunks into the
// ring and the dispatcher while the stream has bytes and the replay has not
// been stopped; processEvents runs before each chunk is dispatched (the
// window lets a click on Stopp through there).  The caller has run
// session.startReplay() and runs Stopp afterwards.  A read error throws
// std::system_error.
void replayStream(TraceSession& session, std::FILE* in, const std::string& name,
                  const std::function<void()>& processEvents = {});

// A whole replay of a file: startReplay, open the file (std::system_error naming
// it when that fails, leaving the replay started), the loop, Stopp.
void replayFile(TraceSession& session, const std::string& path,
                const std::function<void()>& processEvents = {});

}  // namespace zindra::trace
