#include "recording/reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "events/time_text.h"
#include "recording/format.h"
#include "trace/replay.h"

namespace zindra::recording {
namespace fs = std::filesystem;

namespace {

// The most a manifest can need: some 30,000 gaps.
constexpr std::size_t ManifestLimit = 4u << 20;
// The longest index line ("OFFSET;TIME;restart" with 20-digit numbers) and
// more; a longer line is damaged.
constexpr std::size_t IndexLineLimit = 64;

std::optional<std::int64_t> leadingNumber(std::string_view s) {
    std::int64_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc()) return std::nullopt;
    return v;
}

std::optional<std::int64_t> timeValue(std::string_view s) {
    const auto v = leadingNumber(s);
    if (!v || !plausibleTime(*v)) return std::nullopt;
    return v;
}

// A file of the folder, opened as a single trace file is (regular files
// only, never blocking); its bytes go to take in pieces, at most limit of
// them.  The error's sentence ("Cannot open ...: Is a directory"), or empty.
std::string readFile(const fs::path& p, std::uint64_t limit, bool& overLimit,
                     const std::function<bool(std::string_view)>& take) {
    overLimit = false;
    trace::FilePtr in(nullptr, &std::fclose);
    try {
        in = trace::openTraceFile(p.string());
    } catch (const std::system_error& e) {
        return std::string("Cannot open ") + p.string() + ": " + e.code().message();
    }
    std::array<char, 64 * 1024> buf{};
    std::uint64_t total = 0;
    for (;;) {
        const std::size_t n = std::fread(buf.data(), 1, buf.size(), in.get());
        if (n == 0) break;
        if (total + n > limit) {
            overLimit = true;
            take(std::string_view(buf.data(), static_cast<std::size_t>(limit - total)));
            break;
        }
        total += n;
        if (!take(std::string_view(buf.data(), n))) break;
    }
    if (std::ferror(in.get()))
        return "Cannot read " + p.string() + ": " + std::generic_category().message(EIO);
    return {};
}

// Problems of one kind, said once with a count.
class Problems {
public:
    void add(const std::string& kind, const std::string& text) {
        auto it = counts_.find(kind);
        if (it == counts_.end()) {
            order_.push_back(kind);
            first_[kind] = text;
            counts_[kind] = 1;
        } else {
            ++it->second;
        }
    }
    bool empty() const { return order_.empty(); }
    void into(std::vector<std::string>& out) const {
        for (const std::string& kind : order_) {
            const int n = counts_.at(kind);
            out.push_back(n == 1 ? first_.at(kind)
                                 : first_.at(kind) + " (and " + std::to_string(n - 1) + " more like it)");
        }
    }

private:
    std::vector<std::string> order_;
    std::map<std::string, int> counts_;
    std::map<std::string, std::string> first_;
};

// "0003.TRC to 0005.TRC, 0009.TRC": numbers as ranges, at most a few.
std::string ranges(const std::vector<int>& numbers) {
    std::string s;
    int shown = 0;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        if (shown++ == 4) return s + ", ...";
        if (!s.empty()) s += ", ";
        s += segmentName(numbers[i]);
        if (j > i) s += " to " + segmentName(numbers[j]);
        i = j + 1;
    }
    return s;
}

std::string manifestPath(const fs::path& dir) { return (dir / ManifestName).string(); }

}  // namespace

