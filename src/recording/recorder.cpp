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
#include <unistd.h>
#endif

#include "events/event_row.h"
#include "events/time_text.h"
#include "recording/format.h"

namespace zindra::recording {
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

void syncToDisk(std::FILE* f) {
#ifdef _WIN32
    ::_commit(::_fileno(f));
#else
    ::fsync(::fileno(f));
#endif
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

struct Recorder::Impl {
    RecorderOptions options;
    fs::path folder;
    std::string folderText;
    std::int64_t start = 0;
    std::optional<std::int64_t> end;
    std::string reason;

    File data, index, events;
    int segment = 0;
    std::uint64_t segmentSize = 0;
    std::int64_t segmentDayEnd = INT64_MAX;

    std::string reply;        // the reply line through its line feed, once complete
    std::string replyPrefix;  // the bytes before it is complete
    bool replyKnown = false;  // complete, or hopeless (no line feed in the first 4096 bytes)
    std::string protocol;

    std::uint64_t bytes = 0;
    std::int64_t lastTime = 0;
    std::vector<Gap> gaps;
    bool restartNext = false;

    bool failed = false;
    bool finished = false;
    std::string error;
    Clock::time_point lastFlush = Clock::now();
    Clock::time_point lastSync = Clock::now();
    bool dirty = false;

    // A write failed: the recording stops here, the trace goes on.
    void fail(const std::string& what, int err) {
        if (failed) return;
        failed = true;
        error = "The recording in " + folderText + " stopped: cannot write " + what + ": " +
                std::generic_category().message(err != 0 ? err : EIO);
        // What made it to the files stays readable; nothing more is tried.
        data.reset();
        index.reset();
        events.reset();
    }

    bool put(std::FILE* f, const void* p, std::size_t n, const char* what) {
        if (failed || f == nullptr) return false;
        errno = 0;
        if (n > 0 && std::fwrite(p, 1, n, f) != n) {
            fail(what, errno);
            return false;
        }
        dirty = true;
        return true;
    }
    bool put(std::FILE* f, const std::string& s, const char* what) {
        return put(f, s.data(), s.size(), what);
    }

    File create(const std::string& name) {
        errno = 0;
        File f(std::fopen((folder / name).string().c_str(), "wb"));
        if (!f) fail(name, errno);
        return f;
    }

    void openSegment(std::int64_t time) {
        data.reset();
        index.reset();
        if (failed) return;
        ++segment;
        segmentSize = 0;
        segmentDayEnd = nextLocalMidnight(time);
        data = create(segmentName(segment));
        if (failed) return;
        index = create(indexName(segment));
        if (failed) return;
        // Large buffers: a chunk is 80 bytes; the disk sees them once a second.
        std::setvbuf(data.get(), nullptr, _IOFBF, 256 * 1024);
        std::setvbuf(index.get(), nullptr, _IOFBF, 64 * 1024);
        if (segment > 1 && replyKnown && !reply.empty()) {
            put(index.get(), indexLine(0, time, IndexCopy), indexName(segment).c_str());
            put(data.get(), reply, segmentName(segment).c_str());
            segmentSize = reply.size();
        }
    }

    void learnReply(const std::uint8_t* p, std::size_t n) {
        if (replyKnown) return;
        replyPrefix.append(reinterpret_cast<const char*>(p), n);
        const std::size_t lf = replyPrefix.find('\n');
        if (lf != std::string::npos && lf >= 3 && lf < ReplySearchLimit) {
            reply = replyPrefix.substr(0, lf + 1);
            protocol = protocolOfReply(reply);
            replyKnown = true;
            writeManifest();
        } else if (lf != std::string::npos || replyPrefix.size() >= ReplySearchLimit) {
            replyKnown = true;  // no usable reply line: later segments start without a copy
        }
        if (replyKnown) replyPrefix.clear();
    }

    void writeManifest() {
        if (failed) return;
        ManifestText m;
        m.program = options.version;
        m.port = options.port;
        m.protocol = protocol;
        m.reply = reply;
        m.start = start;
        m.end = end;
        m.gaps = gaps;
        m.reason = reason;
        const fs::path tmp = folder / (std::string(ManifestName) + ".new");
        {
            errno = 0;
            File f(std::fopen(tmp.string().c_str(), "wb"));
            if (!f) return fail(ManifestName, errno);
            const std::string text = manifestText(m);
            if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size() ||
                std::fflush(f.get()) != 0) {
                return fail(ManifestName, errno);
            }
            syncToDisk(f.get());
        }
#ifdef _WIN32
        // Replacing an existing file, in one step.
        if (::MoveFileExW(tmp.wstring().c_str(), (folder / ManifestName).wstring().c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
            fail(ManifestName, EIO);
        }
#else
        std::error_code ec;
        fs::rename(tmp, folder / ManifestName, ec);
        if (ec) fail(ManifestName, ec.value());
#endif
    }

    void flush(bool sync) {
        if (failed) return;
        for (const auto* f : {&data, &index, &events}) {
            if (!*f) continue;
            errno = 0;
            if (std::fflush(f->get()) != 0) return fail("the recording's files", errno);
            if (sync) syncToDisk(f->get());
        }
        dirty = false;
        lastFlush = Clock::now();
        if (sync) lastSync = lastFlush;
    }
};

std::int64_t Recorder::nowUtc() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Recorder::Recorder(RecorderOptions options, std::int64_t startUtc) : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.options = std::move(options);
    m.start = startUtc;
    m.lastTime = startUtc;
    const fs::path parent = m.options.parent.empty() ? fs::path(".") : fs::path(m.options.parent);
    std::error_code ec;
    fs::create_directories(parent, ec);
    if (ec) {
        throw RecordingError("Cannot make the folder " + parent.string() +
                             " for recordings: " + ec.message());
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
    m.folderText = m.folder.string();
    m.writeManifest();
    if (!m.failed) {
        m.events = m.create(EventsName);
        if (!m.failed) {
            std::setvbuf(m.events.get(), nullptr, _IOFBF, 64 * 1024);
            m.put(m.events.get(), std::string(events::CsvBom) + events::csvHeader(), EventsName);
        }
    }
    m.openSegment(startUtc);
    if (!m.failed) m.flush(true);
    if (m.failed) throw RecordingError(m.error);
}

Recorder::~Recorder() {
    if (!impl_->finished) finish("closed");
}

void Recorder::onChunk(const std::uint8_t* bytes, std::size_t n, trace::ChunkTime time) {
    Impl& m = *impl_;
    if (n == 0 || m.finished || m.failed) return;
    // Times never run backwards in the index, even when the clock is set back.
    const std::int64_t t = time && *time > m.lastTime ? *time : m.lastTime;
    m.lastTime = t;
    m.learnReply(bytes, n);
    const std::uint64_t floor = m.segment > 1 && m.replyKnown ? m.reply.size() : 0;
    if ((m.segmentSize > floor && m.segmentSize + n > m.options.segmentLimit) || t >= m.segmentDayEnd) {
        m.openSegment(t);
        if (m.failed) return;
    }
    const char* flag = m.restartNext ? IndexRestart : nullptr;
    m.restartNext = false;
    if (!m.put(m.index.get(), indexLine(m.segmentSize, t, flag), "the time index")) return;
    if (!m.put(m.data.get(), bytes, n, "the trace segment")) return;
    m.segmentSize += n;
    m.bytes += n;
    if (Clock::now() - m.lastFlush >= std::chrono::milliseconds(500)) tick(t);
}

void Recorder::onEvent(const decoders::EventRecord& record, trace::ChunkTime time) {
    Impl& m = *impl_;
    if (m.finished || m.failed) return;
    m.put(m.events.get(), events::csvEventLine(record, time), EventsName);
}

void Recorder::gapBegan(std::int64_t utc) {
    Impl& m = *impl_;
    if (m.finished || (!m.gaps.empty() && !m.gaps.back().to)) return;
    m.gaps.push_back(Gap{utc, std::nullopt});
    m.writeManifest();
    m.flush(true);
}

void Recorder::gapEnded(std::int64_t utc) {
    Impl& m = *impl_;
    if (m.finished || m.gaps.empty() || m.gaps.back().to) return;
    m.gaps.back().to = utc;
    m.restartNext = true;
    m.put(m.events.get(), gapEventLine(m.gaps.back(), m.protocol), EventsName);
    m.writeManifest();
    m.flush(true);
}

void Recorder::tick(std::int64_t) {
    Impl& m = *impl_;
    if (m.finished || m.failed) return;
    const auto now = Clock::now();
    if (m.dirty && now - m.lastFlush >= std::chrono::milliseconds(500)) {
        // Written to the system at least twice a second (a crash of the
        // program loses nothing flushed), to the disk once a second.
        m.flush(now - m.lastSync >= std::chrono::seconds(1));
    }
}

void Recorder::finish(const std::string& reason, std::int64_t utcEnd) {
    Impl& m = *impl_;
    if (m.finished) return;
    if (!m.gaps.empty() && !m.gaps.back().to) {
        // Ended while the device was away: the gap's row, without an end.
        m.put(m.events.get(), gapEventLine(m.gaps.back(), m.protocol), EventsName);
    }
    m.end = utcEnd < m.lastTime ? m.lastTime : utcEnd;
    m.reason = reason;
    m.flush(true);
    m.data.reset();
    m.index.reset();
    m.events.reset();
    // The manifest still names the end of a recording whose writes failed,
    // when the disk lets it.
    const bool wasFailed = m.failed;
    const std::string firstError = m.error;
    m.failed = false;
    m.writeManifest();
    if (wasFailed) {
        m.failed = true;
        m.error = firstError;
    }
    m.finished = true;
}

RecorderStatus Recorder::status(std::int64_t utcNow) const {
    const Impl& m = *impl_;
    RecorderStatus s;
    s.folder = m.folderText;
    s.bytes = m.bytes;
    s.startUtc = m.start;
    s.elapsedUs = (m.end ? *m.end : utcNow) - m.start;
    s.segments = m.segment;
    s.gaps = m.gaps;
    s.writing = !m.finished && !m.failed;
    s.lastError = m.error;
    return s;
}

const std::string& Recorder::folder() const { return impl_->folderText; }

}  // namespace zindra::recording
