// Draws the window after a replayed trace into a PNG, for the documentation:
//   xvfb-run -a build/bin/app_screenshot samples/ugm.TRC docs/screenshot.png
#include <QAction>
#include <QPixmap>
#include <cstdio>

#include "gui_support.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: app_screenshot TRACE.TRC OUT.png\n", stderr);
        return 2;
    }
    zindra::app::Application app(argc, argv);
    zindra::testing::RecordingDialogs dialogs;
    zindra::app::TraceWindow window(dialogs);
    if (!zindra::testing::showPastAboutBox(window)) return 1;
    dialogs.openAnswer = QString::fromLocal8Bit(argv[1]);
    window.findChild<QAction*>(QStringLiteral("Replay1"))->trigger();
    for (const QString& e : dialogs.errors + dialogs.exceptions) std::fprintf(stderr, "%s\n", qPrintable(e));
    zindra::testing::waitUntil([] { return false; }, 300);
    return window.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
