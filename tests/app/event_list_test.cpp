// The event list, its filter and colours, alerts, export and the panes'
// search, driven through the window as a technician drives it: a live trace
// on a pseudo-terminal (zindra-cli simulate, or the test as the FAT), replays
// of the samples, real files.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <fstream>
#include <memory>

#include "app/alert_list.h"
#include "app/event_list.h"
#include "app/event_list_model.h"
#include "app/event_times.h"
#include "app/event_tools.h"
#include "app/pane_search.h"
#include "fake_fat.h"
#include "gui_support.h"
#include "serial/comm.h"
#include "support/process.h"
#include "support/run_cli.h"

namespace zindra::app {
namespace {

using testing::readAll;

const std::string Samples = ZINDRA_SAMPLES_DIR;
// The SDN sample's alarm telegram and its line.
const std::string AlarmTelegram =
    "\x02"
    "01:504030023"
    "\x03"
    "Z";
const std::string AlarmLine = "  1234       03    Alarm";

class EventList : public ::testing::Test {
protected:
    // The configuration the window starts with (ZINDRA.INI's text).
    void open(const std::string& ini = {}) {
        const QString config = dir.filePath(QStringLiteral("config/ZINDRA.INI"));
        if (!ini.empty()) {
            QDir().mkpath(dir.filePath(QStringLiteral("config")));
            std::ofstream(QFile::encodeName(config).toStdString()) << ini;
        }
        window = std::make_unique<TraceWindow>(dialogs, config);
        ASSERT_TRUE(testing::showPastAboutBox(*window));
    }
    TraceWindow& w() { return *window; }
    EventTools& tools() { return w().eventTools(); }
    EventListModel& model() { return tools().model(); }
    EventListWindow& list() { return tools().listWindow(); }
    void trigger(const char* action) { w().findChild<QAction*>(QString::fromLatin1(action))->trigger(); }
    std::string path(const char* name) const {
        return QFile::encodeName(dir.filePath(QString::fromLatin1(name))).toStdString();
    }
    void replay(const std::string& sample) {
        dialogs.openAnswer = QString::fromStdString(Samples + "/" + sample);
        trigger("Replay1");
        tools().sync();
    }
    // Types the filter as a user does and waits for its run to end.
    void filter(const QString& text) {
        list().filterBox().setText(text);
        QTest::keyClick(&list().filterBox(), Qt::Key_Return);
        ASSERT_TRUE(testing::waitUntil([&] { return !model().filtering(); }, 5000));
    }
    QString cell(int row, int column, int role = Qt::DisplayRole) {
        return model().data(model().index(row, column), role).toString();
    }
    QVariant value(int row, int column, int role) { return model().data(model().index(row, column), role); }
    // Runs "Alarmregeln…" and hands the box to `answer` once it shows.
    void editRules(const std::function<void(QDialog&)>& answer) {
        bool answered = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (answered || box == nullptr || box->objectName() != QStringLiteral("Alarmregeln")) return;
            answered = true;
            answer(*box);
        });
        poll.start(5);
        w().findChild<QAction*>(QStringLiteral("Alarmregeln1"))->trigger();
        EXPECT_TRUE(answered);
    }

    static void pressOk(QDialog& box) {
        box.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }

    QTemporaryDir dir;
    testing::RecordingDialogs dialogs;
    std::unique_ptr<TraceWindow> window;
};

