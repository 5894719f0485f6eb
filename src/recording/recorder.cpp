#include "recording/recorder.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "events/event_row.h"
#include "events/time_text.h"
#include "recording/format.h"
#include "recording/reader.h"

namespace zindra::recording {
namespace fs = std::filesystem;

namespace {

using Micros = std::chrono::microseconds;

class SystemTimeSource final : public TimeSource {
public:
    std::int64_t utcNow() override { return Recorder::nowUtc(); }
    std::int64_t steadyNow() override {
        return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

// 0, or the system's error.
int syncToDisk(std::FILE* f) {
#ifdef _WIN32
    return ::_commit(::_fileno(f)) == 0 ? 0 : (errno != 0 ? errno : EIO);
#else
    return ::fsync(::fileno(f)) == 0 ? 0 : (errno != 0 ? errno : EIO);
#endif
}

// A folder's entries to the disk (a file made, renamed or removed in it
// survives a power cut only once its folder has been written).  Windows
// writes a folder's entries with the file (MOVEFILE_WRITE_THROUGH for the
// rename): nothing to do there.
void syncFolder(const fs::path& folder) {
#ifndef _WIN32
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
#else
    (void)folder;
#endif
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Why a gap of the recording is there, from the failed write's error.
std::string whyOf(int err) {
    if (err == ENOSPC
#ifdef EDQUOT
        || err == EDQUOT
#endif
    ) {
        return GapDiskFull;
    }
    return "Schreibfehler (" + std::generic_category().message(err) + ")";
}

}  // namespace

TimeSource& systemTimeSource() {
    static SystemTimeSource clock;
    return clock;
}

// The files of the segment being written, the index and the event file are
// written through stdio buffers.  "Saved" sizes are what a successful flush
// of all three handed to the system: the state the files are cut back to
// when a write fails, so that a segment never ends in half a chunk nor an
// index in half a line.
struct Recorder::Impl {
    RecorderOptions options;
    TimeSource* clock = nullptr;
    fs::path folder;
    std::string folderText;
    std::int64_t start = 0;
    std::optional<std::int64_t> end;
    std::string reason;

    File data, index, events;
    int segment = 0;                // segments in the folder (the current one's number)
    std::uint64_t segmentSize = 0;  // bytes written to the current segment
    std::uint64_t indexSize = 0;    // and to its index
    std::uint64_t eventsSize = 0;   // and to the event file
    std::uint64_t copySize = 0;     // the reply-line copy at the current segment's start
    std::int64_t indexTime = 0;     // the time of the current segment's last compact index entry
    std::uint64_t savedData = 0, savedIndex = 0, savedEvents = 0;
    std::optional<std::int64_t> firstUnsaved;  // time of the first chunk not yet saved
    std::uint64_t unsavedBytes = 0;
    std::int64_t segmentDayEnd = INT64_MAX;

    std::string reply;        // the reply line through its line feed, once complete
    std::string replyPrefix;  // the bytes before it is complete
    bool replyKnown = false;  // complete, or hopeless (no line feed in the first 4096 bytes)
    std::string protocol;

    std::uint64_t bytes = 0;
    std::uint64_t lostBytes = 0;
    std::vector<Gap> gaps;
    bool restartNext = false;

    // The one clock (see recorder.h): the last time given out, and the
    // steady clock then.
    std::int64_t lastTime = 0;
    std::int64_t lastSteady = 0;
    // The last chunk's time as given, and as stamped: its events get the latter.
    std::optional<std::int64_t> lastChunkGiven;
    std::int64_t lastChunkTime = 0;

    // A failed write: the gap of the recording it began (an index into gaps)
    // while it lasts, and when to try again.
    bool interrupted = false;
    std::size_t interruption = 0;
    int interruptions = 0;
    std::int64_t nextRetry = 0;            // steady
    std::vector<std::string> pendingRows;  // gap rows not yet in the event file
    bool reserved = false;

    bool finished = false;
    std::string error;
    std::int64_t lastFlush = 0;  // steady
    std::int64_t lastSync = 0;   // steady
    bool dirty = false;

    std::int64_t steady() const { return clock->steadyNow(); }
    bool compact() const { return options.format == RecordingFormat::Compact; }
    std::string indexFile(int n) const { return indexName(n, options.format); }

    // The index's entry for a chunk at the segment's current end.
    std::string indexEntry(std::uint64_t length, std::int64_t time, const char* flag) {
        if (!compact()) return indexLine(segmentSize, time, flag);
        std::string e;
        appendCompactEntry(e, length, static_cast<std::uint64_t>(time - indexTime),
                           flag == IndexCopy      ? CompactCopy
                           : flag == IndexRestart ? CompactRestart
                                                  : 0);
        indexTime = time;
        return e;
    }

    // The recorder's time for a time given (a chunk's, a gap's) or for now.
    std::int64_t stamp(std::optional<std::int64_t> given) {
        const std::int64_t s = steady();
        const std::int64_t t = peek(given ? *given : clock->utcNow(), s);
        lastTime = t;
        lastSteady = s;
        return t;
    }
    std::int64_t peek(std::int64_t wall, std::int64_t s) const {
        if (wall >= lastTime) return wall;
        return lastTime + (s > lastSteady ? s - lastSteady : 0);
    }

    fs::path at(const std::string& name) const { return folder / name; }

    // A write failed: the recording is interrupted (see recorder.h).
    void interrupt(const std::string& what, int err) {
        if (interrupted || finished) return;
        if (err == 0) err = EIO;
        interrupted = true;
        ++interruptions;
        error = "The recording in " + folderText + " is interrupted: cannot write " + what + ": " +
                std::generic_category().message(err) + "; trying again every " +
                std::to_string(options.retryInterval.count() / 1000) + " s";
        const std::int64_t from = firstUnsaved ? *firstUnsaved : stamp(std::nullopt);
        closeAndCut();
        bytes -= unsavedBytes;
        lostBytes += unsavedBytes;
        unsavedBytes = 0;
        firstUnsaved.reset();
        gaps.push_back(Gap{from, std::nullopt, whyOf(err)});
        interruption = gaps.size() - 1;
        // The manifest says so at once, with the room kept for it if need be.
        writeManifestSomehow();
        nextRetry = steady() + std::chrono::duration_cast<Micros>(options.retryInterval).count();
    }

    // Closes the files and cuts them back to what was saved.  A segment that
    // holds nothing saved but its reply-line copy is removed, so that the
    // recording goes on under its number.
    void closeAndCut() {
        data.reset();
        index.reset();
        events.reset();
        std::error_code ec;
        if (segment > 0) {
            if (savedData <= copySize) {
                fs::remove(at(segmentName(segment)), ec);
                fs::remove(at(indexFile(segment)), ec);
                --segment;
            } else {
                fs::resize_file(at(segmentName(segment)), savedData, ec);
                fs::resize_file(at(indexFile(segment)), savedIndex, ec);
            }
        }
        if (!compact()) fs::resize_file(at(EventsName), savedEvents, ec);
        fs::remove(at(std::string(ManifestName) + ".new"), ec);
        syncFolder(folder);
    }

    bool put(std::FILE* f, const void* p, std::size_t n, const std::string& what, std::uint64_t& size) {
        if (interrupted || f == nullptr) return false;
        errno = 0;
        if (n > 0 && std::fwrite(p, 1, n, f) != n) {
            interrupt(what, errno);
            return false;
        }
        size += n;
        dirty = true;
        return true;
    }
    bool put(std::FILE* f, const std::string& s, const std::string& what, std::uint64_t& size) {
        return put(f, s.data(), s.size(), what, size);
    }
    bool putRow(const std::string& row) { return put(events.get(), row, EventsName, eventsSize); }

    // 0 or the system's error; the file in out.
    int create(const std::string& name, File& out, const char* mode = "wb") {
        errno = 0;
        out.reset(std::fopen(at(name).string().c_str(), mode));
        return out ? 0 : (errno != 0 ? errno : EIO);
    }

    // Begins segment + 1 (after a roll, or to go on after an interruption):
    // its files, and the reply-line copy.  0 or the failed write's error,
    // with what names the file.
    int beginSegment(std::int64_t time, std::string& what) {
        data.reset();
        index.reset();
        const int n = segment + 1;
        what = segmentName(n);
        if (const int e = create(what, data)) return e;
        ++segment;
        segmentSize = indexSize = copySize = savedData = savedIndex = 0;
        indexTime = 0;
        segmentDayEnd = nextLocalMidnight(time);
        what = indexFile(n);
        if (const int e = create(what, index)) return e;
        syncFolder(folder);
        // Large buffers: a chunk is 80 bytes; the disk sees them once a second.
        std::setvbuf(data.get(), nullptr, _IOFBF, 256 * 1024);
        std::setvbuf(index.get(), nullptr, _IOFBF, 64 * 1024);
        if (compact()) {
            errno = 0;
            if (std::fwrite(CompactMagic.data(), 1, CompactMagic.size(), index.get()) != CompactMagic.size())
                return errno;
            indexSize = CompactMagic.size();
            dirty = true;
        }
        // Every segment but one begun before the reply line came.
        if (replyKnown && !reply.empty()) {
            const std::string line = indexEntry(reply.size(), time, IndexCopy);
            errno = 0;
            if (std::fwrite(line.data(), 1, line.size(), index.get()) != line.size()) return errno;
            indexSize += line.size();
            what = segmentName(n);
            if (std::fwrite(reply.data(), 1, reply.size(), data.get()) != reply.size()) return errno;
            segmentSize = copySize = reply.size();
            dirty = true;
        }
        return 0;
    }

    void rollSegment(std::int64_t time) {
        // The segment that ends goes to the disk whole first.
        flush(true);
        if (interrupted) return;
        std::string what;
        if (const int e = beginSegment(time, what)) return interrupt(what, e);
        // The manifest knows every segment as soon as it is begun.
        if (const int e = writeManifest()) interrupt(ManifestName, e);
    }

    void learnReply(const std::uint8_t* p, std::size_t n) {
        if (replyKnown) return;
        replyPrefix.append(reinterpret_cast<const char*>(p), n);
        const std::size_t lf = replyPrefix.find('\n');
        if (lf != std::string::npos && lf >= 3 && lf < ReplySearchLimit) {
            reply = replyPrefix.substr(0, lf + 1);
            protocol = protocolOfReply(reply);
            replyKnown = true;
            if (!interrupted) {
                if (const int e = writeManifest()) interrupt(ManifestName, e);
            }
        } else if (lf != std::string::npos || replyPrefix.size() >= ReplySearchLimit) {
            replyKnown = true;  // no usable reply line: later segments start without a copy
        }
        if (replyKnown) replyPrefix.clear();
    }

    // Writes the manifest beside and renames it into place; 0 or the error.
    int writeManifest() {
        ManifestText m;
        m.program = options.version;
        m.port = options.port;
        m.protocol = protocol;
        m.reply = reply;
        m.start = start;
        m.segments = segment;
        m.format = options.format;
        m.end = end;
        m.gaps = gaps;
        m.reason = reason;
        const fs::path tmp = at(std::string(ManifestName) + ".new");
        int err = 0;
        {
            File f;
            errno = 0;
            f.reset(std::fopen(tmp.string().c_str(), "wb"));
            if (!f) return errno != 0 ? errno : EIO;
            const std::string text = manifestText(m);
            errno = 0;
            if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size() ||
                std::fflush(f.get()) != 0) {
                err = errno != 0 ? errno : EIO;
            } else {
                err = syncToDisk(f.get());
            }
        }
        std::error_code ec;
        if (err != 0) {
            fs::remove(tmp, ec);
            return err;
        }
#ifdef _WIN32
        // Replacing an existing file, in one step.
        if (::MoveFileExW(tmp.wstring().c_str(), at(ManifestName).wstring().c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
            fs::remove(tmp, ec);
            return EIO;
        }
#else
        fs::rename(tmp, at(ManifestName), ec);
        if (ec) {
            fs::remove(tmp, ec);
            return ec.value();
        }
        syncFolder(folder);
#endif
        return 0;
    }

    // The manifest even on a full disk: the room kept for it is given up
    // when that is what it takes.
    void writeManifestSomehow() {
        if (writeManifest() == 0 || !releaseReserve()) return;
        writeManifest();
    }

    // 0 or the error.
    int makeReserve() {
        if (reserved) return 0;
        File f;
        if (const int e = create(ReserveName, f)) return e;
        const std::string zeros(ReserveSize, '\0');
        errno = 0;
        int err = 0;
        if (std::fwrite(zeros.data(), 1, zeros.size(), f.get()) != zeros.size() ||
            std::fflush(f.get()) != 0) {
            err = errno != 0 ? errno : EIO;
        } else {
            err = syncToDisk(f.get());
        }
        f.reset();
        std::error_code ec;
        if (err != 0) {
            fs::remove(at(ReserveName), ec);
            return err;
        }
        syncFolder(folder);
        reserved = true;
        return 0;
    }
    bool releaseReserve() {
        if (!reserved) return false;
        std::error_code ec;
        fs::remove(at(ReserveName), ec);
        syncFolder(folder);
        reserved = false;
        return true;
    }

    // Writing again after an interruption: room for the manifest first, then
    // the event file, a new segment, the gap's end, everything to the disk.
    // Anything failing leaves it interrupted, and nothing of the attempt
    // behind.
    void resume() {
        nextRetry = steady() + std::chrono::duration_cast<Micros>(options.retryInterval).count();
        if (makeReserve() != 0) return;
        Gap& gap = gaps[interruption];
        const std::int64_t now = stamp(std::nullopt);
        gap.to = now;
        const int before = segment;
        const auto undo = [&] {
            gap.to.reset();
            data.reset();
            index.reset();
            events.reset();
            std::error_code ec;
            for (; segment > before; --segment) {
                fs::remove(at(segmentName(segment)), ec);
                fs::remove(at(indexFile(segment)), ec);
            }
            if (!compact()) fs::resize_file(at(EventsName), savedEvents, ec);
            fs::remove(at(std::string(ManifestName) + ".new"), ec);
        };
        std::string what = EventsName;
        int err = compact() ? 0 : create(EventsName, events, "ab");
        if (err == 0) {
            if (events) std::setvbuf(events.get(), nullptr, _IOFBF, 64 * 1024);
            eventsSize = savedEvents;
            err = beginSegment(now, what);
        }
        if (err == 0 && !compact()) {
            pendingRows.push_back(gapEventLine(gap, protocol));
            for (const std::string& row : pendingRows) {
                errno = 0;
                if (std::fwrite(row.data(), 1, row.size(), events.get()) != row.size()) {
                    err = errno != 0 ? errno : EIO;
                    what = EventsName;
                    break;
                }
                eventsSize += row.size();
            }
        }
        if (err == 0) {
            for (const auto* f : {&data, &index, &events}) {
                if (!*f) continue;
                errno = 0;
                if (std::fflush(f->get()) != 0 || (err = syncToDisk(f->get())) != 0) {
                    if (err == 0) err = errno != 0 ? errno : EIO;
                    what = "the recording's files";
                    break;
                }
            }
        }
        if (err == 0 && (err = writeManifest()) != 0) what = ManifestName;
        if (err != 0) {
            if (!compact() && !pendingRows.empty())
                pendingRows.pop_back();  // the gap's row, made again next time
            undo();
            error = "The recording in " + folderText + " is interrupted: cannot write " + what + ": " +
                    std::generic_category().message(err) + "; trying again every " +
                    std::to_string(options.retryInterval.count() / 1000) + " s";
            return;
        }
        pendingRows.clear();
        interrupted = false;
        savedData = segmentSize;
        savedIndex = indexSize;
        savedEvents = eventsSize;
        dirty = false;
        lastFlush = lastSync = steady();
        // A restart whose reply line was not recorded is not awaited in the
        // replay: it goes on with the decoder it has.
        restartNext = false;
    }

    void flush(bool sync) {
        if (interrupted) return;
        for (const auto* f : {&data, &index, &events}) {
            if (!*f) continue;
            errno = 0;
            if (std::fflush(f->get()) != 0) return interrupt("the recording's files", errno);
            if (sync) {
                if (const int e = syncToDisk(f->get())) return interrupt("the recording's files", e);
            }
        }
        savedData = segmentSize;
        savedIndex = indexSize;
        savedEvents = eventsSize;
        firstUnsaved.reset();
        unsavedBytes = 0;
        dirty = false;
        lastFlush = steady();
        if (sync) lastSync = lastFlush;
    }

    // The folder, made by the constructor, and what is in it, when the start
    // fails.
    void removeFolder() {
        data.reset();
        index.reset();
        events.reset();
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }
};

std::int64_t Recorder::nowUtc() {
    return std::chrono::duration_cast<Micros>(std::chrono::system_clock::now().time_since_epoch()).count();
}

Recorder::Recorder(RecorderOptions options)
    : Recorder(options, (options.clock != nullptr ? *options.clock : systemTimeSource()).utcNow()) {}

Recorder::Recorder(RecorderOptions options, std::int64_t startUtc) : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.options = std::move(options);
    m.clock = m.options.clock != nullptr ? m.options.clock : &systemTimeSource();
    m.start = startUtc;
    m.lastTime = startUtc;
    m.lastSteady = m.steady();
    m.lastFlush = m.lastSync = m.lastSteady;
    if (m.options.parent.empty()) {
        throw RecordingError("No folder was given for the recording: the name is empty");
    }
    const fs::path parent(m.options.parent);
    std::error_code ec;
    fs::create_directories(parent, ec);
    if (ec) {
        throw RecordingError("Cannot make the folder " + parent.string() +
                             " for recordings: " + ec.message());
    }
    // Recordings are made beside each other, never inside one.
    if (isRecordingFolder(parent.string())) {
        throw RecordingError("The folder " + parent.string() +
                             " is itself a recording: choose the folder that holds the recordings");
    }
    // A new folder every time: create_directory fails on one that exists.
    const std::string base = folderStamp(startUtc);
    for (int n = 1;; ++n) {
        const fs::path candidate = parent / (n == 1 ? base : base + "_" + std::to_string(n));
        if (fs::create_directory(candidate, ec)) {
            m.folder = candidate;
            break;
        }
        if (ec || n >= 1000) {
            throw RecordingError("Cannot make a recording folder in " + parent.string() + ": " +
                                 (ec ? ec.message() : std::string("too many recordings of this second")));
        }
    }
    syncFolder(parent);
    m.folderText = m.folder.string();
    const auto fail = [&](const std::string& what, int err) {
        const std::string text = "Cannot start the recording in " + m.folderText + ": cannot write " + what +
                                 ": " + std::generic_category().message(err != 0 ? err : EIO);
        m.removeFolder();
        syncFolder(parent);
        throw RecordingError(text);
    };
    std::string what;
    if (const int e = m.makeReserve()) fail(ReserveName, e);
    if (!m.compact()) {
        if (const int e = m.create(EventsName, m.events)) fail(EventsName, e);
        std::setvbuf(m.events.get(), nullptr, _IOFBF, 64 * 1024);
        const std::string head = std::string(events::CsvBom) + events::csvHeader();
        errno = 0;
        if (std::fwrite(head.data(), 1, head.size(), m.events.get()) != head.size()) fail(EventsName, errno);
        m.eventsSize = head.size();
    }
    if (const int e = m.beginSegment(startUtc, what)) fail(what, e);
    if (const int e = m.writeManifest()) fail(ManifestName, e);
    m.flush(true);
    if (m.interrupted) fail("the recording's files", EIO);
}

Recorder::~Recorder() {
    if (!impl_->finished) finish("closed");
}

void Recorder::onChunk(const std::uint8_t* bytes, std::size_t n, trace::ChunkTime time) {
    Impl& m = *impl_;
    if (n == 0 || m.finished) return;
    // Times never run backwards in the index, even when the clock is set back.
    const std::int64_t t = m.stamp(time);
    m.lastChunkGiven = time;
    m.lastChunkTime = t;
    m.learnReply(bytes, n);
    if (m.interrupted) {
        m.lostBytes += n;
        return;
    }
    const std::uint64_t floor = m.copySize;
    if ((m.segmentSize > floor && m.segmentSize + n > m.options.segmentLimit) || t >= m.segmentDayEnd) {
        m.rollSegment(t);
        if (m.interrupted) {
            m.lostBytes += n;
            return;
        }
    }
    const char* flag = m.restartNext ? IndexRestart : nullptr;
    m.restartNext = false;
    if (!m.firstUnsaved) m.firstUnsaved = t;
    m.unsavedBytes += n;
    m.bytes += n;
    if (!m.put(m.index.get(), m.indexEntry(n, t, flag), m.indexFile(m.segment), m.indexSize)) return;
    if (!m.put(m.data.get(), bytes, n, segmentName(m.segment), m.segmentSize)) return;
    if (m.steady() - m.lastFlush >= 500'000) tick();
}

void Recorder::onEvent(const decoders::EventRecord& record, trace::ChunkTime time) {
    Impl& m = *impl_;
    // A compact recording's events are decoded from its bytes when asked for.
    if (m.finished || m.interrupted || m.compact()) return;
    // The time of the chunk that completed it, as the index has it.
    trace::ChunkTime t = time;
    if (time) t = time == m.lastChunkGiven ? m.lastChunkTime : m.stamp(time);
    m.putRow(events::csvEventLine(record, t));
}

void Recorder::gapBegan(std::int64_t utc) {
    Impl& m = *impl_;
    if (m.finished) return;
    for (const Gap& g : m.gaps) {
        if (g.deviceAway() && !g.to) return;  // already away
    }
    m.gaps.push_back(Gap{m.stamp(utc), std::nullopt, GapDeviceAway});
    if (m.interrupted) return;  // into the manifest when writing works again
    if (const int e = m.writeManifest()) return m.interrupt(ManifestName, e);
    m.flush(true);
}

void Recorder::gapEnded(std::int64_t utc) {
    Impl& m = *impl_;
    if (m.finished) return;
    Gap* open = nullptr;
    for (Gap& g : m.gaps) {
        if (g.deviceAway() && !g.to) open = &g;
    }
    if (open == nullptr) return;
    open->to = m.stamp(utc);
    m.restartNext = true;
    if (m.interrupted) {
        if (!m.compact()) m.pendingRows.push_back(gapEventLine(*open, m.protocol));
        return;
    }
    if (!m.compact()) m.putRow(gapEventLine(*open, m.protocol));
    if (m.interrupted) return;
    if (const int e = m.writeManifest()) return m.interrupt(ManifestName, e);
    m.flush(true);
}

void Recorder::tick(std::int64_t) { tick(); }

void Recorder::tick() {
    Impl& m = *impl_;
    if (m.finished) return;
    const std::int64_t now = m.steady();
    if (m.interrupted) {
        if (now >= m.nextRetry) m.resume();
        return;
    }
    if (m.dirty && now - m.lastFlush >= 500'000) {
        // Written to the system at least twice a second (a crash of the
        // program loses nothing flushed), to the disk once a second.
        m.flush(now - m.lastSync >= 1'000'000);
    }
}

void Recorder::finish(const std::string& reason) { finish(reason, impl_->clock->utcNow()); }

void Recorder::finish(const std::string& reason, std::int64_t utcEnd) {
    Impl& m = *impl_;
    if (m.finished) return;
    m.flush(true);
    const std::int64_t endTime = m.stamp(utcEnd);
    // Gaps still open last to the end: their rows say so.
    std::vector<std::string> rows = std::move(m.pendingRows);
    m.pendingRows.clear();
    for (const Gap& g : m.gaps) {
        if (!g.to && !m.compact()) rows.push_back(gapEventLine(g, m.protocol));
    }
    if (m.interrupted && !m.compact()) {
        // The end on a full disk: the room kept for it.
        m.releaseReserve();
        if (m.create(EventsName, m.events, "ab") == 0) {
            bool ok = true;
            for (const std::string& row : rows) {
                ok = ok && std::fwrite(row.data(), 1, row.size(), m.events.get()) == row.size();
            }
            ok = ok && std::fflush(m.events.get()) == 0 && syncToDisk(m.events.get()) == 0;
            m.events.reset();
            std::error_code ec;
            if (!ok) fs::resize_file(m.at(EventsName), m.savedEvents, ec);
        }
    } else {
        for (const std::string& row : rows) m.putRow(row);
        m.flush(true);
    }
    m.data.reset();
    m.index.reset();
    m.events.reset();
    m.end = endTime;
    m.reason = reason;
    m.writeManifestSomehow();
    m.releaseReserve();
    m.finished = true;
}

RecorderStatus Recorder::status() const { return status(impl_->clock->utcNow()); }

RecorderStatus Recorder::status(std::int64_t utcNow) const {
    const Impl& m = *impl_;
    RecorderStatus s;
    s.folder = m.folderText;
    s.bytes = m.bytes;
    s.lostBytes = m.lostBytes;
    s.startUtc = m.start;
    s.elapsedUs = (m.end ? *m.end : m.peek(utcNow, m.steady())) - m.start;
    s.segments = m.segment;
    s.gaps = m.gaps;
    s.writing = !m.finished && !m.interrupted;
    if (m.interrupted) s.interruption = m.gaps[m.interruption];
    s.interruptions = m.interruptions;
    s.lastError = m.error;
    return s;
}

const std::string& Recorder::folder() const { return impl_->folderText; }

}  // namespace zindra::recording
