// ZINDRA.INI, the settings dialog and how its choice reaches the port.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pty.h>
#include <unistd.h>
#endif

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/config.h"
#include "app/serial_devices.h"
#include "app/settings_dialog.h"
#include "gui_support.h"
#include "serial/comm.h"
#include "support/run_cli.h"

namespace zindra::app {
namespace {

using Strings = std::vector<std::string>;

class ConfigTest : public ::testing::Test {
protected:
    QString iniPath() const { return dir.filePath(QStringLiteral("Zindra/ZINDRA.INI")); }
    void writeIni(const std::string& text) {
        QDir().mkpath(dir.filePath(QStringLiteral("Zindra")));
        std::ofstream(QFile::encodeName(iniPath()).toStdString(), std::ios::binary) << text;
    }
    QString readIni(const QString& key) const {
        return QSettings(iniPath(), QSettings::IniFormat).value(key).toString();
    }

    TraceWindow& open(const QString& path = {}) {
        window = std::make_unique<TraceWindow>(dialogs, path.isEmpty() ? iniPath() : path);
        window->settingsDialog().setDeviceScanner([this] { return devices; });
        EXPECT_TRUE(testing::showPastAboutBox(*window));
        return *window;
    }

    // Runs "&Konfiguration"; `answer` gets the dialog once it shows and closes it.
    void konfiguration(const std::function<void(SettingsDialog&)>& answer) {
        bool answered = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (answered || !window->settingsDialog().isVisible()) return;
            answered = true;
            answer(window->settingsDialog());
        });
        poll.start(5);
        window->findChild<QAction*>(QStringLiteral("Konfiguration1"))->trigger();
        EXPECT_TRUE(answered);
    }
    // Konfiguration answered with OK after choosing the port entry `position`.
    QString choosePort(int position = -1) {
        QString preselected;
        konfiguration([&](SettingsDialog& d) {
            preselected = d.cboPort().currentText();
            if (position >= 0) d.cboPort().setCurrentIndex(position);
            d.okButton().click();
        });
        return preselected;
    }

    QTemporaryDir dir;
    testing::RecordingDialogs dialogs;
    Strings devices;
    std::unique_ptr<TraceWindow> window;
};

TEST_F(ConfigTest, WithoutAFileTheWindowIs640By480OnCom2AndClosingWritesThat) {
    TraceWindow& w = open();
    EXPECT_EQ(w.frameGeometry().size(), QSize(640, 480));
    EXPECT_EQ(w.comm().deviceName(), "Com2");
    EXPECT_EQ(w.comm().baudrate(), serial::Baudrate::br9600);
    EXPECT_FALSE(QFile::exists(iniPath()));  // read only, never written at start

    w.setOuterSize(700, 520);
    testing::processPending();
    EXPECT_TRUE(w.close());
    EXPECT_EQ(readIni(QStringLiteral("DeskTop/Height")), QStringLiteral("520"));
    EXPECT_EQ(readIni(QStringLiteral("DeskTop/Width")), QStringLiteral("700"));
    EXPECT_EQ(readIni(QStringLiteral("Port/Nummer")), QStringLiteral("Com2"));

    // Unless told otherwise, the file lives in the user's configuration
    // folder, which XDG_CONFIG_HOME moves (the tests' main points it away);
    // on Windows in %LOCALAPPDATA%\Zindra.
#ifdef _WIN32
    EXPECT_TRUE(configFilePath().endsWith(QStringLiteral("/AppData/Local/Zindra/ZINDRA.INI")))
        << configFilePath().toStdString();
#else
    EXPECT_EQ(configFilePath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Zindra/ZINDRA.INI"));
#endif

    // The next run starts where this one ended.
    TraceWindow& again = open();
    EXPECT_EQ(again.frameGeometry().size(), QSize(700, 520));
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.exceptions.isEmpty());
}

