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
// Times: one clock for the index, the event file and the manifest.  Every
// time the recorder is given (a chunk's, a gap's, the end) goes through it:
// it follows the wall clock forwards, and where the wall clock is set back it
// goes on by the steady clock instead, so the three files agree, never run
// backwards, and a run of 10 s spans 10 s (RecorderOptions::clock).
//
// A failed write (a full disk, a folder that went away) never ends the trace.
// The recording is interrupted: what was handed to the system before is kept
// (the files are cut back to their last complete state), the interruption is
// a gap of the recording (Gap::why, such as "Datenträger voll") in the
// manifest and the event file, and tick() tries again every 10 s
// (RecorderOptions::retryInterval); once writing works, the recording goes on
// in a new segment.  status() tells the front ends all of it.
#pragma once

#include <chrono>
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

// How a recording keeps its times and events (the manifest's "format").
// Compact: a binary time index per segment ("0001.tix", a few bytes per
// chunk) and no event file (the events are decoded from the bytes when
// asked for: zindra-cli replay --format csv).  Text: a text index line per
// chunk ("0001.idx") and every event as a row of "events.csv" as it is
// decoded, about twelve times the raw bytes at 9600 baud; for tools that
// read those files.
enum class RecordingFormat { Text = 1, Compact = 2 };
inline constexpr std::chrono::seconds DefaultRetryInterval{10};

// A recording could not be started (its folder could not be made or
// written, an empty name, a folder that is itself a recording).  what() is a
// whole sentence naming the folder and the reason.
class RecordingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the recorder's times come from.  Both in microseconds: utcNow() since
// 1970-01-01 UTC (may be set back and forth), steadyNow() from any origin,
// never set.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual std::int64_t utcNow() = 0;
    virtual std::int64_t steadyNow() = 0;
};

// The system's clocks.
TimeSource& systemTimeSource();

struct RecorderOptions {
    std::string parent;                                // the folder the recording's own folder is made in
    std::string port;                                  // the device as the user named it
    std::string version;                               // the program's name and version, for the manifest
    std::uint64_t segmentLimit = DefaultSegmentLimit;  // a segment is rolled before it would pass this
    TimeSource* clock = nullptr;                       // nullptr: the system's; must outlive the recorder
    std::chrono::milliseconds retryInterval = DefaultRetryInterval;  // writing tried again after a failure
    RecordingFormat format = RecordingFormat::Compact;
};

// Why a gap is there (Gap::why, UTF-8, as the manifest and the event file
// write it).  A gap of the device: the device vanished and was open again.
inline constexpr const char* GapDeviceAway = "Verbindung unterbrochen";
// Gaps of the recording itself: the device delivered, but nothing could be
// written.  A full disk (ENOSPC, EDQUOT):
inline constexpr const char* GapDiskFull = "Datentr\xC3\xA4ger voll";
// Any other failed write: "Schreibfehler (" + the system's reason + ")".

// A time without data: from when it began to when data came (device) or was
// written (recording) again, in UTC microseconds; no end while it lasts.
struct Gap {
    std::int64_t from = 0;
    std::optional<std::int64_t> to;
    std::string why{};  // empty counts as GapDeviceAway
    // The device was away; otherwise bytes were received but not recorded.
    bool deviceAway() const { return why.empty() || why == GapDeviceAway; }
};

struct RecorderStatus {
    std::string folder;           // the recording's folder
    std::uint64_t bytes = 0;      // bytes received and kept (reply-line copies not counted)
    std::uint64_t lostBytes = 0;  // bytes received while writing failed, not in the recording
    std::int64_t startUtc = 0;    // UTC microseconds
    std::int64_t elapsedUs = 0;   // since the start (to the end once finished), by the recorder's clock
    int segments = 0;             // .TRC segments in the folder
    // Every gap, oldest first: the device's (deviceAway()) and the
    // recording's own (why says why, such as GapDiskFull).
    std::vector<Gap> gaps;
    bool writing = false;  // false once finished, and while interrupted
    // Writing fails now and is tried again every retryInterval: the current
    // gap of the recording (no end yet), for the front ends to show
    // ("Datenträger voll seit 14:02:01, neuer Versuch alle 10 s").
    std::optional<Gap> interruption;
    int interruptions = 0;  // gaps of the recording so far (ended or not)
    // The last failed write, a whole sentence; empty while no write has
    // failed.  It stays after the recording went on (the recording has a
    // hole), so a front end that tells it once still sees it at the end.
    std::string lastError;
};

class Recorder final : public trace::ChunkSink, public trace::EventListener {
public:
    // Makes the recording's folder in options.parent, named by the local start
    // time ("2026-12-08_10-40-38"; "..._2", "..._3" when that name is taken,
    // so that no recording is ever written over), the manifest, the event
    // file and the first segment.  Throws RecordingError when it cannot (and
    // then leaves no folder behind), for an empty parent, and for a parent
    // that is itself a recording.  Without startUtc, the start is the clock's.
    explicit Recorder(RecorderOptions options);
    Recorder(RecorderOptions options, std::int64_t startUtc);
    // Finishes with the reason "closed" when finish() was not called.
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The raw hook: one chunk as read from the port.  A chunk without a time
    // is given the recorder's clock's.
    void onChunk(const std::uint8_t* bytes, std::size_t n, trace::ChunkTime time) override;
    // One decoded event, into the event file, with the recorder's time of the
    // chunk that completed it.
    void onEvent(const decoders::EventRecord& record, trace::ChunkTime time) override;

    // The device vanished / is open again (the trace restarts there: the next
    // chunk is marked in the index so that a replay awaits the reply line
    // again).  The gap goes into the manifest and, once ended, the event file.
    void gapBegan(std::int64_t utc);
    void gapEnded(std::int64_t utc);

    // Writes to disk what is older than a second; while interrupted, tries
    // writing again once retryInterval has passed.  Call at least twice a
    // second.  (utcNow is not needed; the recorder has its clock.)
    void tick();
    void tick(std::int64_t utcNow);
    // Ends the recording: everything to disk, the manifest completed with the
    // end time and the reason ("Stopp", "SIGTERM", ...).  Later calls do
    // nothing.  Without utcEnd, the end is the clock's.
    void finish(const std::string& reason);
    void finish(const std::string& reason, std::int64_t utcEnd);

    RecorderStatus status() const;
    RecorderStatus status(std::int64_t utcNow) const;
    const std::string& folder() const;

    // The system's wall clock, UTC microseconds.
    static std::int64_t nowUtc();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zindra::recording
