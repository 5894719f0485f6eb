#include "app/application.h"

#include <QWidget>

#include "app/about_box.h"

namespace zindra::app {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Zindra"));
    setWindowIcon(QIcon(programIcon(32)));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        dialogs_->exception(activeWindow(), currentExceptionText());
    }
    return false;
}

QString currentExceptionText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unbekannter Fehler");
    }
}

void runGuarded(Dialogs& dialogs, QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        dialogs.exception(parent, currentExceptionText());
    }
}

}  // namespace zindra::app