TEST_F(ConfigTest, SizesNoWindowCanUseFallBackToTheirDefaults) {
    const QSize screen(1920, 1080);
    struct Case {
        const char* ini;
        int height, width;
        const char* device;
    } cases[] = {
        {"[DeskTop]\nHeight=600\nWidth=800\n[Port]\nNummer=COM3\n", 600, 800, "COM3"},
        {"[DeskTop]\nHeight=abc\nWidth=12x\n", 480, 640, "Com2"},
        {"[DeskTop]\nHeight=0\nWidth=-640\n", 480, 640, "Com2"},
        {"[DeskTop]\nHeight=1081\nWidth=1920\n", 480, 1920, "Com2"},
        {"[DeskTop]\nHeight=\"1,2\"\nWidth=99999999999\n", 480, 640, "Com2"},
        {"[Port]\nNummer=/dev/ttyUSB0\n[Other]\nHeight=300\n", 480, 640, "/dev/ttyUSB0"},
        {"not an ini file at all\n\x01\x02", 480, 640, "Com2"},
    };
    for (const Case& c : cases) {
        writeIni(c.ini);
        const Config config = loadConfig(iniPath(), screen);
        EXPECT_EQ(config.height, c.height) << c.ini;
        EXPECT_EQ(config.width, c.width) << c.ini;
        EXPECT_EQ(config.deviceName, c.device) << c.ini;
    }

    // A window would have opened 0 pixels high.
    writeIni("[DeskTop]\nHeight=0\nWidth=500\n");
    EXPECT_EQ(open().frameGeometry().size(), QSize(500, 480));
}

TEST_F(ConfigTest, TheDialogShowsSixListsOfWhichOnlyThePortCanBeChosen) {
    open();
    SettingsDialog& d = window->settingsDialog();
    const auto entries = [](QComboBox& list) {
        QStringList s;
        for (int i = 0; i < list.count(); ++i) s << list.itemText(i);
        return s.join(QLatin1Char('|'));
    };
    konfiguration([&](SettingsDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Settings"));
        EXPECT_EQ(dialog.frameGeometry().size(), QSize(264, 302));
        EXPECT_TRUE(dialog.okButton().isDefault());
        dialog.okButton().click();
    });
    EXPECT_EQ(entries(d.cboPort()), QStringLiteral("(none)|COM1|COM2|COM3|COM4|COM5|COM6|COM7|COM8|COM9"));
    EXPECT_EQ(entries(d.cboBaud()),
              QStringLiteral("110|300|600|1200|2400|4800|9600|14400|19200|38400|56000|128000|256000"));
    EXPECT_EQ(entries(d.cboData()), QStringLiteral("4|5|6|7|8"));
    EXPECT_EQ(entries(d.cboParity()), QStringLiteral("None|Odd|Even|Mark|Space"));
    EXPECT_EQ(entries(d.cboStop()), QStringLiteral("1|1.5|2"));
    EXPECT_EQ(entries(d.cboFlow()), QStringLiteral("None|RTS/CTS|XON/XOFF"));
    // Preselected from the port as the window sets it up.
    EXPECT_EQ(d.cboBaud().currentText(), QStringLiteral("9600"));
    EXPECT_EQ(d.cboData().currentText(), QStringLiteral("8"));
    EXPECT_EQ(d.cboParity().currentText(), QStringLiteral("None"));
    EXPECT_EQ(d.cboStop().currentText(), QStringLiteral("1"));
    EXPECT_EQ(d.cboFlow().currentText(), QStringLiteral("None"));

    QStringList labels;
    for (QComboBox* list : d.findChildren<QComboBox*>()) {
        EXPECT_EQ(list->isEnabled(), list == &d.cboPort()) << list->objectName().toStdString();
        EXPECT_EQ(list->isEditable(), list == &d.cboPort()) << list->objectName().toStdString();
    }
    for (const QLabel* label : d.findChildren<QLabel*>()) labels << label->text();
    EXPECT_EQ(labels.join(QLatin1Char('|')),
              QStringLiteral("Comm Port:|Baud Rate:|Data bits:|Parity:|Stop bits:|Flow control:"));
}

