// The files of a recording folder and their line formats, in one place for
// the writer and the reader (docs/recording.md describes them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording/recorder.h"

namespace zindra::recording {

inline constexpr const char* ManifestName = "manifest.txt";
inline constexpr const char* EventsName = "events.csv";
// Room kept on the disk for the manifest and the event file's last rows, for
// when the disk fills: given up to write them, made again before the
// recording goes on.  No part of the recording; removed at the end.
inline constexpr const char* ReserveName = "manifest.reserve";
inline constexpr std::size_t ReserveSize = 8 * 1024;
// Where a reply line is looked for, as identification does.
inline constexpr std::size_t ReplySearchLimit = 4096;

// Segment n (from 1): "0001.TRC" and its time index, "0001.tix" (compact)
// or "0001.idx" (text).
std::string segmentName(int n);
std::string indexName(int n, RecordingFormat format = RecordingFormat::Text);
// n for a segment's name ("0001.TRC": 1; four digits or more, from 1), or
// nullopt for any other name.
std::optional<int> segmentNumber(std::string_view name);

// The times a recording can hold: from 1970 to the end of the year 9999 (UTC
// microseconds).  Anything else in a file is damage.
inline constexpr std::int64_t LatestTime = 253'402'300'799'999'999;
inline bool plausibleTime(std::int64_t t) { return t >= 0 && t <= LatestTime; }

// Index line flags.
inline constexpr const char* IndexCopy = "copy";
inline constexpr const char* IndexRestart = "restart";

// "OFFSET;UTC_MICROS[;FLAG]" with a line feed.
std::string indexLine(std::uint64_t offset, std::int64_t time, const char* flag = nullptr);

// The compact index: these four bytes, then per chunk two unsigned LEB128
// numbers: its length times 4 plus its flags (CompactCopy, CompactRestart),
// and its time less the time before it (the first: less 0).
inline constexpr std::string_view CompactMagic{"ZTI\x02", 4};
inline constexpr unsigned CompactCopy = 1;
inline constexpr unsigned CompactRestart = 2;
// The longest number the writer makes: a time of up to 58 bits.
inline constexpr std::size_t CompactNumberLimit = 9;
void appendCompactNumber(std::string& out, std::uint64_t v);
// A chunk's entry, appended to out.
void appendCompactEntry(std::string& out, std::uint64_t length, std::uint64_t timeStep, unsigned flags);

struct IndexLine {
    std::uint64_t offset = 0;
    std::int64_t time = 0;
    std::string flag;
};
// nullopt for a line that is not of that form.
std::optional<IndexLine> parseIndexLine(std::string_view line);

// The manifest's fields.
struct ManifestText {
    std::string program, port, protocol, reply;
    std::int64_t start = 0;
    int segments = 0;  // segments begun
    RecordingFormat format = RecordingFormat::Text;
    std::optional<std::int64_t> end;
    std::vector<Gap> gaps;
    std::string reason;
};
std::string manifestText(const ManifestText& m);

// The reply line as the manifest writes it (events::printable) back to its
// bytes; nullopt when the text is not of that form.
std::optional<std::string> unprintable(std::string_view text);

// What a gap was, in words (UTF-8): "Verbindung unterbrochen bis
// 2026-12-08T23:01:21.305+01:00" for the device's, "Datenträger voll: nicht
// aufgezeichnet bis ..." for the recording's; "... bis zum Ende der
// Aufzeichnung" when it lasted to the end.
std::string gapText(const Gap& gap);

// The event file's row for a gap: its start in the time column, "Unterbrechung"
// as the state, gapText in the event column.
std::string gapEventLine(const Gap& gap, const std::string& protocol);

// "2026-12-08_10-40-38": the local start time, as folder names can hold it.
std::string folderStamp(std::int64_t utc);

// The UTC microsecond at which the local day of utc ends (where a segment
// is rolled); INT64_MAX when the C library cannot tell.
std::int64_t nextLocalMidnight(std::int64_t utc);

// The protocol name a reply line selects ("UGM"), or "" when none.
std::string protocolOfReply(std::string_view replyLine);

}  // namespace zindra::recording
