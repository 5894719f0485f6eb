#pragma once

#include <string>
#include <string_view>

namespace zindra::cli {

enum ExitCode : int {
    ExitOk = 0,
    ExitFile = 1,
    ExitUsage = 2,
    ExitIdent = 3,
    ExitPort = 4,
};

// A byte string in a printable form for messages: \r, \n, \t and other
// control or non-ASCII bytes escaped.
std::string printable(std::string_view bytes);

// The system's text for errno, without trailing spaces and full stops.
std::string systemText(int err);

int replayCommand(int argc, char** argv);
int simulateCommand(int argc, char** argv);
int traceCommand(int argc, char** argv);

}  // namespace zindra::cli
