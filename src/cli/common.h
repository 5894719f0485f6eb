#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include "events/event_row.h"
#include "trace/panes.h"
#include "trace/session.h"

namespace zindra::cli {

enum ExitCode : int {
    ExitOk = 0,
    ExitFile = 1,
    ExitUsage = 2,
    ExitIdent = 3,
    ExitPort = 4,
};

// A byte string in a printable form for messages (events::printable).
using events::printable;

// printable() of at most the first 80 bytes, "..." marking a cut.
std::string printableStart(std::string_view bytes);

// The system's text for errno, without trailing spaces and full stops.
std::string systemText(int err);
// The same for an error code of any category.
std::string reasonText(const std::error_code& code);

// Ends with the message on standard error when standard output could not be
// written (a full disk, a closed pipe): returns whether it failed.
bool outputFailed(std::FILE* out, int error = 0);

class ExportOutput;
class StreamPane;

// The end of a replay's output, once the session has stopped: the export
// finished, or the one pane's stream flushed, or (with neither) all three
// panes written under their titles.  Returns ExitOk, or the writing's failure.
int finishReplayOutput(ExportOutput* exporter, trace::TraceSession& session, StreamPane* stream,
                       const trace::MemoryPane& hex, const trace::MemoryPane& text,
                       const trace::MemoryPane& event);

int replayCommand(int argc, char** argv);
// replay of a recording folder; pane is "text", "hex", "event" or "all".
// With exporter, the events go out through it instead of a pane.
int replayFolder(const std::string& dir, const std::string& pane, bool timestamps,
                 ExportOutput* exporter = nullptr);
int simulateCommand(int argc, char** argv);
// A report to hand over: one HTML page from a trace file or a recording.
int reportCommand(int argc, char** argv);
int traceCommand(int argc, char** argv);

}  // namespace zindra::cli
