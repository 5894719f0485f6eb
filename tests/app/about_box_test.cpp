#include "app/about_box.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>

#include "gui_support.h"

namespace zindra::app {
namespace {

using testing::RecordingDialogs;

// Notes when the about box shows and hides, polling while its modal loop runs.
struct Watch {
    explicit Watch(AboutBox& box) {
        QObject::connect(&poll, &QTimer::timeout, [this, &box] {
            if (box.isVisible() && !visible) shownAt.push_back(clock.elapsed());
            if (!box.isVisible() && visible) hiddenAt = clock.elapsed();
            visible = box.isVisible();
        });
        clock.start();
        poll.start(5);
    }
    QElapsedTimer clock;
    QTimer poll;
    bool visible = false;
    std::vector<qint64> shownAt;
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
    ASSERT_EQ(watch.shownAt.size(), 1u);
    EXPECT_LT(watch.shownAt[0], 1500);
    EXPECT_GE(closedAfter, AboutBox::InfoTime);
    EXPECT_LT(closedAfter, AboutBox::InfoTime + 1000);
    EXPECT_EQ(window.hexPane().lineCount(), 0u);  // cleared when it closed

    // No second showing on its own.
    testing::waitUntil([] { return false; }, 300);
    EXPECT_EQ(watch.shownAt.size(), 1u);

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
    EXPECT_EQ(watch.shownAt.size(), 2u);
    EXPECT_EQ(window.hexPane().lineCount(), 1u);
    EXPECT_TRUE(dialogs.exceptions.isEmpty());
}

}  // namespace
}  // namespace zindra::app
