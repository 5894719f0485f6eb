// The window's dialogs for the benchmarks: the open dialog answers with a
// prepared file (none by default); everything else is quiet.
#pragma once

#include <QString>

#include "app/dialogs.h"

namespace zindra::bench {

class FixedDialogs final : public app::Dialogs {
public:
    void error(QWidget*, const QString&) override {}
    void exception(QWidget*, const QString&) override {}
    app::Answer confirm(QWidget*, const QString&) override { return app::Answer::No; }
    bool ask(QWidget*, const QString&) override { return false; }
    QString chooseItem(QWidget*, const QString&, const QString&, const QStringList&) override { return {}; }
    QString openFile(QWidget*, const app::OpenFileRequest&) override { return file; }
    QString saveFile(QWidget*, const app::SaveFileRequest&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return folder; }
    QString file;
    QString folder;
};

}  // namespace zindra::bench
