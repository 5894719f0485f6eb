// The events of a replay as a file for other programs (replay --format):
// where they go (standard output or --output FILE), attached to the session
// as a listener, finished with the message a failure needs.
//
// --output FILE, by what FILE is:
// - a regular file, or none yet: written under a temporary name beside it and
//   renamed over it once complete, so that a failed or interrupted export
//   leaves nothing under the name; an existing file keeps its mode (and, for
//   root, its owner);
// - a symbolic link: the same for the file it points to (the link stays);
// - a FIFO or a character device (/dev/null, a terminal): written into
//   directly, as a shell's redirection does;
// - a folder, a block device or a socket: refused with the reason.
// Ctrl-C, SIGTERM and SIGHUP (Ctrl-Break on Windows) while a temporary file
// is written stop the replay, remove the temporary file, and end the program
// as the signal would have.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "events/export.h"
#include "trace/session.h"

namespace zindra::cli {

class OutputFile;

class ExportOutput {
public:
    // timesAreByteOffsets: the input has no times (a plain .TRC).
    ExportOutput(events::ExportFormat format, std::optional<std::string> output, std::string source,
                 bool timesAreByteOffsets);
    ~ExportOutput();

    // Refuses binary output to a terminal (ExitUsage), opens the output file
    // (ExitFile); the message is on standard error.  ExitOk when ready.
    int open();
    void attach(trace::TraceSession& session);
    void setBytePosition(std::uint64_t position) { exporter_->setBytePosition(position); }
    // A CSV row that is no event (a recording's gap) in its place; the other
    // formats have none.
    void addCsvRow(std::string row) {
        if (format_ == events::ExportFormat::Csv) exporter_->addRaw(std::move(row));
    }
    // The output can take no more, or a signal asked to stop: stop the replay.
    bool failed() const;
    // Writes the end, renames the file into place; ExitOk or ExitFile after
    // the message.  After a signal: the temporary file removed, the process
    // ended by that signal.
    int finish(trace::TraceSession& session);

private:
    events::ExportFormat format_;
    std::optional<std::string> output_;
    events::ExportOptions options_;
    std::unique_ptr<OutputFile> file_;
    std::unique_ptr<events::StreamingExport> exporter_;
    int stdoutError_ = 0;  // the error of the first failed write to standard output
};

}  // namespace zindra::cli
