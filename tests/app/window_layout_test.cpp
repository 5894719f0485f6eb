#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/settings_dialog.h"
#include "gui_support.h"

namespace zindra::app {
namespace {

using testing::RecordingDialogs;

class WindowLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testing::showPastAboutBox(window)); }

    QWidget* control(const char* name) {
        auto* w = window.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void resizeOuter(int width, int height) {
        window.setOuterSize(width, height);
        testing::processPending();
        ASSERT_EQ(window.frameGeometry().size(), QSize(width, height));
    }

    RecordingDialogs dialogs;
    TraceWindow window{dialogs};
};

TEST_F(WindowLayoutTest, At640By480) {
    resizeOuter(640, 480);
    EXPECT_EQ(control("Memo2")->geometry(), QRect(8, 10, 615, 140));
    EXPECT_EQ(control("Memo1")->geometry(), QRect(8, 160, 615, 120));
    EXPECT_EQ(control("Memo3")->geometry(), QRect(8, 310, 410, 100));
    const int lefts[5] = {16, 68, 136, 168, 440};
    const char* labels[5] = {"Label1", "Label2", "Label3", "Label4", "Label5"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(control(labels[i])->pos(), QPoint(lefts[i], 285)) << labels[i];
    EXPECT_EQ(control("StartTrace")->geometry(), QRect(440, 360, 75, 50));
    EXPECT_EQ(control("StoppTrace")->geometry(), QRect(545, 360, 75, 50));
    EXPECT_EQ(control("Panel1")->geometry(), QRect(440, 295, 180, 60));
}

TEST_F(WindowLayoutTest, At95PixelsHighOneUnitPerShare) {
    resizeOuter(640, 95);  // u = 25 / 20 = 1
    EXPECT_EQ(control("Memo2")->geometry(), QRect(8, -14, 615, 7));
    EXPECT_EQ(control("Memo1")->geometry(), QRect(8, 3, 615, 6));
    EXPECT_EQ(control("Memo3")->geometry(), QRect(8, 20, 410, 5));
    EXPECT_EQ(control("Label1")->pos(), QPoint(16, -5));
    EXPECT_EQ(control("StartTrace")->pos(), QPoint(440, -25));
    EXPECT_EQ(control("Panel1")->pos(), QPoint(440, -90));
}

TEST_F(WindowLayoutTest, TooLowOrNarrowForTheRuleGivesEmptyPanesNotNegativeOnes) {
    for (const QSize s : {QSize(640, 69), QSize(640, 40), QSize(200, 30)}) {
        window.setOuterSize(s.width(), s.height());
        testing::processPending();
        const int h = window.frameGeometry().height();
        const int w = window.frameGeometry().width();
        for (const char* name : {"Memo1", "Memo2", "Memo3"}) {
            const QRect g = control(name)->geometry();
            EXPECT_GE(g.width(), 0) << name << " at " << w << "x" << h;
            EXPECT_GE(g.height(), 0) << name << " at " << w << "x" << h;
            if (h < 90) {
                EXPECT_EQ(g.height(), 0) << name << " at " << w << "x" << h;
            }
        }
    }
    resizeOuter(640, 480);
    EXPECT_EQ(control("Memo1")->geometry(), QRect(8, 160, 615, 120));
}

TEST_F(WindowLayoutTest, EveryResizeEmptiesTheCaptureCount) {
    auto* label5 = qobject_cast<QLabel*>(control("Label5"));
    window.setCaptureCount("1234");
    EXPECT_EQ(label5->text(), QStringLiteral("1234"));
    resizeOuter(700, 500);
    EXPECT_EQ(label5->text(), QString());
    window.setCaptureCount("7");
    resizeOuter(700, 520);
    EXPECT_EQ(label5->text(), QString());
}

TEST_F(WindowLayoutTest, ControlsMenusAndCaptionsAtStart) {
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Zindra"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Trace"));
    EXPECT_EQ(window.frameGeometry().size(), QSize(640, 480));

    const char* texts[4][2] = {{"Label1", "Linie"}, {"Label2", "Melder"}, {"Label3", "LZ"}, {"Label4", "LZ(hex)"}};
    for (const auto& t : texts) {
        EXPECT_EQ(qobject_cast<QLabel*>(control(t[0]))->text(), QString::fromLatin1(t[1]));
    }
    EXPECT_EQ(qobject_cast<QLabel*>(control("Panel1"))->text(), QStringLiteral("nicht aktiv"));
    EXPECT_EQ(control("Panel1")->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    auto* start = qobject_cast<QPushButton*>(control("StartTrace"));
    auto* stopp = qobject_cast<QPushButton*>(control("StoppTrace"));
    EXPECT_EQ(start->text(), QStringLiteral("&Start"));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(stopp->text(), QStringLiteral("S&topp"));
    EXPECT_FALSE(stopp->isEnabled());
    EXPECT_FALSE(window.timer1().isActive());

    EXPECT_TRUE(control("Memo1")->font().fixedPitch() || QFontInfo(control("Memo1")->font()).fixedPitch());
    EXPECT_EQ(control("Memo1")->font().pixelSize(), 17);
    EXPECT_TRUE(control("Memo2")->font().bold());

    QStringList bar;
    for (QAction* a : window.menuBar()->actions()) bar << a->text();
    EXPECT_EQ(bar, (QStringList{"&Datei", "&Trace", "&Replay", "&Hilfe"}));
    auto entries = [this](const char* menu) {
        QStringList l;
        for (QAction* a : window.findChild<QMenu*>(QString::fromLatin1(menu))->actions()) {
            l << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        return l;
    };
    EXPECT_EQ(entries("Datei1"), (QStringList{"&Neu", "Speichern &unter", "-", "&Beenden"}));
    EXPECT_EQ(entries("Trace1"), (QStringList{"&Start", "S&topp", "&Clear", "-", "&Konfiguration"}));
}

TEST_F(WindowLayoutTest, PanelColourFollowsTheSession) {
    window.setPanelColour(trace::PanelColour::Red);
    EXPECT_EQ(control("Panel1")->palette().color(QPalette::Window), QColor(255, 0, 0));
    window.setPanelCaption(" SM88 Drucker Trace ");
    EXPECT_EQ(qobject_cast<QLabel*>(control("Panel1"))->text(), QStringLiteral(" SM88 Drucker Trace "));
    window.setPanelColour(trace::PanelColour::ButtonFace);
    EXPECT_EQ(control("Panel1")->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
}

TEST_F(WindowLayoutTest, KonfigurationShowsTheSettingsDialogUntilOk) {
    SettingsDialog& settings = window.settingsDialog();
    bool seen = false;
    QTimer::singleShot(50, &settings, [&] {
        seen = settings.isVisible();
        settings.okButton().click();
    });
    window.findChild<QAction*>(QStringLiteral("Konfiguration1"))->trigger();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(settings.isVisible());
    EXPECT_EQ(settings.windowTitle(), QStringLiteral("Settings"));
}

}  // namespace
}  // namespace zindra::app
