// A recording: every byte read from the port goes to disk as it arrives,
// with the time it was read, in a folder of its own (see docs/recording.md
// for the files and their formats).
//
// The owner (the window or zindra-cli) makes a Recorder before the trace
// starts, sets it as the session's chunk sink and adds it to the session's
// event listeners, reports cable pulls (gapBegan/gapEnded), calls tick() at
// least twice a second and finish() when the trace ends.  All calls come
// from the one thread that runs the trace session.
//
// A failed write (a full disk, a folder that went away) never ends the
// trace: the recording stops there, status().lastError says why, and what
// was written before stays readable.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "decoders/event_record.h"
#include "trace/routing.h"

namespace zindra::recording {

inline constexpr std::uint64_t DefaultSegmentLimit = 10 * 1024 * 1024;

// A recording could not be started (its folder could not be made or
// written).  what() is a whole sentence naming the folder and the reason.
class RecordingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RecorderOptions {
    std::string parent;                                // the folder the recording's own folder is made in
    std::string port;                                  // the device as the user named it
    std::string version;                               // the program's name and version, for the manifest
    std::uint64_t segmentLimit = DefaultSegmentLimit;  // a segment is rolled before it would pass this
};

// A time without data from the device: from when it vanished to when it was
// open again (UTC microseconds); no end while it lasts.
struct Gap {
    std::int64_t from = 0;
    std::optional<std::int64_t> to;
};

struct RecorderStatus {
    std::string folder;          // the recording's folder
    std::uint64_t bytes = 0;     // bytes received and written (reply-line copies not counted)
    std::int64_t startUtc = 0;   // UTC microseconds
    std::int64_t elapsedUs = 0;  // since the start (to the end once finished)
    int segments = 0;            // .TRC segments begun
    std::vector<Gap> gaps;
    bool writing = false;   // false once finished or after a failed write
    std::string lastError;  // the failed write, a whole sentence; empty while all is well
};

class Recorder final : public trace::ChunkSink, public trace::EventListener {
public:
    // Makes the recording's folder in options.parent, named by the local start
    // time ("2026-12-08_10-40-38"; "..._2", "..._3" when that name is taken,
    // so that no recording is ever written over), the manifest, the event
    // file and the first segment.  Throws RecordingError when it cannot.
    explicit Recorder(RecorderOptions options, std::int64_t startUtc = nowUtc());
    // Finishes with the reason "closed" when finish() was not called.
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The raw hook: one chunk as read from the port.  A chunk without a time
    // is given the last time seen.
    void onChunk(const std::uint8_t* bytes, std::size_t n, trace::ChunkTime time) override;
    // One decoded event, into the event file.
    void onEvent(const decoders::EventRecord& record, trace::ChunkTime time) override;

    // The device vanished / is open again (the trace restarts there: the next
    // chunk is marked in the index so that a replay awaits the reply line
    // again).  The gap goes into the manifest and, once ended, the event file.
    void gapBegan(std::int64_t utc);
    void gapEnded(std::int64_t utc);

    // Writes to disk what is older than a second.  Call at least twice a second.
    void tick(std::int64_t utcNow = nowUtc());
    // Ends the recording: everything to disk, the manifest completed with the
    // end time and the reason ("Stopp", "SIGTERM", ...).  Later calls do nothing.
    void finish(const std::string& reason, std::int64_t utcEnd = nowUtc());

    RecorderStatus status(std::int64_t utcNow = nowUtc()) const;
    const std::string& folder() const;

    static std::int64_t nowUtc();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zindra::recording
