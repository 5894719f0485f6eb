// zindra-cli: the trace session without a window.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/common.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const Usage =
    "usage: zindra-cli replay [--protocol REPLY] [--pane text|hex|event|all] FILE\n"
    "       zindra-cli replay [--timestamps] [--pane text|hex|event|all] RECORDING-FOLDER\n"
    "       zindra-cli trace --port DEVICE [--pane text|hex|event] [--save BASE] [--record DIR] [--watch]\n"
    "       zindra-cli simulate FILE.TRC [--baud N] [--pull-after BYTES --pull-for SECONDS] [--link PATH]\n"
    "       zindra-cli report FILE|RECORDING-FOLDER [--output FILE.html]\n";

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Pane lines are written as the bytes the panes hold, each ended by "\n";
    // a text-mode stream would turn that into CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    if (argc < 2) {
        std::fputs(Usage, stderr);
        return zindra::cli::ExitUsage;
    }
    const std::string command = argv[1];
    if (command == "replay") return zindra::cli::replayCommand(argc - 2, argv + 2);
    if (command == "trace") return zindra::cli::traceCommand(argc - 2, argv + 2);
    if (command == "report") return zindra::cli::reportCommand(argc - 2, argv + 2);
    if (command == "simulate") return zindra::cli::simulateCommand(argc - 2, argv + 2);
    if (command == "--help" || command == "-h") {
        std::fputs(Usage, stdout);
        return zindra::cli::ExitOk;
    }
    std::fputs(Usage, stderr);
    return zindra::cli::ExitUsage;
}
