// Replay of a raw capture (.TRC) through identification and the decoders.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "trace/session.h"

namespace zindra::trace {

inline constexpr std::size_t ReplayChunk = 80;

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The error code of a file that is neither regular nor a folder (a FIFO, a
// device): it could block in open or never end.
std::error_code notRegularFile();

// Opens a trace file to read: a regular file only, without ever blocking.
// Throws std::system_error naming the file: the system's error, EISDIR for a
// folder, notRegularFile() for anything else.
FilePtr openTraceFile(const std::string& path);

// Replays an open stream from its current position: 80-byte chunks into the
// ring and the dispatcher while the stream has bytes and the replay has not
// been stopped, and ends early once the reply line can no longer come
// (replyLineHopeless: the rest would only be collected); processEvents runs before each chunk is dispatched
// (the window lets a click on Stopp through there).  The caller has run session.startReplay() and runs Stopp
// afterwards.  A read error throws std::system_error.
void replayStream(TraceSession& session, std::FILE* in, const std::string& name,
                  const std::function<void()>& processEvents = {});

// A whole replay: startReplay, open the file with openTraceFile (its
// std::system_error when that fails, leaving the replay started), the chunk
// loop, Stopp.  Given a reply, no reply line is awaited: the file is decoded
// from its first byte by that reply's protocol, as identifyReply chooses it.
void replayFile(TraceSession& session, const std::string& path,
                const std::function<void()>& processEvents = {},
                const std::optional<std::string>& reply = std::nullopt);

}  // namespace zindra::trace
