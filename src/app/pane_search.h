// Search in the panes: Ctrl+F opens a small search box for the pane that had
// the keyboard last; F3 and Shift+F3 find the next and previous place.
#pragma once

#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <vector>

class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;

namespace zindra::app {

class PaneSearch final : public QObject {
    Q_OBJECT
public:
    // panes: the boxes searched; the first is searched until one has had the
    // keyboard.  The entries go into a menu "Bearbeiten" of the window.
    PaneSearch(QMainWindow& window, std::vector<QPlainTextEdit*> panes);

    // Ctrl+F: the box, its text chosen, for the pane last used.
    void open();
    // F3 / Shift+F3: the next (previous) place of the box's text in that
    // pane, from its cursor, wrapping round at the end (start).  False, and
    // said in the box, when the text is nowhere in the pane.
    bool findNext(bool backwards = false);

    QPlainTextEdit* target() const { return target_; }
    QDialog& box() { return *box_; }
    QLineEdit& textBox() { return *text_; }
    QLabel& statusLabel() { return *status_; }

private:
    std::vector<QPlainTextEdit*> panes_;
    QPointer<QPlainTextEdit> target_;
    QDialog* box_ = nullptr;
    QLineEdit* text_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace zindra::app
