#pragma once

#include <cstdio>
#include <functional>
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
// finished, or the pane's stream flushed.  Returns ExitOk, or the writing's
// failure.
int finishReplayOutput(ExportOutput* exporter, trace::TraceSession& session, StreamPane* stream);

// What one replay pass writes: a pane ("text", "hex", "event"), or with an
// exporter the events.  replay --pane all makes one pass per pane, in the
// order hex, text, event, each under its title; the passes before the last
// say nothing on standard error (the last says it all).
struct ReplayPass {
    std::string pane = "event";
    ExportOutput* exporter = nullptr;
    const char* title = nullptr;  // written before the pane's lines, once the input is open
    bool quiet = false;
};

// The passes --pane all makes: one per pane, so that no pane is kept in
// memory.  A pass sets fatal when the input could not be read or the output
// not written (and says so, quiet or not): no more passes then.  The exit
// status of the last pass made.
int replayAllPanes(const std::function<int(const ReplayPass&, bool& fatal)>& replay);

int replayCommand(int argc, char** argv);
// replay of a recording folder, one pass.
int replayFolder(const std::string& dir, const ReplayPass& pass, bool timestamps, bool* fatal = nullptr);
int simulateCommand(int argc, char** argv);
// A report to hand over: one HTML page from a trace file or a recording.
int reportCommand(int argc, char** argv);
int traceCommand(int argc, char** argv);

}  // namespace zindra::cli
