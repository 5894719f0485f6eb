// The boxes and file dialogs the window puts in front of the user, behind one
// small interface so that tests can answer them without a person.
#pragma once

#include <QString>
#include <QStringList>

class QMessageBox;
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
    // A modal question titled "Bestätigung" with "&Ja" and "&Nein"; true
    // for "&Ja", false for "&Nein" or the box closed otherwise.
    virtual bool ask(QWidget* parent, const QString& text) = 0;
    // One of items, chosen from a list; an empty string when cancelled.
    virtual QString chooseItem(QWidget* parent, const QString& title, const QString& label,
                               const QStringList& items) = 0;
    // The chosen existing file, or an empty string when cancelled.
    virtual QString openFile(QWidget* parent, const OpenFileRequest& request) = 0;
    // The chosen file name in an existing folder; an empty string when
    // cancelled.  Whether to replace existing files is the caller's question,
    // since one name may stand for several files.
    virtual QString saveFile(QWidget* parent, const SaveFileRequest& request) = 0;
    // An existing folder, the dialog opening in initial; an empty string
    // when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title, const QString& initial) = 0;
};

// The real boxes, centred on the screen.
class QtDialogs final : public Dialogs {
public:
    void error(QWidget* parent, const QString& text) override;
    void exception(QWidget* parent, const QString& text) override;
    Answer confirm(QWidget* parent, const QString& text) override;
    bool ask(QWidget* parent, const QString& text) override;
    QString chooseItem(QWidget* parent, const QString& title, const QString& label,
                       const QStringList& items) override;
    QString openFile(QWidget* parent, const OpenFileRequest& request) override;
    QString saveFile(QWidget* parent, const SaveFileRequest& request) override;
    QString chooseFolder(QWidget* parent, const QString& title, const QString& initial) override;
};

// Moves a window that is about to be shown to the middle of its screen.
void centreOnScreen(QWidget& window);

// A message box never grows past the screen: a text of more than
// MaxBoxLines lines shows its first lines and how many more there are, a
// line longer than MaxBoxLineLength is cut; the whole text is then under the
// box's "Details" button.
inline constexpr int MaxBoxLines = 24;
inline constexpr int MaxBoxLineLength = 300;
void fitToScreen(QMessageBox& box);

}  // namespace zindra::app
