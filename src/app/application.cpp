#include "app/application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QWidget>

#include "app/about_box.h"

namespace zindra::app {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Zindra"));
    setWindowIcon(QIcon(programIcon(32)));
    // The program speaks German, so Qt's dialogs do too, whatever the
    // system's language: from Qt's translations, or from the folder
    // "translations" beside the program (where the Windows zip has them).
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    for (const QString& dir : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                               applicationDirPath() + QStringLiteral("/translations")}) {
        if (qtGerman_.load(german, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
            germanQt_ = installTranslator(&qtGerman_);
            break;
        }
    }
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