TEST_F(ConfigTest, ThePortListFollowsTheComRuleAndOkSetsTheChosenName) {
    open();
    // The default "Com2" is COM2, whatever the case: OK keeps a port that opens.
    EXPECT_EQ(choosePort(), QStringLiteral("COM2"));
    EXPECT_EQ(window->comm().deviceName(), "COM2");

    for (const auto& [name, shown] : std::vector<std::pair<std::string, const char*>>{{"COM", "(none)"},
                                                                                      {"COMX", "(none)"},
                                                                                      {"COM0", "(none)"},
                                                                                      {"xCOM7", "(none)"},
                                                                                      {"COM19", "COM1"},
                                                                                      {"com7", "COM7"},
                                                                                      {"xcom5", "(none)"},
                                                                                      {"", "(none)"}}) {
        window->comm().setDeviceName(name);
        EXPECT_EQ(choosePort(), QString::fromLatin1(shown)) << name;
    }

    // The user's choice reaches the file at the next close.
    window->comm().setDeviceName("COM7");
    EXPECT_EQ(choosePort(1), QStringLiteral("COM7"));
    EXPECT_EQ(window->comm().deviceName(), "COM1");
    window->close();
    EXPECT_EQ(readIni(QStringLiteral("Port/Nummer")), QStringLiteral("COM1"));

    // Closing the dialog by its title bar counts as OK.
    window->comm().setDeviceName("COM4");
    konfiguration([](SettingsDialog& d) {
        d.cboPort().setCurrentIndex(9);
        d.close();
    });
    EXPECT_EQ(window->comm().deviceName(), "COM9");
}

