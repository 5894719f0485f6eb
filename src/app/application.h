// The Qt application object: program title, Qt's own texts in German and the
// standard error display.
#pragma once

#include <QApplication>
#include <QTranslator>
#include <exception>
#include <functional>

#include "app/dialogs.h"

namespace zindra::app {

class Application final : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    // Where errors are shown; the real boxes unless replaced (tests).
    Dialogs& dialogs() { return *dialogs_; }
    void setDialogs(Dialogs* dialogs) { dialogs_ = dialogs != nullptr ? dialogs : &qtDialogs_; }

    // An exception that leaves an event handler is shown, and the program
    // goes on.
    bool notify(QObject* receiver, QEvent* event) override;

    // Qt's German texts (file dialogs, standard buttons) are in use.
    bool germanQt() const { return germanQt_; }

    // The system ends the program: SIGTERM or SIGHUP (POSIX: logout,
    // shutdown, a service manager; the signal's number), or the end of the
    // desktop session as Qt's session manager announces it (0; also on
    // Windows).  onEnd runs on the UI thread, after the signal handler has
    // returned.  An empty onEnd gives the signals back to the system.
    void watchSystemEnd(std::function<void(int signal)> onEnd);

private:
    QTranslator qtGerman_;
    bool germanQt_ = false;
    QtDialogs qtDialogs_;
    Dialogs* dialogs_ = &qtDialogs_;
    std::function<void(int)> onSystemEnd_;
    bool systemEndWired_ = false;
};

// Runs a handler; an exception that leaves it is shown in a box with its text
// and goes no further.
void runGuarded(Dialogs& dialogs, QWidget* parent, const std::function<void()>& handler);

// The text shown for the exception being handled (call inside a catch).
QString currentExceptionText();

}  // namespace zindra::app
