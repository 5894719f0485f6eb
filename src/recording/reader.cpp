#include "recording/reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "recording/format.h"
#include "trace/replay.h"

namespace zindra::recording {
namespace fs = std::filesystem;

namespace {

bool readText(const fs::path& p, std::string& out) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::optional<std::int64_t> leadingNumber(std::string_view s) {
    std::int64_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc()) return std::nullopt;
    return v;
}

// The segment numbers present: "0001.TRC" and the like.
std::vector<int> segmentNumbers(const fs::path& folder, std::error_code& ec) {
    std::vector<int> numbers;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != 8 || name.substr(4) != ".TRC") continue;
        int n = 0;
        const auto r = std::from_chars(name.data(), name.data() + 4, n);
        if (r.ec == std::errc() && r.ptr == name.data() + 4 && n > 0) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

void parseManifest(const std::string& text, Manifest& m, std::vector<std::string>& bad) {
    std::size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        const bool whole = lf != std::string::npos;
        if (!whole) lf = text.size();
        const std::string line = text.substr(pos, lf - pos);
        pos = lf + 1;
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find('=');
        const std::string key = line.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        bool ok = whole && eq != std::string::npos;
        if (!ok) {
        } else if (key == "program") {
            m.program = value;
        } else if (key == "port") {
            m.port = value;
        } else if (key == "protocol") {
            m.protocol = value;
        } else if (key == "reply") {
            m.reply = value;
        } else if (key == "start") {
            m.start = leadingNumber(value);
            ok = m.start.has_value();
        } else if (key == "end") {
            m.end = leadingNumber(value);
            ok = m.end.has_value();
        } else if (key == "reason") {
            m.reason = value;
        } else if (key == "gap") {
            Gap g;
            const auto from = leadingNumber(value);
            const std::size_t sp = value.find(' ');
            ok = from.has_value() && sp != std::string::npos;
            if (ok) {
                g.from = *from;
                const std::string_view rest = std::string_view(value).substr(sp + 1);
                if (rest.substr(0, 1) != "-") {
                    g.to = leadingNumber(rest);
                    ok = g.to.has_value();
                }
                m.gaps.push_back(g);
            }
        }
        if (!ok) bad.push_back("line " + std::to_string(lineNo));
    }
}

}  // namespace

bool isRecordingFolder(const std::string& folder) {
    std::error_code ec;
    const fs::path f(folder);
    return fs::is_directory(f, ec) &&
           (fs::exists(f / ManifestName, ec) || fs::exists(f / segmentName(1), ec));
}

Recording readRecording(const std::string& folder) {
    const fs::path dir(folder);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        if (ec || !fs::exists(dir, ec)) {
            throw RecordingError("Cannot read the recording " + folder + ": " +
                                 (ec ? ec.message() : std::string("No such file or directory")));
        }
        throw RecordingError(folder + " is not a recording folder: it is a file");
    }
    Recording r;
    r.folder = folder;
    const std::vector<int> numbers = segmentNumbers(dir, ec);
    if (ec) throw RecordingError("Cannot read the recording " + folder + ": " + ec.message());
    if (!isRecordingFolder(folder)) {
        throw RecordingError(folder + " is not a recording folder: it has neither " +
                             std::string(ManifestName) + " nor " + segmentName(1));
    }
    const auto damage = [&](const std::string& text) {
        r.problems.push_back(text);
        r.damaged = true;
    };
    const auto cut = [&](const std::string& text) {
        r.problems.push_back(text);
        r.cutOff = true;
    };

    std::string text;
    if (!fs::exists(dir / ManifestName, ec)) {
        damage((dir / ManifestName).string() + " is missing: port, protocol, times and gaps are unknown");
    } else if (!readText(dir / ManifestName, text)) {
        damage("Cannot read " + (dir / ManifestName).string());
    } else {
        std::vector<std::string> bad;
        parseManifest(text, r.manifest, bad);
        for (const std::string& b : bad) damage((dir / ManifestName).string() + ": " + b + " is damaged");
        if (!r.manifest.end) {
            cut((dir / ManifestName).string() +
                " has no end: the recording was cut off (a crash or power cut) "
                "and is read as far as it was written");
        }
    }

    // Segments numbered from 1 without holes.
    int expect = 1;
    for (const int n : numbers) {
        for (; expect < n; ++expect) damage(segmentName(expect) + " is missing in " + folder);
        expect = n + 1;
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const bool last = i + 1 == numbers.size();
        SegmentFile seg;
        seg.path = (dir / segmentName(numbers[i])).string();
        seg.size = fs::file_size(seg.path, ec);
        if (ec) {
            damage("Cannot read " + seg.path + ": " + ec.message());
            continue;
        }
        const fs::path idxPath = dir / indexName(numbers[i]);
        if (!readText(idxPath, text)) {
            damage(idxPath.string() + " is missing: " + seg.path + " is replayed without times");
            r.segments.push_back(std::move(seg));
            continue;
        }
        // Damage inside a segment that was not the last to be written is
        // damage; at the very end it is what a cut-off leaves.
        const auto tail = [&](const std::string& t) { last ? cut(t) : damage(t); };
        std::size_t pos = 0;
        int lineNo = 0;
        int badLines = 0;
        while (pos < text.size()) {
            std::size_t lf = text.find('\n', pos);
            ++lineNo;
            if (lf == std::string::npos) {
                tail(idxPath.string() + ": the last line is half written");
                break;
            }
            const auto line = parseIndexLine(std::string_view(text).substr(pos, lf - pos));
            pos = lf + 1;
            if (!line || (!seg.index.empty() && line->offset < seg.index.back().offset)) {
                if (badLines++ == 0)
                    damage(idxPath.string() + ": line " + std::to_string(lineNo) + " is damaged");
                continue;
            }
            if (line->offset >= seg.size) {
                tail(idxPath.string() + " indexes bytes past the end of " + seg.path);
                break;
            }
            seg.index.push_back(
                IndexEntry{line->offset, line->time, line->flag == IndexCopy, line->flag == IndexRestart});
        }
        if (badLines > 1) r.problems.back() += " (and " + std::to_string(badLines - 1) + " more lines)";
        r.segments.push_back(std::move(seg));
    }
    if (numbers.empty()) damage("No segment (" + segmentName(1) + ") in " + folder);
    return r;
}

void replayRecording(trace::TraceSession& session, Recording& recording,
                     const std::function<void()>& processEvents,
                     const std::function<void(trace::ChunkTime)>& beforeChunk) {
    session.startReplay();
    std::array<std::uint8_t, trace::ReplayChunk> buf{};
    bool reachedEnd = true;
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
            if (beforeChunk) beforeChunk(time);
            session.feedChunk(buf.data(), n, time);
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
        bool go = true;
        // Bytes before the first indexed chunk (a segment without its index).
        const std::uint64_t first = seg.index.empty() ? seg.size : seg.index.front().offset;
        go = feed(in.get(), first, std::nullopt, seg.path);
        for (std::size_t i = 0; go && i < seg.index.size(); ++i) {
            const IndexEntry& e = seg.index[i];
            const std::uint64_t next = i + 1 < seg.index.size() ? seg.index[i + 1].offset : seg.size;
            std::uint64_t length = next - e.offset;
            if (e.copy) {
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
    if (reachedEnd) session.dispatchRest();
    if (session.running()) session.stopp();
}

}  // namespace zindra::recording
