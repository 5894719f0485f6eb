#include "app/settings_dialog.h"

#include <QPushButton>
#include <QShowEvent>

#include "app/dialogs.h"

namespace zindra::app {

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    // A close button in the title bar and nothing else; closing it that way
    // counts as OK.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(264, 302);

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("btnOK"));
    okButton_->setGeometry(94, 236, 75, 25);
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &SettingsDialog::btnOKClick);
}

void SettingsDialog::btnOKClick() { accept(); }

void SettingsDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) centreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace zindra::app
