// Events written as files for other programs: CSV for spreadsheets, JSON
// Lines for scripts, pcapng for Wireshark.  docs/events.md describes each
// format.  Files are written under a temporary name and renamed when
// complete, so a failed or cancelled export leaves nothing under the final
// name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "events/event_store.h"
#include "events/event_view.h"

namespace zindra::events {

enum class ExportFormat { Csv, JsonLines, Pcapng };

// "csv", "jsonl", "pcapng" (as the CLI's --format names them).
std::optional<ExportFormat> exportFormatNamed(std::string_view name);
std::string_view exportFormatName(ExportFormat format);
// ".csv", ".jsonl", ".pcapng"
std::string_view exportSuffix(ExportFormat format);
// pcapng is binary: not for a terminal.
inline bool isBinary(ExportFormat format) { return format == ExportFormat::Pcapng; }

struct ExportOptions {
    // pcapng: events without a time get byte offsets in the trace file as
    // times (1 s = 1 byte; StreamingExport::setBytePosition); the file's
    // comment says so.  The other formats leave such times empty.
    bool timesAreByteOffsets = false;
    // pcapng: where the events come from, for the file's comment.
    std::string source;
};

// Turns events into the bytes of one format: begin() once, event() per
// event, end() once.
class EventWriter {
public:
    virtual ~EventWriter() = default;
    virtual std::string begin() = 0;
    virtual std::string event(const EventView& event) = 0;
    virtual std::string end() { return {}; }
};

std::unique_ptr<EventWriter> makeEventWriter(ExportFormat format, const ExportOptions& options = {});

// One JSON Lines object (with its "\n") for an event.
std::string jsonEventLine(const EventView& event);

// Writes every event a session decodes, as it is decoded, through a writer
// to a sink (standard output, an AtomicFile).  The sink returns false once
// it cannot take more; the export then stops writing and reports failed().
class StreamingExport final : public trace::EventListener {
public:
    using Sink = std::function<bool(std::string_view)>;
    StreamingExport(ExportFormat format, ExportOptions options, Sink sink);

    // Without times of their own (a plain trace file), pcapng packets get
    // the position in the file where the chunk that completed them ends.
    void setBytePosition(std::uint64_t position) { position_ = position; }
    void onEvent(const decoders::EventRecord& record, trace::ChunkTime time) override;
    // Bytes of the format's own that are no event (a CSV row for a gap in a
    // recording), in their place among the events.
    void addRaw(std::string bytes) { put(std::move(bytes), false); }
    // Writes what the format has after the last event, and what is buffered.
    void finish();

    std::size_t events() const { return events_; }
    bool failed() const { return failed_; }

private:
    void put(std::string bytes, bool force);

    std::unique_ptr<EventWriter> writer_;
    bool offsetTimes_;
    Sink sink_;
    std::string buffer_;
    std::uint64_t position_ = 0;
    std::size_t events_ = 0;
    bool failed_ = false;
};

// A file written under a temporary name beside path and renamed to path by
// commit(); destroyed without a commit, it removes the temporary file.
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The first error so far (opening, writing); empty while all is well.
    std::error_code error() const { return error_; }
    bool write(std::string_view bytes);
    // Flushes, closes and renames; the error, or empty on success.
    std::error_code commit();
    void discard();

private:
    std::string path_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    std::error_code error_;
    bool committed_ = false;
};

// Writes events of store to path: all of them, or those at the given
// indices.  progress(done, total) is called now and then; returning false
// cancels (an empty error_code with cancelled set).  Nothing is left under
// path unless the whole file was written.
struct ExportResult {
    std::error_code error;
    bool cancelled = false;
    std::size_t events = 0;
    bool ok() const { return !error && !cancelled; }
};
ExportResult exportToFile(const std::string& path, ExportFormat format, const EventStore& store,
                          const std::vector<std::uint32_t>* rows = nullptr, const ExportOptions& options = {},
                          const std::function<bool(std::size_t, std::size_t)>& progress = {});

}  // namespace zindra::events
