// Helpers for the window tests: boxes answered without a person, waiting
// with the event loop running, and a window past its start-up about box.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <functional>
#include <string>

#include "app/about_box.h"
#include "app/application.h"
#include "app/dialogs.h"
#include "app/trace_window.h"

namespace zindra::testing {

// Records every box instead of showing it; questions answer confirmAnswer
// and askAnswer, lists chooseAnswer, file dialogs openAnswer and saveAnswer.
class RecordingDialogs final : public app::Dialogs {
public:
    void error(QWidget*, const QString& text) override { errors.push_back(text); }
    void exception(QWidget*, const QString& text) override { exceptions.push_back(text); }
    app::Answer confirm(QWidget*, const QString& text) override {
        questions.push_back(text);
        return confirmAnswer;
    }
    bool ask(QWidget*, const QString& text) override {
        asked.push_back(text);
        return askAnswer;
    }
    QString chooseItem(QWidget*, const QString& title, const QString&, const QStringList& items) override {
        choices.push_back(title);
        offered = items;
        return chooseAnswer;
    }
    QString openFile(QWidget*, const app::OpenFileRequest& request) override {
        openRequests.push_back(request);
        return openAnswer;
    }
    QString saveFile(QWidget*, const app::SaveFileRequest& request) override {
        saveRequests.push_back(request);
        return saveAnswer;
    }
    QString chooseFolder(QWidget*, const QString& title, const QString& initial) override {
        folderRequests.push_back(title + QLatin1Char('|') + initial);
        return folderAnswer;
    }

    QStringList errors;
    QStringList exceptions;
    QStringList questions;
    QStringList asked;
    QStringList choices;
    QStringList offered;
    std::vector<app::OpenFileRequest> openRequests;
    std::vector<app::SaveFileRequest> saveRequests;
    QStringList folderRequests;  // "title|initial folder"
    app::Answer confirmAnswer = app::Answer::Cancel;
    bool askAnswer = false;
    QString chooseAnswer;
    QString openAnswer;
    QString saveAnswer;
    QString folderAnswer;
};

// Runs the event loop until pred holds or timeoutMs pass; returns pred().
inline bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return pred();
}

inline void processPending() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// Shows the window and lets its start-up run: the about box comes up 100 ms
// later and is closed with OK as soon as it shows; Clear follows.
inline bool showPastAboutBox(app::TraceWindow& w) {
    int closed = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&w.aboutBox(), &QDialog::finished, [&closed] { ++closed; });
    QTimer closer;
    closer.setInterval(5);
    QObject::connect(&closer, &QTimer::timeout, [&w] {
        if (w.aboutBox().isVisible()) w.aboutBox().okButton().click();
    });
    closer.start();
    w.show();
    const bool ok = waitUntil([&closed] { return closed == 1; }, 3000);
    QObject::disconnect(counting);
    return ok;
}

inline std::string bytesOf(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

}  // namespace zindra::testing
