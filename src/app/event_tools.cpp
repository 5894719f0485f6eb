#include "app/event_tools.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "app/alert_list.h"
#include "app/application.h"
#include "app/config.h"
#include "app/cp1252.h"
#include "app/detector_overview.h"
#include "app/dialogs.h"
#include "app/event_list.h"
#include "app/event_list_model.h"
#include "app/menus.h"
#include "app/timeline_view.h"
#include "events/event_row.h"
#include "events/export.h"
#include "trace/session.h"

namespace zindra::app {
namespace {

// New events reach the list at most this often, as one insert.
constexpr int SyncMilliseconds = 100;

// One section of ZINDRA.INI as the event core takes it: keys and values as
// UTF-8.
events::IniEntries iniEntries(const QString& path, std::string_view section) {
    events::IniEntries entries;
    for (const auto& [key, value] : loadSection(path, std::string(section).c_str())) {
        entries.emplace_back(key.toStdString(), value.toUtf8().toStdString());
    }
    return entries;
}

// The rules, one per line, in a box that says which line it does not
// understand and stays open until every line parses or the user cancels.
class AlertRulesDialog final : public QDialog {
public:
    AlertRulesDialog(QWidget* parent, const QStringList& rules, const QStringList& unapplied,
                     std::function<std::optional<QString>(QStringList)> apply)
        : QDialog(parent), apply_(std::move(apply)) {
        setObjectName(QStringLiteral("Alarmregeln"));
        setWindowTitle(QStringLiteral("Alarmregeln"));
        auto* hint = new QLabel(
            QStringLiteral("Eine Regel je Zeile, in der Schreibweise des Filters der Ereignisliste, "
                           "z.\u00A0B. <tt>Alarm</tt> oder <tt>Linie=3 text~St\u00F6r</tt>.<br>"
                           "Ein passendes Ereignis w\u00E4hrend eines Trace meldet sich, "
                           "je Regel h\u00F6chstens einmal in der Minute."),
            this);
        hint->setWordWrap(true);
        text_ = new QPlainTextEdit(rules.join(QLatin1Char('\n')), this);
        error_ = new QLabel(this);
        error_->setObjectName(QStringLiteral("RuleError"));
        error_->setStyleSheet(QStringLiteral("color: #c00000"));
        // A long rule or reason wraps instead of widening the box.
        error_->setWordWrap(true);
        error_->setTextFormat(Qt::PlainText);
        error_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        if (!unapplied.isEmpty()) {
            error_->setText(unapplied.join(QLatin1Char('\n')) +
                            QStringLiteral("\n(gilt nicht, bleibt aber gespeichert)"));
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, [this] {
            QStringList edited;
            for (const QString& line : text_->toPlainText().split(QLatin1Char('\n'))) {
                if (!line.trimmed().isEmpty()) edited << line.trimmed();
            }
            if (const std::optional<QString> error = apply_(edited)) {
                error_->setText(*error);
                return;
            }
            accept();
        });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(hint);
        layout->addWidget(text_, 1);
        layout->addWidget(error_);
        layout->addWidget(buttons);
        resize(520, 300);
    }

private:
    std::function<std::optional<QString>(QStringList)> apply_;
    QPlainTextEdit* text_ = nullptr;
    QLabel* error_ = nullptr;
};

std::optional<events::ExportFormat> formatOf(const QString& path) {
    return events::exportFormatNamed(QFileInfo(path).suffix().toLower().toStdString());
}

}  // namespace

EventTools::EventTools(QMainWindow& window, trace::TraceSession& session, Dialogs& dialogs,
                       QString configPath, std::function<bool()> live)
    : window_(window),
      session_(session),
      dialogs_(dialogs),
      configPath_(std::move(configPath)),
      live_(std::move(live)),
      model_(std::make_unique<EventListModel>(store_)) {
    list_ = new EventListWindow(*model_, &window);
    overview_ = new DetectorOverview(*model_, &window);
    connect(overview_, &DetectorOverview::detectorChosen, this, [this](const QString& filter) {
        list_->filterBox().setText(filter);
        list_->applyFilter();
        showList();
    });
    connect(model_.get(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (overview_->isVisible()) overview_->refresh();
    });
    connect(model_.get(), &QAbstractItemModel::modelReset, this, [this] {
        if (overview_->isVisible()) overview_->refresh();
    });
    alertList_ = new AlertList(&window);
    // The alerts that wait stay in the status bar until acknowledged: a
    // message shown later never hides them.
    alertButton_ = new QPushButton(&window);
    alertButton_->setObjectName(QStringLiteral("AlertsWaiting"));
    alertButton_->setFlat(true);
    alertButton_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    alertButton_->setToolTip(QStringLiteral("Ausgel\u00F6ste Alarmregeln zeigen und best\u00E4tigen"));
    alertButton_->hide();
    window.statusBar()->addPermanentWidget(alertButton_);
    connect(alertButton_, &QPushButton::clicked, this, &EventTools::showAlerts);
    connect(alertList_, &AlertList::waitingChanged, this, [this](int waiting) {
        alertButton_->setText(waiting == 1
                                  ? QStringLiteral("\u26A0 1 Alarm unbest\u00E4tigt")
                                  : QStringLiteral("\u26A0 %1 Alarme unbest\u00E4tigt").arg(waiting));
        alertButton_->setVisible(waiting > 0);
    });
    syncTimer_ = new QTimer(this);
    syncTimer_->setSingleShot(true);
    syncTimer_->setInterval(SyncMilliseconds);
    connect(syncTimer_, &QTimer::timeout, this, &EventTools::sync);

    QMenu& menu = addToolMenu(window, QStringLiteral("&Ereignisse"), "Ereignisse1");
    auto entry = [&](const char* name, const QString& text, auto handler) {
        auto* action = new QAction(text, &menu);
        action->setObjectName(QString::fromLatin1(name));
        menu.addAction(action);
        connect(action, &QAction::triggered, this,
                [this, handler] { runGuarded(dialogs_, &window_, handler); });
        return action;
    };
    entry("Ereignisliste1", QStringLiteral("Ereignis&liste"), [this] {
        showList();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    entry("Melderuebersicht1", QStringLiteral("&Melder\u00FCbersicht"), [this] {
        showOverview();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    entry("Alarme1", QStringLiteral("Ausgel\u00F6ste Alarm&regeln\u2026"), [this] { showAlerts(); });
    menu.addSeparator();
    entry("Exportieren1", QStringLiteral("&Exportieren\u2026"), [this] { exportEvents(false); });
    QAction* filtered = entry("GefiltertExportieren1", QStringLiteral("&Gefilterte exportieren\u2026"),
                              [this] { exportEvents(true); });
    connect(model_.get(), &EventListModel::statusChanged, filtered,
            [this, filtered] { filtered->setEnabled(model_->filterActive()); });
    filtered->setEnabled(false);
    entry("BerichtSpeichern1", QStringLiteral("&Bericht speichern\u2026"), [this] { saveReport(); });
    menu.addSeparator();
    entry("Alarmregeln1", QStringLiteral("&Alarmregeln\u2026"), [this] { editAlertRules(); });

    // The status bar is there from the start: alerts without a tray, and
    // what ZINDRA.INI holds that the program does not understand, are said in it.
    window_.statusBar();
    loadConfiguration();
    session_.eventListeners().add(*this);
}

EventTools::~EventTools() {
    session_.eventListeners().remove(*this);
    delete list_;  // before the model it shows
}

void EventTools::loadConfiguration() {
    // What the file holds but the program does not understand is said in
    // the status bar; the rest applies.
    QStringList problems;
    events::KindTableParse kinds = events::parseKindTable(iniEntries(configPath_, events::KindSection));
    model_->setKinds(std::move(kinds.table));
    section_ = loadSection(configPath_, std::string(events::AlertSection).c_str());
    events::IniEntries entries;
    for (const auto& [key, value] : section_)
        entries.emplace_back(key.toStdString(), value.toUtf8().toStdString());
    events::AlertRulesParse rules = events::parseAlertRules(entries);
    for (const std::string& text : kinds.warnings) problems << QString::fromStdString(text);
    for (const std::string& text : rules.errors) problems << QString::fromStdString(text);
    readStoredRules();
    alerts_.setRules(std::move(rules.rules));
    if (!problems.isEmpty()) {
        window_.statusBar()->showMessage(QStringLiteral("ZINDRA.INI: ") +
                                         problems.join(QStringLiteral("; ")));
    }
}

void EventTools::readStoredRules() {
    // The first of two equal numbers counts, as for the INI reader; a rule
    // without text is none.
    std::map<unsigned long, std::size_t> numbered;
    for (std::size_t i = 0; i < section_.size(); ++i) {
        const unsigned long n = events::alertRuleNumber(section_[i].first.trimmed().toStdString());
        if (n != 0) numbered.emplace(n, i);
    }
    stored_.clear();
    rules_.clear();
    for (const auto& [n, i] : numbered) {
        const QString text = section_[i].second.trimmed();
        if (text.isEmpty()) continue;
        stored_.push_back({i, text, events::makeAlertRule(text.toUtf8().toStdString()).has_value()});
        rules_ << text;
    }
}

QStringList EventTools::unappliedRules() const {
    QStringList notes;
    for (qsizetype i = 0; i < rules_.size(); ++i) {
        std::string error;
        if (events::makeAlertRule(rules_[i].toUtf8().toStdString(), &error)) continue;
        notes << QStringLiteral("Regel %1 (%2): %3").arg(i + 1).arg(rules_[i], QString::fromStdString(error));
    }
    return notes;
}

void EventTools::onEvent(const decoders::EventRecord& record, trace::ChunkTime time) {
    store_.add(record, time);
    if (!syncTimer_->isActive()) syncTimer_->start();
    if (alerts_.rules().empty() || !live_()) return;
    const events::AlertMatcher::Hits hits =
        alerts_.check(events::viewOf(record, time), QDateTime::currentMSecsSinceEpoch() * 1000);
    if (!hits.any()) return;
    model_->markAlert(store_.size() - 1);
    for (std::size_t rule : hits.notify) alert(rule, record, time);
}

void EventTools::alert(std::size_t rule, const decoders::EventRecord& record, trace::ChunkTime time) {
    const QString title =
        QStringLiteral("Alarmregel \u201E%1\u201C").arg(QString::fromStdString(alerts_.rules()[rule].text));
    const std::string& what = record.line.empty() ? record.printerText : record.line;
    const QString body = QStringLiteral("%1: %2").arg(
        QString::fromUtf8(decoders::panelName(record.panel, record.protocol)), fromCp1252(what).simplified());
    alertsShown_ << title + QStringLiteral(" \u2013 ") + body;
    alertList_->add({time, QString::fromStdString(alerts_.rules()[rule].text), body, false});
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (tray_ == nullptr) {
            tray_ =
                new QSystemTrayIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning), this);
            tray_->setToolTip(QStringLiteral("Zindra"));
            connect(tray_, &QSystemTrayIcon::messageClicked, this, &EventTools::showList);
            tray_->show();
        }
        tray_->showMessage(title, body, QSystemTrayIcon::Warning, 15000);
    } else {
        // Without a tray the window's status bar carries it.
        window_.statusBar()->showMessage(alertsShown_.back());
    }
}

void EventTools::sync() {
    syncTimer_->stop();
    model_->sync();
}

void EventTools::clear() {
    syncTimer_->stop();
    store_.clear();
    model_->reset();
    list_->timeline().setGaps({});
}

void EventTools::setGaps(std::vector<events::TimeSpan> gaps) { list_->timeline().setGaps(std::move(gaps)); }

void EventTools::addGap(std::int64_t from, const std::string& panel, const std::string& text) {
    decoders::EventRecord gap;
    gap.panel = panel;
    gap.stateText = "Unterbrechung";
    gap.printerText = events::cp1252FromText(text).value_or(text);
    store_.add(gap, from);
    if (!syncTimer_->isActive()) syncTimer_->start();
}

void EventTools::showOverview() {
    sync();
    overview_->refresh();
    overview_->show();
    overview_->raise();
    overview_->activateWindow();
}

void EventTools::showAlerts() {
    alertList_->show();
    alertList_->raise();
    alertList_->activateWindow();
}

bool EventTools::saveReport() {
    const SaveFileRequest request{QStringLiteral("Bericht speichern"), QStringLiteral("Bericht (*.html)"),
                                  QStringLiteral("html"), QStringLiteral("Bericht.html")};
    const QString name = dialogs_.saveFile(&window_, request);
    if (name.isEmpty()) return false;
    return saveReportTo(name);
}

bool EventTools::saveReportTo(const QString& path) {
    sync();
    events::ReportSource source = describe_ ? describe_() : events::ReportSource{};
    source.madeAt = QDateTime::currentMSecsSinceEpoch() * 1000;
    const std::string html = events::reportHtml(source, store_, model_->kinds());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(html.data(), static_cast<qint64>(html.size())) != static_cast<qint64>(html.size()) ||
        !file.commit()) {
        dialogs_.error(&window_,
                       QStringLiteral("\n Der Bericht konnte nicht gespeichert werden: \n %1 \n %2 \n")
                           .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}

void EventTools::showList() {
    sync();
    list_->show();
    list_->raise();
    list_->activateWindow();
}

std::optional<QString> EventTools::setAlertRules(const QStringList& rules) {
    std::vector<events::AlertRule> parsed;
    for (qsizetype i = 0; i < rules.size(); ++i) {
        std::string error;
        std::optional<events::AlertRule> rule =
            events::makeAlertRule(rules[i].toUtf8().toStdString(), &error);
        if (rule) {
            parsed.push_back(std::move(*rule));
            continue;
        }
        // A rule the configuration holds as it is stays, unapplied.
        const bool kept = std::any_of(stored_.begin(), stored_.end(), [&](const StoredRule& s) {
            return !s.applies && s.text == rules[i].trimmed();
        });
        if (!kept)
            return QStringLiteral("Regel %1 (%2): %3")
                .arg(i + 1)
                .arg(rules[i], QString::fromStdString(error));
    }
    rules_ = rules;
    alerts_.setRules(std::move(parsed));
    return std::nullopt;
}

void EventTools::editAlertRules() {
    const QStringList before = rules_;
    AlertRulesDialog box(list_->isActiveWindow() ? static_cast<QWidget*>(list_) : &window_, rules_,
                         unappliedRules(), [this](const QStringList& rules) { return setAlertRules(rules); });
    if (box.exec() == QDialog::Accepted && rules_ != before) saveAlertRules();
}

void EventTools::saveAlertRules() {
    // Each rule takes the first stored rule of its text that is left; the
    // others are new.
    std::vector<bool> stays(stored_.size(), false);
    QStringList added;
    for (const QString& text : rules_) {
        const QString rule = text.trimmed();
        std::size_t j = 0;
        while (j < stored_.size() && (stays[j] || stored_[j].text != rule)) ++j;
        if (j < stored_.size()) {
            stays[j] = true;
        } else {
            added << rule;
        }
    }
    const auto value = [](const QString& rule) {
        return QString::fromStdString(events::alertRuleValue(rule.toUtf8().toStdString()));
    };
    // The section in its order: a rule that went gives its place and key to
    // the next new one; keys that are no rules stay.
    std::map<std::size_t, bool> ruleEntries;  // section_ index -> stays
    for (std::size_t j = 0; j < stored_.size(); ++j) ruleEntries[stored_[j].entry] = stays[j];
    unsigned long highest = 0;
    for (const auto& [key, text] : section_) {
        highest = std::max(highest, events::alertRuleNumber(key.trimmed().toStdString()));
    }
    IniPairs pairs;
    qsizetype next = 0;
    for (std::size_t i = 0; i < section_.size(); ++i) {
        const auto rule = ruleEntries.find(i);
        if (rule == ruleEntries.end() || rule->second) {
            pairs.push_back(section_[i]);
        } else if (next < added.size()) {
            pairs.emplace_back(section_[i].first, value(added[next++]));
        }
    }
    for (; next < added.size(); ++next) {
        pairs.emplace_back(QStringLiteral("Regel%1").arg(++highest), value(added[next]));
    }
    section_ = pairs;
    readStoredRules();
    if (!saveSection(configPath_, std::string(events::AlertSection).c_str(), pairs)) {
        dialogs_.error(
            &window_,
            QStringLiteral("\n Die Alarmregeln gelten, konnten aber nicht gespeichert werden: \n %1 \n")
                .arg(QDir::toNativeSeparators(configPath_)));
    }
}

bool EventTools::exportEvents(bool onlyMatches) {
    sync();
    const SaveFileRequest request{onlyMatches ? QStringLiteral("Gefilterte Ereignisse exportieren")
                                              : QStringLiteral("Ereignisse exportieren"),
                                  QStringLiteral("CSV f\u00FCr Tabellen (*.csv);;JSON Lines (*.jsonl);;"
                                                 "Wireshark pcapng (*.pcapng)"),
                                  QStringLiteral("csv"), QStringLiteral("Ereignisse.csv")};
    const QString name = dialogs_.saveFile(&window_, request);
    if (name.isEmpty()) return false;
    if (QFileInfo::exists(name) &&
        !dialogs_.ask(&window_,
                      QStringLiteral("\n Die Datei gibt es schon: \n\n   %1 \n\n Soll sie ersetzt werden? \n")
                          .arg(QDir::toNativeSeparators(name)))) {
        return false;
    }
    return exportTo(name, onlyMatches);
}

bool EventTools::exportTo(const QString& path, bool onlyMatches) {
    const std::optional<events::ExportFormat> format = formatOf(path);
    if (!format) {
        dialogs_.error(&window_, QStringLiteral("\n Exportiert wird als .csv, .jsonl oder .pcapng; \n"
                                                " die Endung des Namens w\u00E4hlt das Format: \n %1 \n")
                                     .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    // The matches as they are now: the list may take new events while the
    // progress box lets the event loop run.
    const std::optional<std::vector<std::uint32_t>> rows =
        onlyMatches && model_->filterActive() ? std::optional(model_->matchingEvents()) : std::nullopt;
    // A long export shows how far it is and may be cancelled; a cancelled
    // or failed one leaves no file.
    QProgressDialog progress(QStringLiteral("Ereignisse werden exportiert\u2026"),
                             QStringLiteral("Abbrechen"), 0, 1000, &window_);
    progress.setWindowTitle(QStringLiteral("Exportieren"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const events::ExportResult result =
        events::exportToFile(QFile::encodeName(path).toStdString(), *format, store_, rows ? &*rows : nullptr,
                             {}, [&progress](std::size_t done, std::size_t total) {
                                 progress.setValue(total == 0 ? 1000 : static_cast<int>(done * 1000 / total));
                                 return !progress.wasCanceled();
                             });
    progress.reset();
    if (result.cancelled) {
        window_.statusBar()->showMessage(QStringLiteral("Export abgebrochen, nichts geschrieben."));
        return false;
    }
    if (result.error) {
        dialogs_.error(
            &window_,
            QStringLiteral("\n Der Export konnte nicht geschrieben werden: \n %1 \n\n %2 \n")
                .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(result.error.message())));
        return false;
    }
    window_.statusBar()->showMessage(
        QStringLiteral("%1 Ereignisse exportiert nach %2")
            .arg(QLocale(QLocale::German).toString(static_cast<qulonglong>(result.events)),
                 QDir::toNativeSeparators(path)));
    return true;
}

}  // namespace zindra::app
