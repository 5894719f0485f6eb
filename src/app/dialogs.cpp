#include "app/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace zindra::app {
namespace {

// Shows a prepared box in the middle of the screen and waits for it.
void runCentred(QMessageBox& box) {
    fitToScreen(box);
    box.adjustSize();
    centreOnScreen(box);
    box.exec();
}

// Filter, suffix and initial name from the request; the chosen file, or an
// empty string when cancelled.
template <class Request>
QString runFileDialog(QFileDialog& dialog, const Request& request) {
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.initialName.isEmpty()) dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

}  // namespace

void fitToScreen(QMessageBox& box) {
    const QString text = box.text();
    const QStringList lines = text.split(QLatin1Char('\n'));
    QStringList shown;
    for (const QString& line : lines.mid(0, MaxBoxLines - 2))
        shown << (line.size() > MaxBoxLineLength ? line.left(MaxBoxLineLength - 1) + QChar(0x2026) : line);
    const auto rest = lines.size() - shown.size();
    if (rest > 0)
        shown << QStringLiteral(" \u2026 und %1 weitere Zeilen (unter \u201EDetails\u201C) ").arg(rest);
    const QString fitted = shown.join(QLatin1Char('\n'));
    if (fitted == text) return;
    box.setText(fitted);
    box.setDetailedText(text);
}

void centreOnScreen(QWidget& window) {
    const QWidget* anchor = window.parentWidget() != nullptr ? window.parentWidget() : &window;
    QScreen* screen = anchor->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect r(QPoint(0, 0), window.size());
    r.moveCenter(screen->availableGeometry().center());
    // Moving before the first show also keeps a dialog from being placed over
    // its parent instead.
    window.move(r.topLeft());
}

void QtDialogs::error(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"), text, QMessageBox::Ok, parent);
    runCentred(box);
}

void QtDialogs::exception(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok, parent);
    runCentred(box);
}

Answer QtDialogs::confirm(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Best\u00E4tigung"), text, QMessageBox::NoButton,
                    parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    runCentred(box);
    if (box.clickedButton() == yes) return Answer::Yes;
    if (box.clickedButton() == no) return Answer::No;
    return Answer::Cancel;
}

bool QtDialogs::ask(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Best\u00E4tigung"), text, QMessageBox::NoButton,
                    parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    runCentred(box);
    return box.clickedButton() == yes;
}

QString QtDialogs::chooseItem(QWidget* parent, const QString& title, const QString& label,
                              const QStringList& items) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.adjustSize();
    centreOnScreen(dialog);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.textValue();
}

QString QtDialogs::openFile(QWidget* parent, const OpenFileRequest& request) {
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return runFileDialog(dialog, request);
}

QString QtDialogs::saveFile(QWidget* parent, const SaveFileRequest& request) {
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Only names in existing folders.  The caller asks about replacing.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return runFileDialog(dialog, request);
}

QString QtDialogs::chooseFolder(QWidget* parent, const QString& title, const QString& initial) {
    QFileDialog dialog(parent, title, initial);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList folders = dialog.selectedFiles();
    return folders.isEmpty() ? QString() : folders.front();
}

}  // namespace zindra::app
