// A recording folder's text files as the reader takes them: the manifest and
// a time index (text or compact), anything at all.  Never a crash; what is taken is within
// what a recording can hold (plausible times, gaps that end after they
// begin, index offsets in order inside the segment, times that never run
// backwards, a copy only at the start); an index read in pieces reads as the
// whole; the manifest's numbers come back the same through the writer.
//
// Input: two bytes of segment size (little-endian), then the manifest text,
// a zero byte, the index text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "events/event_row.h"
#include "recording/format.h"
#include "recording/reader.h"

namespace {

using namespace zindra::recording;

void check(bool ok) {
    if (!ok) std::abort();
}

bool sameIndex(const IndexParser& a, const IndexParser& b) {
    if (a.entries.size() != b.entries.size() || a.lines != b.lines || a.badLines != b.badLines ||
        a.firstBadLine != b.firstBadLine || a.halfWritten != b.halfWritten || a.pastEnd != b.pastEnd) {
        return false;
    }
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        const IndexEntry& x = a.entries[i];
        const IndexEntry& y = b.entries[i];
        if (x.offset != y.offset || x.time != y.time || x.copy != y.copy || x.restart != y.restart)
            return false;
    }
    return true;
}

bool sameGaps(const std::vector<zindra::recording::Gap>& a, const std::vector<zindra::recording::Gap>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].from != b[i].from || a[i].to != b[i].to || a[i].why != b[i].why) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint64_t segmentSize = data[0] | (static_cast<std::uint64_t>(data[1]) << 8);
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t zero = rest.find('\0');
    const std::string_view manifestText_ = rest.substr(0, zero);
    const std::string_view indexText =
        zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);

    // The manifest.
    Manifest m;
    std::vector<std::string> bad;
    parseManifest(manifestText_, m, bad);
    if (m.start) check(plausibleTime(*m.start));
    if (m.end) check(plausibleTime(*m.end));
    if (m.segments) check(*m.segments >= 0);
    for (const zindra::recording::Gap& g : m.gaps) {
        check(plausibleTime(g.from));
        if (g.to) check(plausibleTime(*g.to) && *g.to >= g.from);
        check(!g.why.empty() && g.why.find('\n') == std::string::npos);
    }
    const auto reply = unprintable(m.reply);
    if (reply) check(unprintable(zindra::events::printable(*reply)) == reply);
    if (m.start && bad.empty()) {
        // Through the writer and back: the same numbers.
        ManifestText w;
        w.start = *m.start;
        w.end = m.end;
        w.segments = m.segments.value_or(0);
        w.gaps = m.gaps;
        w.reply = reply.value_or(std::string());
        Manifest again;
        std::vector<std::string> bad2;
        parseManifest(manifestText(w), again, bad2);
        check(bad2.empty());
        check(again.start == m.start && again.end == m.end && again.segments.value_or(0) == w.segments);
        check(sameGaps(again.gaps, m.gaps));
        check(unprintable(again.reply) == reply.value_or(std::string()));
    }

    // The index, as text and as a compact index: whole, and in pieces cut
    // where the bytes of the input say.
    for (const RecordingFormat format : {RecordingFormat::Text, RecordingFormat::Compact}) {
        IndexParser whole(segmentSize, format);
        whole.feed(indexText);
        whole.finish();
        const IndexEntry* last = nullptr;
        for (std::size_t i = 0; i < whole.entries.size(); ++i) {
            const IndexEntry& e = whole.entries[i];
            check(e.offset < segmentSize && plausibleTime(e.time));
            check(!e.copy || (i == 0 && e.offset == 0));
            if (last != nullptr) check(e.offset > last->offset && e.time >= last->time);
            last = &e;
        }
        check(whole.badLines == 0 || (whole.firstBadLine >= (format == RecordingFormat::Text ? 1 : 0) &&
                                      whole.firstBadLine <= whole.lines));
        IndexParser pieces(segmentSize, format);
        std::size_t pos = 0;
        bool more = true;
        while (more && pos < indexText.size()) {
            const std::size_t n = 1 + static_cast<unsigned char>(indexText[pos]) % 97;
            more = pieces.feed(indexText.substr(pos, n));
            pos += n;
        }
        pieces.finish();
        check(sameIndex(whole, pieces));
    }

    // Segment names.
    for (const std::size_t n : {std::size_t{1}, segmentSize + 1, std::size_t{99999}}) {
        check(segmentNumber(segmentName(static_cast<int>(n))) == static_cast<int>(n));
    }
    check(!segmentNumber(std::string(manifestText_.substr(0, 16))) ||
          segmentName(*segmentNumber(std::string(manifestText_.substr(0, 16)))) ==
              manifestText_.substr(0, 16));
    return 0;
}
