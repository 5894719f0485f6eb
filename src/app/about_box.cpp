#include "app/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "app/dialogs.h"

#ifndef ZINDRA_VERSION
#define ZINDRA_VERSION "0"
#endif

namespace zindra::app {

QPixmap programIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 0, 0));
    p.drawRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), size / 6.0, size / 6.0);
    QFont f;
    f.setBold(true);
    f.setPixelSize(size * 3 / 4);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("Z"));
    return pm;
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(298, 257);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 281, 161);

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(programIcon(35));
    icon->setGeometry(8, 8, 35, 35);

    QFont bold = font();
    bold.setBold(true);
    auto addLabel = [panel](const char* name, const QString& text, int left, int top) {
        auto* l = new QLabel(text, panel);
        l->setObjectName(QString::fromLatin1(name));
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    QLabel* product = addLabel("ProductName", QStringLiteral("Zindra"), 88, 16);
    product->setFont(bold);
    product->adjustSize();
    QLabel* version = addLabel("Version", QStringLiteral("Version " ZINDRA_VERSION), 88, 40);
    version->setFont(bold);
    version->adjustSize();
    addLabel("Comments",
             QStringLiteral("Trace der Verbindung zwischen\nBrandmeldezentrale (BMZ) und\n"
                            "Feuerwehr-Anzeigetableau (FAT)"),
             8, 80);

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("OKButton"));
    okButton_->setFont(bold);
    okButton_->setGeometry(111, 178, 75, 25);
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &AboutBox::okButtonClick);

    infoTimer_ = new QTimer(this);
    infoTimer_->setObjectName(QStringLiteral("InfoTimer"));
    infoTimer_->setTimerType(Qt::PreciseTimer);
    infoTimer_->setInterval(InfoTime);
    connect(infoTimer_, &QTimer::timeout, this, &AboutBox::infoTimerTimer);
    infoTimer_->start();
}

void AboutBox::okButtonClick() { accept(); }

void AboutBox::infoTimerTimer() {
    infoTimer_->stop();
    if (isVisible()) accept();
}

void AboutBox::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) centreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace zindra::app