void parseManifest(std::string_view text, Manifest& m, std::vector<std::string>& bad) {
    std::size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        const bool whole = lf != std::string_view::npos;
        if (!whole) lf = text.size();
        const std::string_view line = text.substr(pos, lf - pos);
        pos = lf + 1;
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find('=');
        const std::string_view key = line.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
        bool ok = whole && eq != std::string_view::npos;
        if (!ok) {
        } else if (key == "program") {
            m.program = value;
        } else if (key == "port") {
            m.port = value;
        } else if (key == "protocol") {
            m.protocol = value;
        } else if (key == "reply") {
            m.reply = value;
            ok = unprintable(value).has_value();
        } else if (key == "start") {
            m.start = timeValue(value);
            ok = m.start.has_value();
        } else if (key == "end") {
            m.end = timeValue(value);
            ok = m.end.has_value();
        } else if (key == "reason") {
            m.reason = value;
        } else if (key == "format") {
            ok = value == "1" || value == "2";
            if (ok) m.format = value == "2" ? RecordingFormat::Compact : RecordingFormat::Text;
        } else if (key == "segments") {
            int n = 0;
            const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
            ok = r.ec == std::errc() && r.ptr == value.data() + value.size() && n >= 0;
            if (ok) m.segments = n;
        } else if (key == "gap") {
            // FROM TO FROM-ISO TO-ISO [WHY]; TO "-" while it lasted.
            Gap g;
            std::vector<std::string_view> fields;
            std::size_t p = 0;
            while (fields.size() < 4 && p <= value.size()) {
                const std::size_t sp = value.find(' ', p);
                fields.push_back(
                    value.substr(p, sp == std::string_view::npos ? std::string_view::npos : sp - p));
                p = sp == std::string_view::npos ? value.size() + 1 : sp + 1;
            }
            const auto from = fields.empty() ? std::nullopt : timeValue(fields[0]);
            ok = from.has_value() && fields.size() >= 2;
            if (ok) {
                g.from = *from;
                if (fields[1] != "-") {
                    g.to = timeValue(fields[1]);
                    ok = g.to.has_value() && *g.to >= g.from;
                }
                if (p < value.size()) g.why = value.substr(p);
                if (g.why.empty()) g.why = GapDeviceAway;
                if (ok) m.gaps.push_back(g);
            }
        }
        if (!ok) bad.push_back("line " + std::to_string(lineNo));
    }
}

bool IndexParser::feed(std::string_view bytes) {
    if (format_ == RecordingFormat::Compact) {
        for (const char c : bytes) {
            if (stopped_ || pastEnd) break;
            compactByte(static_cast<std::uint8_t>(c));
        }
        return !stopped_ && !pastEnd;
    }
    while (!bytes.empty() && !pastEnd) {
        const std::size_t lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf);
        // A line longer than any the writer makes is damaged; only its start is kept.
        partial_.append(piece.substr(
            0, std::min(piece.size(), IndexLineLimit + 1 - std::min(partial_.size(), IndexLineLimit + 1))));
        if (lf == std::string_view::npos) return true;
        line(partial_);
        partial_.clear();
        bytes.remove_prefix(lf + 1);
    }
    return !pastEnd;
}

void IndexParser::finish() {
    const bool partial = format_ == RecordingFormat::Compact
                             ? (magic_ > 0 && magic_ < CompactMagic.size()) || numberBytes_ > 0 || head_
                             : !partial_.empty();
    if (partial && !pastEnd && !stopped_) {
        ++lines;
        halfWritten = true;
    }
    partial_.clear();
}

void IndexParser::bad() {
    if (badLines++ == 0) firstBadLine = lines;
}

void IndexParser::take(const IndexEntry& e) {
    const bool ok = plausibleTime(e.time) && (!e.copy || (lines == 1 && e.offset == 0)) &&
                    (!last_ || (e.offset > last_->offset && e.time >= last_->time));
    if (!ok) {
        bad();
        if (format_ == RecordingFormat::Compact) stopped_ = true;
        return;
    }
    if (e.offset >= segmentSize_) {
        pastEnd = true;
        return;
    }
    last_ = e;
    entries.push_back(e);
}

void IndexParser::line(std::string_view text) {
    ++lines;
    const auto l = text.size() <= IndexLineLimit ? parseIndexLine(text) : std::nullopt;
    if (!l) return bad();
    take(IndexEntry{l->offset, l->time, l->flag == IndexCopy, l->flag == IndexRestart});
}

