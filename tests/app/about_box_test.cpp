#include "app/about_box.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>

#include "gui_support.h"

namespace zindra::app {
namespace {

using testing::RecordingDialogs;

// Notes when the about box shows and hides, polling while modal loops run.
struct Watch {
    explicit Watch(AboutBox& box) : box_(box) {
        clock.start();
        QObject::connect(&poll, &QTimer::timeout, [this] {
            const bool v = box_.isVisible();
            if (v && !visible) {
                ++shown;
                shownAt = clock.elapsed();
            }
            if (!v && visible) hiddenAt = clock.elapsed();
            visible = v;
        });
        poll.start(5);
    }
    AboutBox& box_;
    QElapsedTimer clock;
    QTimer poll;
    bool visible = false;
    int shown = 0;
    qint64 shownAt = -1;
    qint64 hiddenAt = -1;
};

TEST(AboutBoxTest, ShownOnceAtStartUpClosedByItselfThenHilfeKeepsItUntilOk) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    RecordingDialogs dialogs;
    TraceWindow window(dialogs);
    AboutBox& about = window.aboutBox();
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Info"));
    EXPECT_EQ(about.size(), QSize(298, 257));
    EXPECT_TRUE(about.findChild<QLabel*>(QStringLiteral("ProductName"))->font().bold());
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("ProductName"))->text(), QStringLiteral("Zindra"));

    Watch watch(about);
    window.hexPane().addLine("vorher");
    window.show();
    ASSERT_TRUE(testing::waitUntil([&] { return watch.hiddenAt >= 0; }, 6000));
    const qint64 closedAfter = sinceStart.elapsed();
    EXPECT_EQ(watch.shown, 1);
    EXPECT_LT(watch.shownAt, 1500);
    EXPECT_GE(closedAfter, AboutBox::InfoTime - 50);
    EXPECT_LT(closedAfter, AboutBox::InfoTime + 1000);
    EXPECT_EQ(window.hexPane().lineCount(), 0u);  // cleared when it closed

    // No second showing on its own.
    testing::waitUntil([] { return false; }, 300);
    EXPECT_EQ(watch.shown, 1);

    // "&Hilfe": shown again, stays past InfoTime, closes with OK, panes kept.
    window.hexPane().addLine(" 41");
    bool stillVisible = false;
    QTimer::singleShot(400, &about, [&] {
        stillVisible = about.isVisible();
        about.okButton().click();
    });
    window.findChild<QAction*>(QStringLiteral("Hilfe1"))->trigger();
    EXPECT_TRUE(stillVisible);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(watch.shown, 2);
    EXPECT_EQ(window.hexPane().lineCount(), 1u);
    EXPECT_TRUE(dialogs.exceptions.isEmpty());
}

}  // namespace
}  // namespace zindra::app
