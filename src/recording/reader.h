// Reading a recording folder back: its manifest, its segments in order with
// their time indexes, and a replay through a trace session with the recorded
// times.  A damaged or cut-off recording is read as far as it goes; what is
// wrong is named in problems.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "recording/recorder.h"
#include "trace/session.h"

namespace zindra::recording {

// One indexed chunk of a segment.
struct IndexEntry {
    std::uint64_t offset = 0;  // where the chunk starts in its segment
    std::int64_t time = 0;     // UTC microseconds when it was read
    bool copy = false;         // the copy of the reply line at a later segment's start
    bool restart = false;      // the first chunk after the device was open again
};

struct SegmentFile {
    std::string path;  // the .TRC
    std::uint64_t size = 0;
    std::vector<IndexEntry> index;
};

struct Manifest {
    std::string program, port, protocol, reply;
    std::optional<std::int64_t> start, end;
    std::vector<Gap> gaps;
    std::string reason;  // why it ended; empty for a recording that was cut off
};

struct Recording {
    std::string folder;
    Manifest manifest;
    std::vector<SegmentFile> segments;
    // What is wrong, each a sentence naming the file: damage, and a cut-off end.
    std::vector<std::string> problems;
    // Problems that are only the marks of a recording cut off by a crash or
    // power cut (no end in the manifest, a last line half written): what was
    // flushed replays without error.
    bool cutOff = false;
    bool damaged = false;
};

// A folder holds a recording when it has a manifest or a first segment.
bool isRecordingFolder(const std::string& folder);

// Reads the manifest and the indexes.  Throws RecordingError when the folder
// cannot be read or holds no recording.
Recording readRecording(const std::string& folder);

// Replays the segments in order through the session: each recorded chunk as
// it was read, with its recorded time; the reply-line copies left out; at
// each restart the reply line awaited again, as the live trace did.
// processEvents runs before each chunk (the window lets Stopp through there);
// stopping the session ends the replay.  Runs startReplay first and Stopp at
// the end.  A segment that cannot be read is skipped and added to problems.
// beforeChunk, when given, learns each chunk's time just before it is fed.
void replayRecording(trace::TraceSession& session, Recording& recording,
                     const std::function<void()>& processEvents = {},
                     const std::function<void(trace::ChunkTime)>& beforeChunk = {});

}  // namespace zindra::recording