void IndexParser::compactByte(std::uint8_t b) {
    if (magic_ < CompactMagic.size()) {
        if (b != static_cast<std::uint8_t>(CompactMagic[magic_])) {
            bad();
            stopped_ = true;
        }
        ++magic_;
        return;
    }
    if (numberBytes_ == CompactNumberLimit) {
        // Longer than any number the writer makes.
        ++lines;
        bad();
        stopped_ = true;
        return;
    }
    number_ |= static_cast<std::uint64_t>(b & 0x7F) << (7 * numberBytes_);
    ++numberBytes_;
    if ((b & 0x80) != 0) return;
    const std::uint64_t value = number_;
    number_ = 0;
    numberBytes_ = 0;
    if (!head_) {
        head_ = value;
        return;
    }
    const std::uint64_t head = *head_;
    head_.reset();
    ++lines;
    const std::uint64_t length = head >> 2;
    const unsigned flags = static_cast<unsigned>(head & 3);
    const std::int64_t before = last_ ? last_->time : 0;
    if (length == 0 || flags == (CompactCopy | CompactRestart) ||
        value > static_cast<std::uint64_t>(LatestTime - before)) {
        bad();
        stopped_ = true;
        return;
    }
    const std::uint64_t offset = nextOffset_;
    nextOffset_ += length;
    take(IndexEntry{offset, before + static_cast<std::int64_t>(value), (flags & CompactCopy) != 0,
                    (flags & CompactRestart) != 0});
    // The chunk's bytes did not all reach the segment (it was cut off).
    if (!stopped_ && nextOffset_ > segmentSize_) pastEnd = true;
}

namespace {

// The most an index of a segment can hold: no more entries than the segment
// has bytes (and its copy), none longer than a text line can be.
std::uint64_t indexLimit(std::uint64_t segmentSize) { return (segmentSize + 2) * (IndexLineLimit + 1); }

}  // namespace

struct IndexStream::Impl {
    explicit Impl(const SegmentFile& s) : parser(s.size, s.indexFormat), limit(indexLimit(s.size)) {}
    IndexParser parser;
    trace::FilePtr in{nullptr, &std::fclose};
    std::uint64_t limit;
    std::uint64_t read = 0;
    std::vector<IndexEntry> ready;
    std::size_t taken = 0;
    bool done = false;
};

IndexStream::IndexStream(const SegmentFile& segment) : impl_(std::make_unique<Impl>(segment)) {
    if (segment.indexPath.empty() || segment.chunks == 0) {
        impl_->done = true;
        return;
    }
    try {
        impl_->in = trace::openTraceFile(segment.indexPath);
    } catch (const std::system_error&) {
        impl_->done = true;  // it was read a moment ago: told then, if it was damage
    }
}

IndexStream::~IndexStream() = default;

std::optional<IndexEntry> IndexStream::next() {
    Impl& m = *impl_;
    std::array<char, 64 * 1024> buf;
    while (m.taken == m.ready.size()) {
        m.ready.clear();
        m.taken = 0;
        if (m.done) return std::nullopt;
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), m.limit - m.read));
        const std::size_t n = want == 0 ? 0 : std::fread(buf.data(), 1, want, m.in.get());
        m.read += n;
        const bool more = n > 0 && m.parser.feed(std::string_view(buf.data(), n));
        if (!more) {
            m.parser.finish();
            m.done = true;
        }
        m.ready.swap(m.parser.entries);
    }
    return m.ready[m.taken++];
}

std::vector<IndexEntry> readIndex(const SegmentFile& segment) {
    std::vector<IndexEntry> all;
    IndexStream stream(segment);
    while (const auto e = stream.next()) all.push_back(*e);
    return all;
}

bool isRecordingFolder(const std::string& folder) {
    std::error_code ec;
    const fs::path f(folder);
    return fs::is_directory(f, ec) &&
           (fs::exists(f / ManifestName, ec) || fs::exists(f / segmentName(1), ec));
}

