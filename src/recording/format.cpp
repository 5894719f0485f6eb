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
std::string indexName(int n, RecordingFormat format) {
    return numbered(n, format == RecordingFormat::Compact ? "tix" : "idx");
}

void appendCompactNumber(std::string& out, std::uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

void appendCompactEntry(std::string& out, std::uint64_t length, std::uint64_t timeStep, unsigned flags) {
    appendCompactNumber(out, length << 2 | (flags & 3));
    appendCompactNumber(out, timeStep);
}

std::optional<int> segmentNumber(std::string_view name) {
    constexpr std::string_view Ext = ".TRC";
    if (name.size() < 4 + Ext.size() || name.size() > 9 + Ext.size() ||
        name.substr(name.size() - Ext.size()) != Ext) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(0, name.size() - Ext.size());
    int n = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || n <= 0) return std::nullopt;
    // Written as segmentName writes it: no sign, no other leading zeros.
    if (segmentName(n) != name) return std::nullopt;
    return n;
}

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
    if (m.format != RecordingFormat::Text) s += "format=" + std::to_string(static_cast<int>(m.format)) + "\n";
    s += "segments=" + std::to_string(m.segments) + "\n";
    for (const Gap& g : m.gaps) {
        s += "gap=" + std::to_string(g.from) + " " + (g.to ? std::to_string(*g.to) : std::string("-")) + " " +
             events::isoTime(g.from) + " " + (g.to ? events::isoTime(*g.to) : std::string("-")) + " " +
             (g.why.empty() ? std::string(GapDeviceAway) : g.why) + "\n";
    }
    if (m.end) {
        s += "end=" + timeField(*m.end) + "\n";
        s += "reason=" + events::printable(m.reason) + "\n";
    }
    return s;
}

std::optional<std::string> unprintable(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
            case 'r': out.push_back('\r'); break;
            case 'n': out.push_back('\n'); break;
            case 't': out.push_back('\t'); break;
            case '\\': out.push_back('\\'); break;
            case 'x': {
                unsigned v = 0;
                if (text.size() - i < 3) return std::nullopt;
                const auto r = std::from_chars(text.data() + i + 1, text.data() + i + 3, v, 16);
                if (r.ec != std::errc() || r.ptr != text.data() + i + 3) return std::nullopt;
                out.push_back(static_cast<char>(v));
                i += 2;
                break;
            }
            default: return std::nullopt;
        }
    }
    return out;
}

std::string gapText(const Gap& gap) {
    const std::string until =
        gap.to ? "bis " + events::isoTime(*gap.to) : std::string("bis zum Ende der Aufzeichnung");
    if (gap.deviceAway()) return std::string(GapDeviceAway) + " " + until;
    return gap.why + ": nicht aufgezeichnet " + until;
}

std::string gapEventLine(const Gap& gap, const std::string& protocol) {
    std::vector<std::string> cells(events::ColumnNames.size());
    cells[events::TimeColumn] = events::isoTime(gap.from);
    cells[events::ProtocolColumn] = protocol;
    cells[events::StateColumn] = "Unterbrechung";
    cells[events::LineColumn] = gapText(gap);
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
