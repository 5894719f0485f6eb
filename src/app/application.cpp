#include "app/application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>
#include <utility>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#endif

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

#ifndef _WIN32
namespace {

// The write end a signal handler reports on: a handler may do no more than
// write a byte (the self-pipe way Qt documents for Unix signals).
int signalWriteFd = -1;

void onSignal(int sig) {
    const unsigned char b = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(signalWriteFd, &b, 1);
}

}  // namespace
#endif

void Application::watchSystemEnd(std::function<void(int)> onEnd) {
    onSystemEnd_ = std::move(onEnd);
    if (!systemEndWired_) {
        systemEndWired_ = true;
#ifndef QT_NO_SESSIONMANAGER
        connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
            if (onSystemEnd_) onSystemEnd_(0);
        });
#endif
#ifndef _WIN32
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
            signalWriteFd = fds[0];
            auto* notifier = new QSocketNotifier(fds[1], QSocketNotifier::Read, this);
            connect(notifier, &QSocketNotifier::activated, this, [this, fd = fds[1]] {
                unsigned char b = 0;
                if (::read(fd, &b, 1) == 1 && onSystemEnd_) onSystemEnd_(b);
            });
        }
#endif
    }
#ifndef _WIN32
    if (signalWriteFd < 0) return;
    struct sigaction sa {};
    sa.sa_handler = onSystemEnd_ ? onSignal : SIG_DFL;
    sa.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
#endif
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
