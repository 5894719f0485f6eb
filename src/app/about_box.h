// The "Info" box: product name, version, a few lines about the program.
#pragma once

#include <QDialog>

class QPushButton;
class QTimer;

namespace zindra::app {

class AboutBox final : public QDialog {
    Q_OBJECT
public:
    // InfoTimer starts here: the first showing closes by itself this long
    // after the box was created (program start); later showings stay until OK.
    static constexpr int InfoTime = 3000;  // ms

    explicit AboutBox(QWidget* parent = nullptr);

    void okButtonClick();
    void infoTimerTimer();

    QPushButton& okButton() { return *okButton_; }
    QTimer& infoTimer() { return *infoTimer_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* okButton_;
    QTimer* infoTimer_;
};

// The program's icon, drawn at the given size.
QPixmap programIcon(int size);

}  // namespace zindra::app