TEST_F(ConfigTest, DevicePathsFollowCom9AndAConfiguredPathStaysChoosable) {
    devices = {"/dev/ttyACM0", "/dev/ttyUSB0"};
    writeIni("[Port]\nNummer=/dev/ttyUSB0\n");
    open();
    SettingsDialog& d = window->settingsDialog();
    EXPECT_EQ(choosePort(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(d.cboPort().itemText(9), QStringLiteral("COM9"));
    EXPECT_EQ(d.cboPort().itemText(10), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(window->comm().deviceName(), "/dev/ttyUSB0");

    EXPECT_EQ(choosePort(10), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(window->comm().deviceName(), "/dev/ttyACM0");

    // An adapter plugged in later is added; a path that is not there is
    // kept rather than turned into "none" by OK, and marked as not there.
    devices.push_back("/dev/ttyUSB1");
    window->comm().setDeviceName("/dev/zindra-gone/pts7");
    EXPECT_EQ(choosePort(), QStringLiteral("/dev/zindra-gone/pts7 (nicht vorhanden)"));
    EXPECT_EQ(window->comm().deviceName(), "/dev/zindra-gone/pts7");
    EXPECT_EQ(d.cboPort().count(), 14);
    EXPECT_EQ(d.cboPort().itemText(12), QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(choosePort(3), QStringLiteral("/dev/zindra-gone/pts7 (nicht vorhanden)"));
    EXPECT_EQ(window->comm().deviceName(), "COM3");
}

TEST_F(ConfigTest, APortCanBeTypedAndListedDevicesThatAreGoneAreMarked) {
    devices = {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5X2B-if00-port0"};
    open();
    SettingsDialog& d = window->settingsDialog();
    // A path typed into the port list, as a technician copies it from a
    // listing; the by-id name is listed beside the adapter's tty name.
    const QString typed = QStringLiteral("/dev/serial/by-id/usb-Prolific_PL2303-if00-port0");
    konfiguration([&](SettingsDialog& dialog) {
        EXPECT_EQ(dialog.cboPort().itemText(10), QStringLiteral("/dev/ttyUSB0"));
        EXPECT_EQ(dialog.cboPort().itemText(11), QString::fromStdString(devices[1]));
        dialog.cboPort().setFocus();
        dialog.cboPort().lineEdit()->selectAll();
        QTest::keyClicks(dialog.cboPort().lineEdit(), typed);
        dialog.okButton().click();
    });
    EXPECT_EQ(window->comm().deviceName(), typed.toStdString());
    EXPECT_EQ(d.cboPort().count(), 12);  // typing adds no entry by itself

    // Next time the typed device is listed, marked as not there, and OK keeps it.
    EXPECT_EQ(choosePort(), typed + QStringLiteral(" (nicht vorhanden)"));
    EXPECT_EQ(window->comm().deviceName(), typed.toStdString());
    // The adapter unplugged: both of its names are marked; plugged in again, not.
    devices.clear();
    EXPECT_EQ(choosePort(11), typed + QStringLiteral(" (nicht vorhanden)"));
    EXPECT_EQ(d.cboPort().itemText(10), QStringLiteral("/dev/ttyUSB0 (nicht vorhanden)"));
    EXPECT_EQ(window->comm().deviceName(), "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5X2B-if00-port0");
    devices = {"/dev/ttyUSB0"};
    EXPECT_EQ(
        choosePort(),
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5X2B-if00-port0 (nicht vorhanden)"));
    EXPECT_EQ(d.cboPort().itemText(10), QStringLiteral("/dev/ttyUSB0"));
    // "COM5" typed is the list's COM5; an empty port list means "none".
    using Typed = std::pair<const char*, const char*>;
    for (const auto& [text, device] : std::vector<Typed>{{"COM5", "COM5"}, {"", "none"}}) {
        konfiguration([&](SettingsDialog& dialog) {
            dialog.cboPort().setEditText(QString::fromLatin1(text));
            dialog.okButton().click();
        });
        EXPECT_EQ(window->comm().deviceName(), device) << text;
    }
}

#ifndef _WIN32  // links to a pseudo-terminal
// A link to a device that is there (and a pseudo-terminal, which the device
// search does not list) is not marked; a link whose device is gone is.  COM
// names above COM9 are found in any case.
TEST_F(ConfigTest, OnlyPathsThatDoNotExistAreMarkedAndComNamesMatchInAnyCase) {
    int master = -1, slave = -1;
    char pty[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, pty, nullptr, nullptr), 0);
    const std::string link = (std::filesystem::path(dir.path().toStdString()) / "fat").string();
    const std::string gone = (std::filesystem::path(dir.path().toStdString()) / "weg").string();
    std::filesystem::create_symlink(pty, link);
    std::filesystem::create_symlink(std::string(pty) + "-gone", gone);
    devices = {"COM12"};
    open();
    SettingsDialog& d = window->settingsDialog();
    for (const std::string& name : {link, std::string(pty)}) {
        window->comm().setDeviceName(name);
        EXPECT_EQ(choosePort(), QString::fromStdString(name));
        EXPECT_EQ(window->comm().deviceName(), name);
    }
    window->comm().setDeviceName(gone);
    EXPECT_EQ(choosePort(), QString::fromStdString(gone) + QStringLiteral(" (nicht vorhanden)"));
    EXPECT_EQ(window->comm().deviceName(), gone);
    window->comm().setDeviceName("com12");
    EXPECT_EQ(choosePort(), QStringLiteral("COM12"));
    EXPECT_EQ(window->comm().deviceName(), "COM12");
    EXPECT_EQ(d.devicePosition("Com2"), 2);
    ::close(slave);
    ::close(master);
}
#endif

TEST_F(ConfigTest, AnUnchangedWindowWritesBackTheSizeItReadAlsoWhenItsFrameComesLate) {
    writeIni("[DeskTop]\nHeight=505\nWidth=642\n");
    // A window manager may frame a window only some time after it is shown.
    // Here the window is first shown inside another one, without a frame of
    // its own, and then becomes a window with a frame.
    QWidget holder;
    holder.resize(800, 600);
    window = std::make_unique<TraceWindow>(dialogs, iniPath(), &holder);
    window->setWindowFlags(Qt::Widget);
    holder.show();
    EXPECT_TRUE(testing::showPastAboutBox(*window));
    EXPECT_EQ(window->frameGeometry().size(), QSize(642, 505));
    window->setParent(nullptr, Qt::Window);
    window->show();
    testing::processPending();
    ASSERT_NE(window->frameGeometry().size(), window->geometry().size()) << "the platform draws no frame";
    EXPECT_EQ(window->frameGeometry().size(), QSize(642, 505));
    for (int run = 0; run < 3; ++run) {
        EXPECT_TRUE(window->close());
        EXPECT_EQ(readIni(QStringLiteral("DeskTop/Height")), QStringLiteral("505")) << run;
        EXPECT_EQ(readIni(QStringLiteral("DeskTop/Width")), QStringLiteral("642")) << run;
        open();
    }
    // A size the user gives the window is written as he sees it.
    window->resize(window->size() + QSize(30, 40));
    testing::processPending();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(readIni(QStringLiteral("DeskTop/Height")), QStringLiteral("545"));
    EXPECT_EQ(readIni(QStringLiteral("DeskTop/Width")), QStringLiteral("672"));

    // At the first start the byte counter above the status panel is whole.
    QFile::remove(iniPath());
    open();
    window->setCaptureCount("19999");
    const QRect count = window->findChild<QLabel*>(QStringLiteral("Label5"))->geometry();
    EXPECT_LE(count.bottom(), window->findChild<QLabel*>(QStringLiteral("Panel1"))->geometry().top() - 1);
    EXPECT_EQ(count.left(), 440);
    EXPECT_GE(count.height(), window->findChild<QLabel*>(QStringLiteral("Label5"))->fontMetrics().height());
}

TEST_F(ConfigTest, OnlyOurKeysAreWrittenAndTheRestOfTheUsersFileStaysAsItWas) {
    const std::string before =
        "; Zindra, Leitstelle Nord\r\n"
        "[Port]\r\n"
        "nummer = COM3 ; not a comment, part of the value\r\n"
        "Baud=19200\r\n"
        "\r\n"
        "[Kunde]\r\n"
        "Name=M\xFCller & S\xF6hne\r\n"
        "%%%garbage without equals\r\n"
        "[DeskTop]\r\n"
        "Width=800\r\n"
        "# the height was 600\r\n";
    writeIni(before);
    open();
    EXPECT_EQ(window->comm().deviceName(), "COM3 ; not a comment, part of the value");
    EXPECT_EQ(window->outerSize(), QSize(800, 480));
    window->comm().setDeviceName("/dev/ttyUSB0");
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(QLatin1Char('|')).toStdString();
    // Two changes: the one line of "Nummer", and "Height" added at the end of
    // its section.
    std::string after = before;
    const std::string oldPort = "nummer = COM3 ; not a comment, part of the value";
    after.replace(after.find(oldPort), oldPort.size(), "Nummer=/dev/ttyUSB0");
    after += "Height=480\r\n";
    EXPECT_EQ(testing::readAll(QFile::encodeName(iniPath()).toStdString()), after);
    // Closing again leaves the file alone.
    open();
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(ConfigTest, ASectionIsReadAsWrittenAndReplacedWithItsCommentsAndTheRestKept) {
    writeIni(
        "[Port]\r\nNummer=COM3\r\n"
        "[benachrichtigung]\r\n"
        "; night shift\r\n"
        "Regel1=text~St\xF6r\r\n"               // Windows-1252, as the program writes
        "regel2 = Zustand~\xC3\x84nderung\r\n"  // UTF-8, as an editor may save
        "Regel3=\"\"Linie aus\"\"\r\n"
        "\r\n"
        "[DeskTop]\r\nWidth=800\r\n");
    const IniPairs read = loadSection(iniPath(), "Benachrichtigung");
    EXPECT_EQ(read, (IniPairs{{"Regel1", QString::fromUtf16(u"text~St\u00F6r")},
                              {"regel2", QString::fromUtf16(u"Zustand~\u00C4nderung")},
                              {"Regel3", QStringLiteral("\"Linie aus\"")}}));
    EXPECT_TRUE(loadSection(iniPath(), "Nirgends").empty());

    ASSERT_TRUE(saveSection(iniPath(), "Benachrichtigung",
                            {{"Regel1", QString::fromUtf16(u"Zustand~\u00C4nderung")}}));
    EXPECT_EQ(testing::readAll(QFile::encodeName(iniPath()).toStdString()),
              "[Port]\r\nNummer=COM3\r\n"
              "[benachrichtigung]\r\n"
              "; night shift\r\n"
              "Regel1=Zustand~\xC4nderung\r\n"
              "\r\n"
              "[DeskTop]\r\nWidth=800\r\n");
    ASSERT_TRUE(saveSection(iniPath(), "Ereignisarten", {{"Alarm", "Alarm, Feuer"}}));
    EXPECT_EQ(loadSection(iniPath(), "ereignisarten"), (IniPairs{{"Alarm", "Alarm, Feuer"}}));
}

#ifndef _WIN32  // a pseudo-terminal as the open port
TEST_F(ConfigTest, KonfigurationWhileThePortIsOpenShowsThePortsErrorAndChangesNothing) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    open();
    window->comm().setDeviceName(name);
    window->comm().open();
    konfiguration([](SettingsDialog& d) {
        d.cboPort().setCurrentIndex(2);
        d.cboBaud().setCurrentIndex(8);  // as if the rate could be chosen
        d.okButton().click();
    });
    ASSERT_EQ(dialogs.exceptions.size(), 1);
    EXPECT_EQ(dialogs.exceptions[0], QStringLiteral("Can't perform this operation while port is open"));
    EXPECT_EQ(window->comm().deviceName(), name);
    EXPECT_EQ(window->comm().baudrate(), serial::Baudrate::br9600);
    window->comm().close();
    ::close(slave);
    ::close(master);
}
#endif

TEST_F(ConfigTest, AConfigurationFolderThatCannotBeWrittenIsReportedOnceAndTheWindowCloses) {
    // A plain file where the folder should be: not even root can write there.
    std::ofstream(QFile::encodeName(dir.filePath(QStringLiteral("blocked"))).toStdString()) << "x";
    const QString path = dir.filePath(QStringLiteral("blocked/Zindra/ZINDRA.INI"));
    TraceWindow& w = open(path);
    EXPECT_TRUE(w.close());
    w.show();
    EXPECT_TRUE(w.close());
    ASSERT_EQ(dialogs.errors.size(), 1);
    // Named as the system writes paths (backslashes on Windows).
    EXPECT_TRUE(dialogs.errors[0].contains(QDir::toNativeSeparators(path)))
        << dialogs.errors[0].toStdString();
}

#ifndef _WIN32
TEST(SerialDevices, HardwarePortsOfTheTtyClassInNaturalOrderEachWithItsStableNames) {
    namespace fs = std::filesystem;
    QTemporaryDir tmp;
    const fs::path root = QFile::encodeName(tmp.path()).toStdString();
    const fs::path cls = root / "class", dev = root / "dev";
    // ttyS0 is COM1 already, tty0 and ptmx have no device, ttyAMA0 has no node.
    for (const char* n : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyAMA0"})
        fs::create_directories(cls / n / "device");
    for (const char* n : {"tty0", "ptmx"}) fs::create_directories(cls / n);
    fs::create_directories(dev);
    for (const char* n : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty0", "ptmx", "ttyUSB7"})
        std::ofstream(dev / n) << "";
    // The stable names of two adapters, and a stale one of an adapter gone.
    fs::create_directories(dev / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB10", dev / "serial" / "by-id" / "usb-FTDI_B-if00-port0");
    fs::create_symlink("../../ttyUSB10", dev / "serial" / "by-id" / "usb-FTDI_A-if00-port0");
    fs::create_symlink("../../ttyACM0", dev / "serial" / "by-id" / "usb-Arduino-if00");
    fs::create_symlink("../../ttyUSB9", dev / "serial" / "by-id" / "usb-gone-if00-port0");
    const std::string d = dev.string(), id = d + "/serial/by-id/";
    EXPECT_EQ(scanSerialDevices(cls.string(), d),
              (Strings{d + "/ttyACM0", id + "usb-Arduino-if00", d + "/ttyUSB2", d + "/ttyUSB10",
                       id + "usb-FTDI_A-if00-port0", id + "usb-FTDI_B-if00-port0"}));
    // Without the class folder, the usual names in the device folder.
    EXPECT_EQ(scanSerialDevices((root / "none").string(), d),
              (Strings{d + "/ttyACM0", id + "usb-Arduino-if00", d + "/ttyUSB2", d + "/ttyUSB7",
                       d + "/ttyUSB10", id + "usb-FTDI_A-if00-port0", id + "usb-FTDI_B-if00-port0"}));
}
#endif

TEST(SerialDevices, ComPortsAboveCom9OnceEachInNaturalOrder) {
    // What the Windows registry lists: the ports above COM9, in natural order.
    EXPECT_EQ(comPortsAfterCom9(
                  {"COM3", "COM100", "COM12", "COM10", "COM12", "COMX1", "COM010", "\\.\\COM11", "COM1"}),
              (Strings{"COM10", "COM12", "COM100"}));
}

}  // namespace
}  // namespace zindra::app
