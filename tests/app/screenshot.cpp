// Draws the window after a replayed trace or recording into a PNG, for the
// documentation, and with more names the event list (its timeline above the
// table) and the detector overview as well:
//   xvfb-run -a build/bin/app_screenshot samples/ugm.TRC docs/screenshot.png
//   TZ=Europe/Berlin xvfb-run -a build/bin/app_screenshot RECORDING main.png list.png overview.png
#include <QAction>
#include <QFileInfo>
#include <QPixmap>
#include <cstdio>

#include "app/detector_overview.h"
#include "app/event_list.h"
#include "app/event_tools.h"
#include "gui_support.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fputs("usage: app_screenshot TRACE.TRC|RECORDING OUT.png [LIST.png [OVERVIEW.png]]\n", stderr);
        return 2;
    }
    zindra::app::Application app(argc, argv);
    zindra::testing::RecordingDialogs dialogs;
    zindra::app::TraceWindow window(dialogs);
    if (!zindra::testing::showPastAboutBox(window)) return 1;
    const QString input = QString::fromLocal8Bit(argv[1]);
    if (QFileInfo(input).isDir()) {
        dialogs.folderAnswer = input;
        window.findChild<QAction*>(QStringLiteral("AufzeichnungWiedergeben1"))->trigger();
    } else {
        dialogs.openAnswer = input;
        window.findChild<QAction*>(QStringLiteral("Replay1"))->trigger();
    }
    for (const QString& e : dialogs.errors + dialogs.exceptions) std::fprintf(stderr, "%s\n", qPrintable(e));
    zindra::testing::waitUntil([] { return false; }, 300);
    bool ok = window.grab().save(QString::fromLocal8Bit(argv[2]));
    if (argc > 3) {
        window.eventTools().showList();
        zindra::app::EventListWindow& list = window.eventTools().listWindow();
        list.resize(900, 560);
        zindra::testing::waitUntil([] { return false; }, 300);
        ok = list.grab().save(QString::fromLocal8Bit(argv[3])) && ok;
    }
    if (argc > 4) {
        window.eventTools().showOverview();
        zindra::testing::waitUntil([] { return false; }, 300);
        ok = window.eventTools().overview().grab().save(QString::fromLocal8Bit(argv[4])) && ok;
    }
    return ok ? 0 : 1;
}
