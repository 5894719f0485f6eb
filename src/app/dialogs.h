// The boxes and file dialogs the window puts in front of the user, behind one
// small interface so that tests can answer them without a person.
#pragma once

#include <QString>

class QWidget;

namespace zindra::app {

struct OpenFileRequest {
    QString title;
    QString filter;         // Qt form: "Trace Daten (*.TRC)"
    QString defaultSuffix;  // without the dot
    QString initialName;
};

struct SaveFileRequest {
    QString title;
    QString filter;         // Qt form: "Tracedatei (*.dat)"
    QString defaultSuffix;  // without the dot
    QString initialName;
};

enum class Answer { Yes, No, Cancel };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal error box titled "Fehler" with one OK button.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // The program's standard display of an error that left a handler.
    virtual void exception(QWidget* parent, const QString& text) = 0;
    // A modal question titled "Bestätigung" with "&Ja", "&Nein" and
    // "Abbrechen"; closing the box otherwise answers Cancel.
    virtual Answer confirm(QWidget* parent, const QString& text) = 0;
    // The chosen existing file, or an empty string when cancelled.
    virtual QString openFile(QWidget* parent, const OpenFileRequest& request) = 0;
    // The chosen file name in an existing folder, after the question whether
    // to replace a file of that name; an empty string when cancelled.
    virtual QString saveFile(QWidget* parent, const SaveFileRequest& request) = 0;
};

// The real boxes, centred on the screen.
class QtDialogs final : public Dialogs {
public:
    void error(QWidget* parent, const QString& text) override;
    void exception(QWidget* parent, const QString& text) override;
    Answer confirm(QWidget* parent, const QString& text) override;
    QString openFile(QWidget* parent, const OpenFileRequest& request) override;
    QString saveFile(QWidget* parent, const SaveFileRequest& request) override;
};

// Moves a window that is about to be shown to the middle of its screen.
void centreOnScreen(QWidget& window);

}  // namespace zindra::app
