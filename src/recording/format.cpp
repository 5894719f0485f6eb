#include "recording/format.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "decoders/protocol.h"
#include "events/event_row.h"
#include "events/time_text.h"
#include "trace/identify.h"

namespace zindra::recording {
namespace {

std::string numbered(int n, const char* ext) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d.%s", n, ext);
    return buf;
}

std::string timeField(std::int64_t t) { return std::to_string(t) + " " + events::isoTime(t); }

}  // namespace

std::string segmentName(int n) { return numbered(n, "TRC"); }
std::string indexName(int n) { return numbered(n, "idx"); }

std::string indexLine(std::uint64_t offset, std::int64_t time, const char* flag) {
    char buf[80];
    const int len =
        flag != nullptr
            ? std::snprintf(buf, sizeof buf, "%llu;%lld;%s\n", static_cast<unsigned long long>(offset),
                            static_cast<long long>(time), flag)
            : std::snprintf(buf, sizeof buf, "%llu;%lld\n", static_cast<unsigned long long>(offset),
                            static_cast<long long>(time));
    return std::string(buf, static_cast<std::size_t>(len));
}

std::optional<IndexLine> parseIndexLine(std::string_view line) {
    IndexLine r;
    const char* p = line.data();
    const char* end = line.data() + line.size();
    auto a = std::from_chars(p, end, r.offset);
    if (a.ec != std::errc() || a.ptr == end || *a.ptr != ';') return std::nullopt;
    auto b = std::from_chars(a.ptr + 1, end, r.time);
    if (b.ec != std::errc()) return std::nullopt;
    if (b.ptr == end) return r;
    if (*b.ptr != ';') return std::nullopt;
    r.flag.assign(b.ptr + 1, end);
    if (r.flag != IndexCopy && r.flag != IndexRestart) return std::nullopt;
    return r;
}

std::string manifestText(const ManifestText& m) {
    std::string s = "# Zindra recording\n";
    s += "program=" + events::printable(m.program) + "\n";
    s += "port=" + events::printable(m.port) + "\n";
    s += "protocol=" + m.protocol + "\n";
    s += "reply=" + events::printable(m.reply) + "\n";
    s += "start=" + timeField(m.start) + "\n";
    for (const Gap& g : m.gaps) {
        s += "gap=" + std::to_string(g.from) + " " + (g.to ? std::to_string(*g.to) : std::string("-")) + " " +
             events::isoTime(g.from) + " " + (g.to ? events::isoTime(*g.to) : std::string("-")) + "\n";
    }
    if (m.end) {
        s += "end=" + timeField(*m.end) + "\n";
        s += "reason=" + events::printable(m.reason) + "\n";
    }
    return s;
}

std::string gapEventLine(const Gap& gap, const std::string& protocol) {
    std::vector<std::string> cells(events::ColumnNames.size());
    cells[events::TimeColumn] = events::isoTime(gap.from);
    cells[events::ProtocolColumn] = protocol;
    cells[events::StateColumn] = "Unterbrechung";
    cells[events::LineColumn] = gap.to ? "Verbindung unterbrochen bis " + events::isoTime(*gap.to)
                                       : std::string("Verbindung unterbrochen bis zum Ende der Aufzeichnung");
    return events::csvLine(cells);
}

std::int64_t nextLocalMidnight(std::int64_t utc) {
    const auto t = static_cast<std::time_t>(utc / 1000000);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    tm.tm_hour = 0;
    tm.tm_min = 0;
    tm.tm_sec = 0;
    tm.tm_mday += 1;
    tm.tm_isdst = -1;
    const std::time_t next = std::mktime(&tm);
    // A clock the C library cannot place: never roll by the day.
    if (next == static_cast<std::time_t>(-1)) return INT64_MAX;
    return static_cast<std::int64_t>(next) * 1000000;
}

std::string folderStamp(std::int64_t utc) {
    std::string s = events::isoTime(utc).substr(0, 19);  // 2026-12-08T10:40:38
    for (char& c : s) {
        if (c == 'T') c = '_';
        if (c == ':') c = '-';
    }
    return s;
}

std::string protocolOfReply(std::string_view replyLine) {
    std::string_view text = replyLine;
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::optional<int> row = trace::matchPanelType(text);
    if (!row) return {};
    const trace::PanelType& t = trace::panelTypes()[*row];
    return std::string(decoders::protocolName(t.keepsDecoder ? decoders::Protocol::Default : t.protocol));
}

}  // namespace zindra::recording