TEST_F(EventList, FillsDuringALiveTraceFiltersColoursSortsAndFindsMatches) {
    open();
    const std::string sample = Samples + "/sdn.TRC";
    testing::Process sim({ZINDRA_CLI, "simulate", sample}, path("sim.out"), path("sim.err"));
    const std::string pty = sim.firstLine();
    ASSERT_FALSE(pty.empty());
    trigger("Ereignisliste1");
    EXPECT_TRUE(list().isVisible());
    w().comm().setDeviceName(pty);
    w().findChild<QPushButton*>(QStringLiteral("StartTrace"))->click();
    // Ten events, taken in by the list as they come, each with its time.
    ASSERT_TRUE(testing::waitUntil([&] { return model().rowCount() == 10; }, 8000)) << model().rowCount();
    EXPECT_EQ(list().countLabel().text(), QStringLiteral("10 Ereignisse"));
    const QStringList first = {cell(0, 0), cell(0, 2), cell(0, 3), cell(0, 4), cell(0, 7)};
    EXPECT_EQ(first, (QStringList{"1", "SDN", "1234", "3", "Alarm"}));
    EXPECT_EQ(cell(1, EventListModel::StateColumn), QStringLiteral("St\u00F6rung"));
    const QDateTime when = QDateTime::fromString(cell(0, EventListModel::TimeColumn), Qt::ISODateWithMs);
    EXPECT_LT(std::llabs(when.msecsTo(QDateTime::currentDateTime())), 60'000) << cell(0, 1).toStdString();
    EXPECT_EQ(cell(0, 0, Qt::ToolTipRole),
              QString::fromStdString("Ereignis: " + AlarmLine +
                                     "\nTelegramm: 02 30 31 3A 35 30 34 30 33 30 30 32 33 03 5A"));
    w().findChild<QPushButton*>(QStringLiteral("StoppTrace"))->click();
    sim.signal(SIGINT);
    sim.wait();

    // Alarm red, Störung yellow, Abschaltung grey, Ruhe as the view has it.
    for (auto [row, colour] :
         {std::pair{0, QColor(255, 96, 96)}, {1, QColor(255, 224, 64)}, {2, QColor(192, 192, 192)}}) {
        EXPECT_EQ(value(row, 5, Qt::BackgroundRole).value<QColor>(), colour) << row;
    }
    EXPECT_FALSE(value(3, 5, Qt::BackgroundRole).isValid());

    // A filter narrows the list and counts; one that does not parse says why
    // and leaves the list as it was.
    filter(QStringLiteral("Alarm"));
    EXPECT_EQ(model().rowCount(), 4);
    EXPECT_EQ(list().countLabel().text(), QStringLiteral("4 Treffer von 10"));
    EXPECT_TRUE(list().errorLabel().isHidden());
    filter(QStringLiteral("Linie="));
    EXPECT_TRUE(list().errorLabel().isVisible());
    EXPECT_TRUE(list().errorLabel().text().startsWith(QStringLiteral("Filter nicht verstanden: ")));
    EXPECT_EQ(model().rowCount(), 4);
    filter(QStringLiteral("St\u00F6r"));
    EXPECT_TRUE(list().errorLabel().isHidden());
    EXPECT_EQ(model().rowCount(), 2);

    // Every row shown, the matches bold; next and previous go round them.
    list().findChild<QCheckBox*>(QStringLiteral("OnlyMatches"))->setChecked(false);
    EXPECT_EQ(model().rowCount(), 10);
    EXPECT_TRUE(value(1, 0, Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(value(0, 0, Qt::FontRole).isValid());
    auto current = [&] { return list().table().currentIndex().row(); };
    list().nextMatch();
    EXPECT_EQ(current(), 1);
    list().nextMatch();
    EXPECT_EQ(current(), 5);
    list().nextMatch();
    EXPECT_EQ(current(), 1);
    list().previousMatch();
    EXPECT_EQ(current(), 5);

    // Sorted by Linie, largest first; the chosen event stays chosen.
    list().table().sortByColumn(EventListModel::LinieColumn, Qt::DescendingOrder);
    EXPECT_EQ(cell(0, EventListModel::LinieColumn), QStringLiteral("10000"));
    EXPECT_EQ(cell(current(), 0), QStringLiteral("6"));
    EXPECT_EQ(cell(9, EventListModel::LinieColumn), QStringLiteral("7"));
    // A sort off the event loop (as for a long list) shows how far it is.
    model().setAsyncSortFrom(1);
    const QString counted = list().countLabel().text();
    list().table().sortByColumn(EventListModel::StateColumn, Qt::AscendingOrder);
    EXPECT_TRUE(list().countLabel().text().startsWith(counted + QStringLiteral(" \u2013 Sortiert \u2026 ")))
        << list().countLabel().text().toStdString();
    ASSERT_TRUE(testing::waitUntil([&] { return !model().sorting(); }, 5000));
    EXPECT_EQ(list().countLabel().text(), counted);
    EXPECT_EQ(cell(current(), 0), QStringLiteral("6"));

    EXPECT_TRUE(list()
                    .findChild<QLabel*>(QStringLiteral("EventDetail"))
                    ->text()
                    .startsWith(QStringLiteral("Ereignis: ")));
    trigger("Clear1");
    EXPECT_EQ(model().rowCount(), 0);
    EXPECT_TRUE(list().findChild<QLabel*>(QStringLiteral("EventDetail"))->text().isEmpty());
    EXPECT_EQ(list().countLabel().text(), QStringLiteral("0 Treffer von 0"));
}

TEST_F(EventList, AnAlertFiresOncePerMinutePerRuleDuringALiveTraceAndMarksItsRow) {
    open("[Benachrichtigung]\r\nRegel1=Alarm\r\nRegel2=Linie=1234\r\n");
    EXPECT_EQ(tools().alertRules(), (QStringList{"Alarm", "Linie=1234"}));
    testing::FakeFat fat;
    w().comm().setDeviceName(fat.name);
    w().findChild<QPushButton*>(QStringLiteral("StartTrace"))->click();
    fat.send("SDN\r\n");
    ASSERT_TRUE(testing::waitUntil([&] { return w().windowTitle() == QStringLiteral("SDN  Trace"); }, 5000));
    fat.send(AlarmTelegram + AlarmTelegram);
    ASSERT_TRUE(testing::waitUntil([&] { return tools().store().size() == 2; }, 5000));
    tools().sync();
    // Both rules once; the second alarm within the minute is quiet.
    ASSERT_EQ(tools().alertsShown().size(), 2) << tools().alertsShown().join('|').toStdString();
    EXPECT_EQ(tools().alertsShown()[0],
              QString::fromUtf16(u"Alarmregel \u201EAlarm\u201C \u2013 SDN: 1234 03 Alarm"));
    // No tray offscreen: the status bar says it.
    EXPECT_EQ(w().statusBar()->currentMessage(), tools().alertsShown()[1]);
    // Every matching row is marked, also while its rule keeps quiet.
    EXPECT_TRUE(value(0, 0, EventListModel::AlertRole).toBool());
    EXPECT_TRUE(value(1, 0, EventListModel::AlertRole).toBool());

    // A minute later each rule speaks again.
    const auto later = tools().store().at(1).time.value() + 61'000'000;
    w().session().receiveChunk(reinterpret_cast<const std::uint8_t*>(AlarmTelegram.data()),
                               AlarmTelegram.size(), later);
    tools().sync();
    EXPECT_EQ(tools().alertsShown().size(), 4);
    EXPECT_TRUE(value(2, 0, EventListModel::AlertRole).toBool());

    // Each alert waits in its list, with its event's time, until acknowledged;
    // the status bar's button says how many, whatever message comes later.
    ASSERT_EQ(tools().alertList().entries().size(), 4u);
    EXPECT_EQ(tools().alertList().entries()[2].time, tools().store().at(2).time);
    EXPECT_EQ(tools().alertList().entries()[3].rule, QStringLiteral("Linie=1234"));
    w().statusBar()->showMessage(QStringLiteral("eine sp\u00E4tere Meldung"));
    EXPECT_TRUE(tools().alertButton().isVisible());
    EXPECT_EQ(tools().alertButton().text(), QString::fromUtf16(u"\u26A0 4 Alarme unbest\u00E4tigt"));
    tools().alertList().table().selectRow(0);
    tools().alertList().acknowledgeChosen();
    EXPECT_EQ(tools().alertList().waiting(), 3);
    tools().alertList().acknowledgeAll();
    EXPECT_FALSE(tools().alertButton().isVisible());

    // The report of what the window shows names the live trace and its panel.
    ASSERT_TRUE(tools().saveReportTo(dir.filePath(QStringLiteral("bericht.html"))));
    const QByteArray report = [&] {
        QFile f(dir.filePath(QStringLiteral("bericht.html")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_TRUE(report.contains("<tr><th>Protokoll</th><td>SDN</td></tr>"))
        << report.left(2000).toStdString();
    EXPECT_TRUE(report.contains(("<tr><th>Schnittstelle</th><td>" + fat.name + "</td></tr>").c_str()));
    EXPECT_TRUE(report.contains("<tr><th>Ereignisse</th><td>3</td></tr>"));

    // A replay is no live trace: its alarms raise nothing.
    w().findChild<QPushButton*>(QStringLiteral("StoppTrace"))->click();
    replay("sdn.TRC");
    EXPECT_EQ(tools().store().size(), 13u);
    EXPECT_EQ(tools().alertsShown().size(), 4);
    EXPECT_EQ(cell(3, EventListModel::StateColumn), QStringLiteral("Alarm"));
    EXPECT_FALSE(value(3, 0, EventListModel::AlertRole).toBool());

    // Rules edited in the window are checked and kept in ZINDRA.INI.
    const QStringList rules = {QString::fromUtf16(u"Linie=7 text~St\u00F6r"),
                               QStringLiteral("\"Linie aus\"")};
    const std::optional<QString> error =
        tools().setAlertRules(rules + QStringList{QStringLiteral("Melder=")});
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->startsWith(QStringLiteral("Regel 3 (Melder=): "))) << error->toStdString();
    EXPECT_EQ(tools().alertRules().size(), 2);  // unchanged
    ASSERT_FALSE(tools().setAlertRules(rules).has_value());
    tools().saveAlertRules();
    EXPECT_EQ(TraceWindow(dialogs, w().configPath()).eventTools().alertRules(), rules);
}

// Printer protocols name the panel the FAT replied with, in the list, the
// filter and the export; the reply line and lines of nothing but a line end
// are no events, while the event pane stays as it was.
TEST_F(EventList, RecordsNameThePanelTypeAndNeitherTheReplyNorEmptyLinesAreEvents) {
    open();
    struct Case {
        const char* sample;
        const char* panel;
        std::vector<const char*> printed;
    };
    for (const Case& c : {Case{"plaintext.TRC",
                               "IGISPRN",
                               {"12.03.24 10:15 FEUER Linie 007 Melder 03", "\xC4nderung Gruppe 12", "OK",
                                "St\xF6rung Netzteil 2 - Techniker informieren, Wartung erforderlich",
                                "Quittierung durch Betreiber erfolgt"}},
                          Case{"hsb180.TRC", "HSB180", {"ALARM 12", "AB", "", "OK", "1"}}}) {
        trigger("Clear1");
        filter(QString());
        replay(c.sample);
        ASSERT_EQ(model().rowCount(), static_cast<int>(c.printed.size())) << c.sample;
        for (int row = 0; row < model().rowCount(); ++row) {
            EXPECT_EQ(cell(row, EventListModel::ProtocolColumn), QString::fromLatin1(c.panel)) << row;
            if (*c.printed[row] != 0) {
                EXPECT_EQ(tools().store().at(static_cast<std::size_t>(row)).printerText, c.printed[row])
                    << row;
            }
        }
        filter(QStringLiteral("Protokoll=") + QString::fromLatin1(c.panel));
        EXPECT_EQ(list().countLabel().text(), QStringLiteral("%1 Treffer von %1").arg(c.printed.size()));
        ASSERT_TRUE(tools().exportTo(QString::fromStdString(path("e.csv")), false));
        const std::string csv = readAll(path("e.csv"));
        std::size_t named = 0;
        for (std::size_t at = 0; (at = csv.find(std::string(";") + c.panel + ";", at)) != std::string::npos;
             ++at)
            ++named;
        EXPECT_EQ(named, c.printed.size()) << csv;
        EXPECT_EQ(w().eventPane().lineCount(), 0u);
    }
}

// The rules as the user keeps them in ZINDRA.INI (here in UTF-8, as an
// editor saves it): OK without a change leaves the file as it is; a rule that
// does not parse is shown as such and kept; an added rule leaves the others'
// lines as they were, and a changed one takes the key of the one it replaces.
TEST_F(EventList, AlarmRulesTheUserDidNotTouchStayByteForByte) {
    const std::string ini =
        "[Port]\r\nNummer=COM1\r\n"
        "[Benachrichtigung]\r\n"
        "; Nachtschicht\r\n"
        "Regel1=text~St\xC3\xB6r\r\n"
        "Regel2=text~\xE2\x82\xACuro\r\n"
        "Regel3=Lnie=3\r\n"
        "Regel4=Zustand~\"\xCE\xA9 Alarm\"\r\n";
    open(ini);
    const std::string file = path("config/ZINDRA.INI");
    const QStringList all = {QString::fromUtf16(u"text~St\u00F6r"), QString::fromUtf16(u"text~\u20ACuro"),
                             QStringLiteral("Lnie=3"), QString::fromUtf16(u"Zustand~\"\u03A9 Alarm\"")};
    EXPECT_EQ(tools().alertRules(), all);
    QString shown, said;
    editRules([&](QDialog& box) {
        shown = box.findChild<QPlainTextEdit*>()->toPlainText();
        said = box.findChild<QLabel*>(QStringLiteral("RuleError"))->text();
        pressOk(box);
    });
    EXPECT_EQ(shown, all.join(QLatin1Char('\n')));
    EXPECT_TRUE(said.contains(QStringLiteral("Regel 3 (Lnie=3): "))) << said.toStdString();
    EXPECT_EQ(readAll(file), ini);
    EXPECT_EQ(tools().alertRules(), all);

    // A rule added: the file gains its line, in UTF-8 like the rest.
    editRules([&](QDialog& box) {
        box.findChild<QPlainTextEdit*>()->appendPlainText(QString::fromUtf16(u"text~\u00C4nderung"));
        pressOk(box);
    });
    EXPECT_EQ(readAll(file), ini + "Regel5=text~\xC3\x84nderung\r\n");
    // The first rule changed, the second deleted: the changed one keeps its
    // place and key; Regel3 to Regel5 stay as they were.
    editRules([&](QDialog& box) {
        QStringList lines = box.findChild<QPlainTextEdit*>()->toPlainText().split(QLatin1Char('\n'));
        lines[0] = QStringLiteral("Alarm");
        lines.removeAt(1);
        box.findChild<QPlainTextEdit*>()->setPlainText(lines.join(QLatin1Char('\n')));
        pressOk(box);
    });
    EXPECT_EQ(readAll(file),
              "[Port]\r\nNummer=COM1\r\n"
              "[Benachrichtigung]\r\n"
              "; Nachtschicht\r\n"
              "Regel1=Alarm\r\n"
              "Regel3=Lnie=3\r\n"
              "Regel4=Zustand~\"\xCE\xA9 Alarm\"\r\n"
              "Regel5=text~\xC3\x84nderung\r\n");
    // A new rule that does not parse is still refused, and nothing written.
    const std::string before = readAll(file);
    editRules([&](QDialog& box) {
        box.findChild<QPlainTextEdit*>()->appendPlainText(QStringLiteral("Melder="));
        pressOk(box);
        said = box.findChild<QLabel*>(QStringLiteral("RuleError"))->text();
        EXPECT_TRUE(box.isVisible());
        box.reject();
    });
    EXPECT_TRUE(said.startsWith(QStringLiteral("Regel 5 (Melder=): "))) << said.toStdString();
    EXPECT_EQ(readAll(file), before);
}

// At 640 x 480 with the events' times shown, each event stays one row (a cut
// one ends in an ellipsis, its tooltip shows it whole), the list shows whole
// times, and a long error wraps in the rules box instead of widening it.
TEST_F(EventList, WhatIsShownFitsTheRoomItHasAt640By480) {
    open();
    w().findChild<QAction*>(QStringLiteral("Ereigniszeiten1"))->setChecked(true);
    const std::int64_t time = 1'796'854'503'372'000;  // a winter day, .372 seconds
    replay("sdn.TRC");
    auto* pane = qobject_cast<TimedBox*>(w().findChild<QWidget*>(QStringLiteral("Memo3")));
    ASSERT_NE(pane, nullptr);
    w().eventPane().stampLastLine(time);
    w().eventPane().flush();
    testing::processPending();
    ASSERT_TRUE(pane->timesShown());
    int cut = 0;
    for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
        ASSERT_NE(b.layout(), nullptr);
        EXPECT_EQ(b.layout()->lineCount(), 1) << b.text().toStdString();
        const QString tip = pane->cutLineTip(static_cast<std::size_t>(b.blockNumber()));
        if (!tip.isEmpty()) {
            ++cut;
            EXPECT_TRUE(tip.endsWith(b.text())) << tip.toStdString();
        }
    }
    EXPECT_GT(cut, 0);  // "Abschaltung" does not fit beside its time

    tools().onEvent(decoders::EventRecord{}, time);
    tools().showList();
    testing::processPending();
    const int last = model().rowCount() - 1;
    const QString shownTime = cell(last, EventListModel::TimeColumn);
    ASSERT_FALSE(shownTime.isEmpty());
    QFont bold = list().table().font();
    bold.setBold(true);
    EXPECT_GE(list().table().columnWidth(EventListModel::TimeColumn),
              QFontMetrics(bold).horizontalAdvance(shownTime) + 6);
    list().hide();

    int width = 0;
    editRules([&](QDialog& box) {
        box.findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("Lnie=3 ") +
                                                       QString(300, QLatin1Char('x')));
        pressOk(box);
        testing::processPending();
        width = box.width();
        EXPECT_FALSE(box.findChild<QLabel*>(QStringLiteral("RuleError"))->text().isEmpty());
        box.reject();
    });
    EXPECT_LE(width, 640);
}

TEST_F(EventList, ExportsTheFilteredRowsAndLeavesNothingWhereItCannotWrite) {
    open();
    replay("sdn.TRC");
    filter(QStringLiteral("Alarm"));
    dialogs.saveAnswer = QString::fromStdString(path("alarme.csv"));
    trigger("GefiltertExportieren1");
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    const std::string csv = readAll(path("alarme.csv"));
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBFZeit;Protokoll;", 0), 0u) << csv;
    std::size_t lines = 0, alarms = 0;
    for (std::size_t at = 0; (at = csv.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    for (std::size_t at = 0; (at = csv.find(";Alarm;", at)) != std::string::npos; ++at) ++alarms;
    EXPECT_EQ(lines, 5u);
    EXPECT_EQ(alarms, 4u);

    // The whole list, over an existing file once the user agrees.
    dialogs.askAnswer = true;
    trigger("Exportieren1");
    EXPECT_EQ(dialogs.asked.size(), 1);
    const std::string all = readAll(path("alarme.csv"));
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 11);

    // The name's suffix chooses the format.
    dialogs.saveAnswer = QString::fromStdString(path("alarme.jsonl"));
    trigger("GefiltertExportieren1");
    const std::string jsonl = readAll(path("alarme.jsonl"));
    EXPECT_EQ(std::count(jsonl.begin(), jsonl.end(), '\n'), 4);
    EXPECT_EQ(jsonl.front(), '{');
    dialogs.saveAnswer = QString::fromStdString(path("alarme.pcapng"));
    trigger("GefiltertExportieren1");
    EXPECT_EQ(readAll(path("alarme.pcapng")).rfind("\x0A\x0D\x0D\x0A", 0), 0u);  // a section header block
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('|').toStdString();

    // A folder that is a file: the message, and no file.
    std::ofstream(path("plain")) << "x";
    dialogs.saveAnswer = QString::fromStdString(path("plain/alarme.csv"));
    trigger("Exportieren1");
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains(QStringLiteral("Der Export konnte nicht geschrieben werden")));
    EXPECT_FALSE(QFileInfo::exists(dialogs.saveAnswer));
}

TEST_F(EventList, CtrlFFindsInThePaneUsedLastForwardAndBack) {
    open();
    replay("sdn.TRC");
    w().activateWindow();
    w().eventPane().box().setFocus();
    testing::processPending();
    PaneSearch& search = w().paneSearch();
    ASSERT_EQ(search.target(), &w().eventPane().box());
    trigger("Suchen1");
    EXPECT_TRUE(search.box().isVisible());
    EXPECT_EQ(search.box().windowTitle(), QStringLiteral("Suchen: Ereignisse"));
    search.textBox().setText(QStringLiteral("Abschaltung"));
    auto line = [&] { return search.target()->textCursor().blockNumber(); };
    ASSERT_TRUE(search.findNext());
    EXPECT_EQ(line(), 2);
    trigger("Weitersuchen1");  // F3
    EXPECT_EQ(line(), 8);
    trigger("Weitersuchen1");  // round the end
    EXPECT_EQ(line(), 2);
    trigger("Rueckwaertssuchen1");  // Shift+F3
    EXPECT_EQ(line(), 8);
    search.textBox().setText(QStringLiteral("Feuer"));
    EXPECT_FALSE(search.findNext());
    EXPECT_EQ(line(), 8);
    EXPECT_EQ(search.statusLabel().text(),
              QString::fromUtf16(u"\u201EFeuer\u201C kommt im Bereich Ereignisse nicht vor."));
}

}  // namespace
}  // namespace zindra::app
