// Message boxes stay on the screen whatever they are given to say.
#include "app/dialogs.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace zindra::app {
namespace {

TEST(Dialogs, ALongMessageIsCutToTheScreenWithTheWholeTextUnderDetails) {
    QStringList many;
    for (int i = 0; i < 9997; ++i) many << QStringLiteral("/rec/9999.TRC: no index (line %1)").arg(i);
    const QString longLine(20000, QLatin1Char('x'));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QString& text : {many.join(QLatin1Char('\n')), longLine}) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"), text, QMessageBox::Ok);
        fitToScreen(box);
        box.adjustSize();
        EXPECT_LE(box.height(), screen.height());
        EXPECT_LE(box.width(), screen.width());
        EXPECT_EQ(box.detailedText(), text);
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"), many.join(QLatin1Char('\n')),
                    QMessageBox::Ok);
    fitToScreen(box);
    EXPECT_TRUE(
        box.text().endsWith(QStringLiteral(" \u2026 und 9975 weitere Zeilen (unter \u201EDetails\u201C) ")))
        << box.text().right(80).toStdString();

    // A short message stays exactly as it is.
    QMessageBox shortBox(QMessageBox::Critical, QStringLiteral("Fehler"), QStringLiteral("\n kurz \n"),
                         QMessageBox::Ok);
    fitToScreen(shortBox);
    EXPECT_EQ(shortBox.text(), QStringLiteral("\n kurz \n"));
    EXPECT_TRUE(shortBox.detailedText().isEmpty());
}

}  // namespace
}  // namespace zindra::app
