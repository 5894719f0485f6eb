// Reading a recording folder back: its manifest, its segments in order with
// their time indexes, and a replay through a trace session with the recorded
// times.  A damaged or cut-off recording is read as far as it goes; what is
// wrong is named in problems.
//
// Every file of the folder is opened as a single .TRC is (trace::openTraceFile:
// regular files only, never blocking) and read within a bound, so a folder, a
// FIFO or a link to a device in place of a file is named as damage instead of
// stopping, blocking or filling the memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording/recorder.h"
#include "trace/session.h"

namespace zindra::recording {

// One indexed chunk of a segment.
struct IndexEntry {
    std::uint64_t offset = 0;  // where the chunk starts in its segment
    std::int64_t time = 0;     // UTC microseconds when it was read
    bool copy = false;         // the copy of the reply line at a segment's start
    bool restart = false;      // the first chunk after the device was open again
};

// A segment and what its index was found to hold.  The index itself is read
// again, piece by piece, as the segment is replayed (IndexStream), so that
// memory does not grow with the number of chunks.
struct SegmentFile {
    std::string path;  // the .TRC
    int number = 0;    // 1 for 0001.TRC
    std::uint64_t size = 0;
    std::string indexPath;  // its time index; empty when it has none that can be used
    RecordingFormat indexFormat = RecordingFormat::Text;
    std::uint64_t chunks = 0;     // usable index entries
    bool startsWithCopy = false;  // the first entry is the reply-line copy
};

struct Manifest {
    std::string program, port, protocol;
    std::string reply;  // as written: printable, "UGM\r\n"
    std::optional<std::int64_t> start, end;
    std::optional<int> segments;  // segments begun (manifests written before it was kept have none)
    RecordingFormat format = RecordingFormat::Text;  // recordings without "format=" are text
    std::vector<Gap> gaps;
    std::string reason;  // why it ended; empty for a recording that was cut off
};

struct Recording {
    std::string folder;
    Manifest manifest;
    std::vector<SegmentFile> segments;
    // What is wrong, each a sentence naming the file, one per kind of damage
    // (a count where there are more of a kind): damage, gaps of the recording
    // and a cut-off end.
    std::vector<std::string> problems;
    // Problems that are only the marks of a recording cut off by a crash or
    // power cut (no end in the manifest, a last line half written): what was
    // flushed replays without error.
    bool cutOff = false;
    bool damaged = false;
    // The recording has gaps of its own (Gap::deviceAway() false): bytes
    // were received that it does not hold.
    bool incomplete = false;
    // Set by replayRecording: a reply line (or its stand-in) identified the
    // panel, so something could be decoded.
    bool identified = false;
};

// A folder holds a recording when it has a manifest or a first segment.
bool isRecordingFolder(const std::string& folder);

// Reads the manifest and checks the indexes (a weekend's can be hundreds of
// MB: whileReading, when given, runs between their pieces, so that a window
// can paint meanwhile).  Throws RecordingError when the folder cannot be read
// or holds no recording.
Recording readRecording(const std::string& folder, const std::function<void()>& whileReading = {});

// Replays the segments in order through the session: each recorded chunk as
// it was read, with its recorded time; the reply-line copies left out; at
// each restart the reply line awaited again, as the live trace did.  When
// the reply line has not come where the first segment should have brought it
// (that segment missing or unreadable), a later segment's copy or the
// manifest's reply identifies the panel.
// processEvents runs before each chunk (the window lets Stopp through there);
// stopping the session ends the replay.  Runs startReplay first and Stopp at
// the end.  A segment that cannot be read is skipped and added to problems.
// beforeChunk, when given, learns each chunk's time just before it is fed.
// onGap, when given, learns each gap of the manifest where it happened
// (before the first chunk after it; those lasting to the end, at the end).
void replayRecording(trace::TraceSession& session, Recording& recording,
                     const std::function<void()>& processEvents = {},
                     const std::function<void(trace::ChunkTime)>& beforeChunk = {},
                     const std::function<void(const Gap&)>& onGap = {});

// The text formats, for the reader and the fuzz target.

// The manifest's lines into m; the numbers of the lines that are damaged
// ("line 7") into bad.
void parseManifest(std::string_view text, Manifest& m, std::vector<std::string>& bad);

// A time index read piece by piece (feed, then finish), checked entry by
// entry against its segment's size: offsets in order and inside the segment,
// times plausible and never running backwards, a copy only at the start.
// A damaged text line is skipped; in a compact index nothing after a damaged
// entry can be trusted, so reading stops there.
class IndexParser {
public:
    explicit IndexParser(std::uint64_t segmentSize, RecordingFormat format = RecordingFormat::Text)
        : segmentSize_(segmentSize), format_(format) {}
    // Takes the next bytes of the index, adding what they complete to
    // entries (which the caller may empty between calls); false once reading
    // may stop (an entry indexes bytes past the segment's end, or a compact
    // index is damaged).
    bool feed(std::string_view bytes);
    // The end of the index: a last line without its line feed (a compact
    // entry without its last byte) is half written.
    void finish();

    std::vector<IndexEntry> entries;
    int lines = 0;  // lines (compact: entries) read, damaged ones included
    int badLines = 0;
    int firstBadLine = 0;      // its number, from 1; 0 for a compact index without its mark
    bool halfWritten = false;  // the last line has no line feed
    bool pastEnd = false;      // a line indexes bytes the segment does not hold

private:
    void line(std::string_view text);
    void take(const IndexEntry& e);
    void compactByte(std::uint8_t b);
    void bad();
    std::uint64_t segmentSize_;
    RecordingFormat format_;
    std::string partial_;
    std::optional<IndexEntry> last_;
    // The compact index's state: mark bytes seen, the number being read, the
    // entry's first number once read, where the next chunk starts.
    std::size_t magic_ = 0;
    std::uint64_t number_ = 0;
    std::size_t numberBytes_ = 0;
    std::optional<std::uint64_t> head_;
    std::uint64_t nextOffset_ = 0;
    bool stopped_ = false;
};

// A segment's index entries, read in pieces as they are asked for.
class IndexStream {
public:
    explicit IndexStream(const SegmentFile& segment);
    ~IndexStream();
    IndexStream(const IndexStream&) = delete;
    IndexStream& operator=(const IndexStream&) = delete;
    // The next entry; nullopt at the end (or where the index cannot be read).
    std::optional<IndexEntry> next();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Every usable entry of a segment's index at once (for tools and tests; a
// replay reads them through IndexStream).
std::vector<IndexEntry> readIndex(const SegmentFile& segment);

}  // namespace zindra::recording