Recording readRecording(const std::string& folder, const std::function<void()>& whileReading) {
    const fs::path dir(folder);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        if (ec || !fs::exists(dir, ec)) {
            throw RecordingError("Cannot read the recording " + folder + ": " +
                                 (ec ? ec.message() : std::string("No such file or directory")));
        }
        throw RecordingError(folder + " is not a recording folder: it is a file");
    }
    // The names in the folder, without looking at the files yet.
    std::set<std::string> names;
    std::map<int, std::string> numbered;  // segment number: name
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (const auto n = segmentNumber(name)) numbered.emplace(*n, name);
        names.insert(std::move(name));
    }
    if (ec) throw RecordingError("Cannot read the recording " + folder + ": " + ec.message());
    const bool hasManifest = names.count(ManifestName) > 0;
    if (!hasManifest && numbered.count(1) == 0) {
        throw RecordingError(folder + " is not a recording folder: it has neither " +
                             std::string(ManifestName) + " nor " + segmentName(1));
    }
    // A folder that can be listed but not searched: nothing in it can be opened.
    (void)fs::status(dir / (hasManifest ? std::string(ManifestName) : segmentName(1)), ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        throw RecordingError("Cannot read the recording " + folder + ": " + ec.message());
    }

    Recording r;
    r.folder = folder;
    Problems damage, cut, incomplete;
    const auto damaged = [&](const std::string& kind, const std::string& text) {
        damage.add(kind, text);
        r.damaged = true;
    };

    // The manifest.
    if (!hasManifest) {
        damaged("manifest", manifestPath(dir) + " is missing: port, protocol, times and gaps are unknown");
    } else {
        std::string text;
        bool over = false;
        const std::string error = readFile(dir / ManifestName, ManifestLimit, over, [&](std::string_view b) {
            text.append(b);
            return true;
        });
        if (!error.empty()) {
            damaged("manifest", error + ": port, protocol, times and gaps are unknown");
        } else {
            if (over) damaged("manifest", manifestPath(dir) + " is larger than a manifest can be");
            std::vector<std::string> bad;
            parseManifest(text, r.manifest, bad);
            for (const std::string& b : bad)
                damaged("manifest line", manifestPath(dir) + ": " + b + " is damaged");
            if (!r.manifest.end) {
                cut.add("end", manifestPath(dir) +
                                   " has no end: the recording was cut off (a crash or power cut) "
                                   "and is read as far as it was written");
            }
        }
    }
    // A clean end proves that what follows is complete; without it (or
    // without a manifest) the last segment's end is where a cut-off stopped.
    const bool cleanEnd = r.manifest.end.has_value();

    // Which segments belong to it: those the manifest counts (and one more
    // while it has no end: begun just before the manifest was written again),
    // or, without a count, every one up to the highest.
    std::vector<int> present;
    for (const auto& [n, name] : numbered) present.push_back(n);
    int expected = present.empty() ? 0 : present.back();
    std::vector<int> strays;
    if (r.manifest.segments) {
        expected = *r.manifest.segments;
        const int allowed = cleanEnd ? expected : expected + 1;
        while (!present.empty() && present.back() > allowed) {
            strays.insert(strays.begin(), present.back());
            present.pop_back();
        }
    }
    std::vector<int> missing;
    for (int n = 1, i = 0; n <= expected; ++n) {
        if (static_cast<std::size_t>(i) < present.size() && present[static_cast<std::size_t>(i)] == n) {
            ++i;
        } else {
            missing.push_back(n);
        }
    }
    if (missing.size() == 1) {
        damaged("missing segment", segmentName(missing[0]) + " is missing in " + folder);
    } else if (!missing.empty()) {
        damaged("missing segment", std::to_string(missing.size()) + " segments are missing in " + folder +
                                       ": " + ranges(missing));
    }
    if (!strays.empty()) {
        damaged("stray segment",
                (strays.size() == 1 ? (dir / segmentName(strays[0])).string() + " is"
                                    : std::to_string(strays.size()) + " files (" + ranges(strays) + ") are") +
                    " not of this recording: its manifest names " + std::to_string(expected) +
                    " segment(s); not replayed");
    }

    for (std::size_t i = 0; i < present.size(); ++i) {
        const bool last = i + 1 == present.size();
        // Damage at the very end of a recording without a clean end is what a
        // cut-off leaves.
        const auto tail = [&](const std::string& kind, const std::string& t) {
            if (last && !cleanEnd) {
                cut.add(kind, t);
            } else {
                damaged(kind, t);
            }
        };
        SegmentFile seg;
        seg.number = present[i];
        seg.path = (dir / numbered[seg.number]).string();
        try {
            trace::openTraceFile(seg.path);
        } catch (const std::system_error& e) {
            damaged("segment unreadable", "Cannot read " + seg.path + ": " + e.code().message());
            continue;
        }
        seg.size = fs::file_size(seg.path, ec);
        if (ec) {
            damaged("segment unreadable", "Cannot read " + seg.path + ": " + ec.message());
            continue;
        }
        // The index of the recording's format; without a manifest, whichever
        // the folder holds.
        seg.indexFormat = r.manifest.format;
        if (!hasManifest && names.count(indexName(seg.number, RecordingFormat::Compact)) > 0)
            seg.indexFormat = RecordingFormat::Compact;
        const std::string idxName = indexName(seg.number, seg.indexFormat);
        const std::string idxPath = (dir / idxName).string();
        if (names.count(idxName) == 0) {
            damaged("index missing", idxPath + " is missing: " + seg.path + " is replayed without times");
            r.segments.push_back(std::move(seg));
            continue;
        }
        // Checked here as a whole, but only counted: the replay reads the
        // entries again as it goes.
        IndexParser parser(seg.size, seg.indexFormat);
        bool over = false;
        const std::string error = readFile(idxPath, indexLimit(seg.size), over, [&](std::string_view b) {
            if (whileReading) whileReading();
            const bool more = parser.feed(b);
            if (!parser.entries.empty()) {
                if (seg.chunks == 0) seg.startsWithCopy = parser.entries.front().copy;
                seg.chunks += parser.entries.size();
                parser.entries.clear();
            }
            return more;
        });
        if (!error.empty()) {
            damaged("index unreadable", error + ": " + seg.path + " is replayed without times");
            seg.chunks = 0;
            r.segments.push_back(std::move(seg));
            continue;
        }
        parser.finish();
        seg.indexPath = idxPath;
        if (parser.badLines > 0 && seg.indexFormat == RecordingFormat::Compact) {
            damaged("index entry",
                    parser.firstBadLine == 0
                        ? idxPath + " is not a time index: " + seg.path + " is replayed without times"
                        : idxPath + ": entry " + std::to_string(parser.firstBadLine) +
                              " is damaged: the rest of " + seg.path + " is replayed without times");
        } else if (parser.badLines > 0) {
            damaged("index line",
                    idxPath + ": line " + std::to_string(parser.firstBadLine) + " is damaged" +
                        (parser.badLines > 1 ? " (and " + std::to_string(parser.badLines - 1) + " more lines)"
                                             : std::string()));
        }
        if (over) {
            damaged("index size", idxPath + " is larger than the index of " + seg.path + " can be");
        } else if (parser.halfWritten) {
            tail("index half",
                 idxPath + (seg.indexFormat == RecordingFormat::Compact ? ": the last entry is half written"
                                                                        : ": the last line is half written"));
        } else if (parser.pastEnd) {
            tail("index past", idxPath + " indexes bytes past the end of " + seg.path);
        }
        r.segments.push_back(std::move(seg));
    }
    if (numbered.empty()) damaged("no segment", "No segment (" + segmentName(1) + ") in " + folder);

    // The recording's own gaps: bytes received, not recorded.
    for (const Gap& g : r.manifest.gaps) {
        if (g.deviceAway()) continue;
        r.incomplete = true;
        incomplete.add("gap " + g.why,
                       folder + " was not recorded from " + events::isoTime(g.from) +
                           (g.to ? " to " + events::isoTime(*g.to) : std::string(" to its end")) + " (" +
                           g.why + ")");
    }
    damage.into(r.problems);
    incomplete.into(r.problems);
    cut.into(r.problems);
    r.cutOff = !cut.empty();
    return r;
}

