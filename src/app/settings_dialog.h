// The port settings dialog ("&Konfiguration").
#pragma once

#include <QDialog>

class QPushButton;

namespace zindra::app {

class SettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr);

    void btnOKClick();
    QPushButton& okButton() { return *okButton_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* okButton_;
};

}  // namespace zindra::app
