// A live trace in the window, as a user runs it: Start on PORT, wait until
// the event pane (Memo3) holds the lines of EXPECTED, Stopp.  Writes the
// event pane's lines (raw bytes, each followed by "\n") to OUT, and the
// window to PNG when given.  Exit status 0 only when the pane equals
// EXPECTED, the panel showed the trace and no box came up.
//   window_trace PORT EXPECTED OUT [PNG]
// tools/windows.sh runs it under Wine with PORT mapped to the simulator.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>

#include "app/gui_support.h"
#include "serial/comm.h"

namespace {

std::vector<std::string> readLines(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fputs("usage: window_trace PORT EXPECTED OUT [PNG]\n", stderr);
        return 2;
    }
    const std::vector<std::string> expected = readLines(argv[2]);
    zindra::app::Application app(argc, argv);
    zindra::testing::RecordingDialogs dialogs;
    QTemporaryDir config;  // the user's ZINDRA.INI stays untouched
    zindra::app::TraceWindow window(dialogs, config.filePath(QStringLiteral("ZINDRA.INI")));
    if (!zindra::testing::showPastAboutBox(window)) {
        std::fputs("window_trace: the about box did not come and go\n", stderr);
        return 1;
    }
    window.comm().setDeviceName(argv[1]);
    window.findChild<QPushButton*>(QStringLiteral("StartTrace"))->click();
    const bool equal =
        zindra::testing::waitUntil([&] { return window.eventPane().lines() == expected; }, 30000);
    const QString caption = window.findChild<QLabel*>(QStringLiteral("Panel1"))->text();
    window.findChild<QPushButton*>(QStringLiteral("StoppTrace"))->click();
    zindra::testing::processPending();

    std::ofstream out(argv[3], std::ios::binary);
    for (const std::string& line : window.eventPane().lines()) out << line << '\n';
    if (argc == 5 && !window.grab().save(QString::fromLocal8Bit(argv[4]))) {
        std::fprintf(stderr, "window_trace: cannot write %s\n", argv[4]);
        return 1;
    }
    for (const QString& e : dialogs.errors + dialogs.exceptions)
        std::fprintf(stderr, "box: %s\n", qPrintable(e));
    if (!equal)
        std::fprintf(stderr, "window_trace: Memo3 did not reach the %zu expected lines\n", expected.size());
    std::fprintf(stderr, "window_trace: panel during the trace: \"%s\"\n", qPrintable(caption));
    return equal && dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty() ? 0 : 1;
}