void replayRecording(trace::TraceSession& session, Recording& recording,
                     const std::function<void()>& processEvents,
                     const std::function<void(trace::ChunkTime)>& beforeChunk,
                     const std::function<void(const Gap&)>& onGap) {
    session.startReplay();
    std::array<std::uint8_t, trace::ReplayChunk> buf{};
    bool reachedEnd = true;
    bool identified = false;  // the reply line has come in this replay
    // The gaps in order; each is told before the first chunk read after it.
    std::vector<Gap> gaps = recording.manifest.gaps;
    std::stable_sort(gaps.begin(), gaps.end(), [](const Gap& a, const Gap& b) { return a.from < b.from; });
    std::size_t nextGap = 0;
    const auto gapsBefore = [&](trace::ChunkTime time) {
        if (!onGap || !time) return;
        while (nextGap < gaps.size() && gaps[nextGap].to && *gaps[nextGap].to <= *time)
            onGap(gaps[nextGap++]);
    };
    const auto feed = [&](std::FILE* in, std::uint64_t length, trace::ChunkTime time,
                          const std::string& name) {
        while (length > 0) {
            if (!session.running() || session.replyLineHopeless()) return false;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, buf.size()));
            const std::size_t n = std::fread(buf.data(), 1, want, in);
            if (n == 0) {
                if (std::ferror(in)) {
                    recording.problems.push_back("Cannot read " + name);
                    recording.damaged = true;
                }
                return true;  // a segment shorter than its size: the next one
            }
            if (processEvents) processEvents();
            if (!session.running()) return false;
            gapsBefore(time);
            if (beforeChunk) beforeChunk(time);
            session.feedChunk(buf.data(), n, time);
            if (!session.awaitingIdent() && session.identOutcome() == trace::IdentOutcome::Matched) {
                identified = true;
            }
            length -= n;
        }
        return true;
    };
    for (const SegmentFile& seg : recording.segments) {
        trace::FilePtr in(nullptr, &std::fclose);
        try {
            in = trace::openTraceFile(seg.path);
        } catch (const std::system_error& e) {
            recording.problems.push_back(std::string(e.what()));
            recording.damaged = true;
            continue;
        }
        // The first segment did not bring the reply line (missing, unreadable):
        // this one's copy of it does, or the manifest's.
        const bool standIn = !identified && session.awaitingIdent() &&
                             (seg.number != 1 || &seg != &recording.segments.front());
        bool useCopy = false;
        if (standIn) {
            session.clearIdentText();
            if (seg.chunks > 0 && seg.startsWithCopy) {
                useCopy = true;
            } else if (seg.chunks > 0) {
                const auto reply = unprintable(recording.manifest.reply);
                if (reply && !reply->empty()) {
                    std::string name = *reply;
                    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
                    if (session.identifyReply(name)) identified = true;
                }
            }
        }
        // The entries as they are needed: one read ahead, for where the
        // chunk ends.
        IndexStream index(seg);
        std::optional<IndexEntry> entry = index.next();
        // Bytes before the first indexed chunk (a segment without its index).
        bool go = feed(in.get(), entry ? entry->offset : seg.size, std::nullopt, seg.path);
        while (go && entry) {
            const IndexEntry e = *entry;
            entry = index.next();
            const std::uint64_t next = entry ? entry->offset : seg.size;
            std::uint64_t length = next - e.offset;
            if (e.copy && !useCopy) {
                // The reply line a segment starts with to be replayable alone
                // is no part of the stream.  (Its index entry reaches further
                // only when the index was cut off behind it.)
                int c = 0;
                while (length > 0 && (c = std::fgetc(in.get())) != EOF) {
                    --length;
                    if (c == '\n') break;
                }
            }
            if (e.restart && session.running()) {
                // As the live trace did when the device went: what the
                // identifying chunk left is shown, then the trace begins anew.
                session.dispatchRest();
                session.startReplay();
            }
            go = feed(in.get(), length, e.time, seg.path);
        }
        if (!go) {
            reachedEnd = false;
            break;
        }
    }
    if (reachedEnd) {
        session.dispatchRest();
        if (onGap) {
            for (; nextGap < gaps.size(); ++nextGap) onGap(gaps[nextGap]);
        }
    }
    recording.identified = identified;
    if (session.running()) session.stopp();
}

}  // namespace zindra::recording
