// The events of a replay as a file for other programs (replay --format):
// where they go (standard output or a file completed by a rename), attached
// to the session as a listener, finished with the message a failure needs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "events/export.h"
#include "trace/session.h"

namespace zindra::cli {

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
    // The output can take no more: stop the replay.
    bool failed() const { return exporter_->failed(); }
    // Writes the end, renames the file into place; ExitOk or ExitFile after
    // the message.
    int finish(trace::TraceSession& session);

private:
    events::ExportFormat format_;
    std::optional<std::string> output_;
    events::ExportOptions options_;
    std::optional<events::AtomicFile> file_;
    std::unique_ptr<events::StreamingExport> exporter_;
};

}  // namespace zindra::cli
