// zindra-cli: the trace session without a window.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/common.h"

namespace {

const char* const Usage =
    "usage: zindra-cli replay [--protocol REPLY] [--pane text|hex|event|all] FILE\n"
    "       zindra-cli trace --port DEVICE [--pane text|hex|event] [--save BASE]\n"
    "       zindra-cli simulate FILE.TRC [--baud N]\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(Usage, stderr);
        return zindra::cli::ExitUsage;
    }
    const std::string command = argv[1];
    if (command == "replay") return zindra::cli::replayCommand(argc - 2, argv + 2);
    if (command == "trace") return zindra::cli::traceCommand(argc - 2, argv + 2);
    if (command == "simulate") return zindra::cli::simulateCommand(argc - 2, argv + 2);
    if (command == "--help" || command == "-h") {
        std::fputs(Usage, stdout);
        return zindra::cli::ExitOk;
    }
    std::fputs(Usage, stderr);
    return zindra::cli::ExitUsage;
}
