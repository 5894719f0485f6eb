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
// Where a reply line is looked for, as identification does.
inline constexpr std::size_t ReplySearchLimit = 4096;

// Segment n (from 1): "0001.TRC" and its time index "0001.idx".
std::string segmentName(int n);
std::string indexName(int n);

// Index line flags.
inline constexpr const char* IndexCopy = "copy";
inline constexpr const char* IndexRestart = "restart";

// "OFFSET;UTC_MICROS[;FLAG]" with a line feed.
std::string indexLine(std::uint64_t offset, std::int64_t time, const char* flag = nullptr);

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
    std::optional<std::int64_t> end;
    std::vector<Gap> gaps;
    std::string reason;
};
std::string manifestText(const ManifestText& m);

// The event file's row for a gap: its start in the time column, "Unterbrechung"
// as the state, its end (or none, when the recording ended during it) in the
// event column.
std::string gapEventLine(const Gap& gap, const std::string& protocol);

// "2026-12-08_10-40-38": the local start time, as folder names can hold it.
std::string folderStamp(std::int64_t utc);

// The UTC microsecond at which the local day of utc ends (where a segment
// is rolled); INT64_MAX when the C library cannot tell.
std::int64_t nextLocalMidnight(std::int64_t utc);

// The protocol name a reply line selects ("UGM"), or "" when none.
std::string protocolOfReply(std::string_view replyLine);

}  // namespace zindra::recording
