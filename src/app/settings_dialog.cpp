#include "app/settings_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStringList>
#include <algorithm>
#include <iterator>

#include "app/dialogs.h"
#include "app/serial_devices.h"
#include "serial/comm.h"

namespace zindra::app {
namespace {

using serial::Baudrate;

constexpr QSize OuterSize(264, 302);
constexpr int ComEntries = 10;  // "(none)" and "COM1" to "COM9"
// After a listed device path that is not there now.
const QString NotPresent = QStringLiteral(" (nicht vorhanden)");

// The baud rates of the list, in its order.
constexpr Baudrate BaudRates[] = {
    Baudrate::br110,   Baudrate::br300,    Baudrate::br600,    Baudrate::br1200,  Baudrate::br2400,
    Baudrate::br4800,  Baudrate::br9600,   Baudrate::br14400,  Baudrate::br19200, Baudrate::br38400,
    Baudrate::br56000, Baudrate::br128000, Baudrate::br256000,
};

struct FlowRow {
    bool outCtsFlow, outDsrFlow, dtr, rts, xonXoffOut, xonXoffIn;
};
// "None", "RTS/CTS", "XON/XOFF".
constexpr FlowRow FlowRows[] = {
    {false, false, false, false, false, false},
    {true, false, false, true, false, false},
    {false, false, false, false, true, true},
};

}  // namespace

SettingsDialog::SettingsDialog(QWidget* parent, DeviceScanner scanner)
    : QDialog(parent),
      scanner_(scanner ? std::move(scanner) : DeviceScanner([] { return scanSerialDevices(); })) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    // A close button in the title bar and nothing else; closing it that way
    // counts as OK.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(OuterSize);

    struct ListSpec {
        const char* label;
        const char* name;
        QStringList entries;
    };
    const ListSpec specs[6] = {
        {"Comm Port:",
         "cboPort",
         {"(none)", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"}},
        {"Baud Rate:",
         "cboBaud",
         {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "128000",
          "256000"}},
        {"Data bits:", "cboData", {"4", "5", "6", "7", "8"}},
        {"Parity:", "cboParity", {"None", "Odd", "Even", "Mark", "Space"}},
        {"Stop bits:", "cboStop", {"1", "1.5", "2"}},
        {"Flow control:", "cboFlow", {"None", "RTS/CTS", "XON/XOFF"}},
    };
    for (int i = 0; i < 6; ++i) {
        const int top = 16 + 34 * i;
        auto* list = new QComboBox(this);
        list->setObjectName(QString::fromLatin1(specs[i].name));
        // The port may also be typed: any device path, such as a name under
        // /dev/serial/by-id.
        list->setEditable(i == 0);
        if (i == 0) list->setInsertPolicy(QComboBox::NoInsert);
        list->addItems(specs[i].entries);
        list->setGeometry(112, top, 129, 24);
        list->setEnabled(i == 0);  // only the port can be chosen
        auto* label = new QLabel(QString::fromLatin1(specs[i].label), this);
        label->setGeometry(16, top, 92, 24);
        label->setBuddy(list);
        lists_[i] = list;
    }
    addDevices(scanner_());

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("btnOK"));
    okButton_->setGeometry(94, 236, 75, 25);
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &SettingsDialog::btnOKClick);
}

void SettingsDialog::btnOKClick() { accept(); }

void SettingsDialog::addDevices(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const QString device = QString::fromStdString(path);
        if (cboPort().findData(device) < 0) cboPort().addItem(device, device);
    }
}

void SettingsDialog::markPresent(const std::vector<std::string>& present) {
    for (int i = ComEntries; i < cboPort().count(); ++i) {
        const QString device = cboPort().itemData(i).toString();
        // A path that leads to a device (a link to one, a pseudo-terminal)
        // is there, whether or not the search found it.
        const bool there = std::find(present.begin(), present.end(), device.toStdString()) != present.end() ||
                           (device.startsWith(QLatin1Char('/')) && QFileInfo::exists(device));
        cboPort().setItemText(i, there ? device : device + NotPresent);
    }
    // The list that drops down shows long by-id names whole.
    int widest = 0;
    for (int i = 0; i < cboPort().count(); ++i) {
        widest = std::max(widest, cboPort().fontMetrics().horizontalAdvance(cboPort().itemText(i)));
    }
    cboPort().view()->setMinimumWidth(widest + 2 * cboPort().fontMetrics().averageCharWidth() +
                                      cboPort().view()->verticalScrollBar()->sizeHint().width());
}

int SettingsDialog::devicePosition(const std::string& deviceName) const {
    const QString name = QString::fromStdString(deviceName);
    const int listed = lists_[0]->findData(name);
    if (listed >= ComEntries) return listed;
    // COM names are the same in any case ("Com2" is COM2, "com12" COM12),
    // as Windows takes them; device paths are compared as written.
    if (name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        for (int i = ComEntries; i < lists_[0]->count(); ++i) {
            if (lists_[0]->itemData(i).toString().compare(name, Qt::CaseInsensitive) == 0) return i;
        }
    }
    if (!name.contains(QLatin1String("COM"), Qt::CaseInsensitive) || deviceName.size() < 4) return 0;
    const char c = deviceName[3];
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

std::string SettingsDialog::deviceNameAt(int position) const {
    if (position <= 0) return "none";
    if (position < ComEntries) return "COM" + std::to_string(position);
    return lists_[0]->itemData(position).toString().toStdString();
}

std::string SettingsDialog::chosenDeviceName() const {
    const QString text = lists_[0]->currentText().trimmed();
    const int listed = lists_[0]->findText(text, Qt::MatchExactly);
    if (listed >= 0) return deviceNameAt(listed);
    // Typed by the user: taken as it is, also without the "(nicht vorhanden)".
    if (text.isEmpty()) return deviceNameAt(0);
    return (text.endsWith(NotPresent) ? text.chopped(NotPresent.size()) : text).toStdString();
}

void SettingsDialog::preselect(const serial::Comm& comm) {
    const std::vector<std::string> present = scanner_();
    addDevices(present);
    // A configured device path that is not there now (the adapter is
    // unplugged, or it is a pseudo-terminal) stays choosable, so that OK
    // does not replace it with "none"; it is marked as not present.
    const std::string& device = comm.deviceName();
    if (!device.empty() && device.front() == '/') addDevices({device});
    markPresent(present);
    cboPort().setCurrentIndex(devicePosition(device));

    int baud = -1;  // rates the list does not show leave it without a selection
    for (int i = 0; i < static_cast<int>(std::size(BaudRates)); ++i) {
        if (BaudRates[i] == comm.baudrate()) baud = i;
    }
    cboBaud().setCurrentIndex(baud);
    cboData().setCurrentIndex(static_cast<int>(comm.databits()));
    cboParity().setCurrentIndex(static_cast<int>(comm.parity()));
    cboStop().setCurrentIndex(static_cast<int>(comm.stopbits()));
    cboFlow().setCurrentIndex(0);
}

void SettingsDialog::apply(serial::Comm& comm) const {
    if (lists_[0]->currentIndex() >= 0 || !lists_[0]->currentText().isEmpty()) {
        comm.setDeviceName(chosenDeviceName());
    }
    const int baud = lists_[1]->currentIndex();
    if (baud >= 0) comm.setBaudrate(BaudRates[baud]);
    const int parity = lists_[3]->currentIndex();
    if (parity >= 0) comm.setParity(static_cast<serial::Parity>(parity));
    const int dataBits = lists_[2]->currentIndex();
    if (dataBits >= 0) comm.setDatabits(static_cast<serial::Databits>(dataBits));
    const int stop = lists_[4]->currentIndex();
    if (stop >= 0) comm.setStopbits(static_cast<serial::Stopbits>(stop));
    const int flow = lists_[5]->currentIndex();
    if (flow >= 0) {
        const FlowRow& row = FlowRows[flow];
        comm.flowControl().setOutCtsFlow(row.outCtsFlow);
        comm.flowControl().setOutDsrFlow(row.outDsrFlow);
        comm.setDTR(row.dtr);
        comm.setRTS(row.rts);
        comm.flowControl().setXonXoffOut(row.xonXoffOut);
        comm.flowControl().setXonXoffIn(row.xonXoffIn);
    }
}

void SettingsDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) centreOnScreen(*this);
    QDialog::showEvent(event);
    // The size is the outer one, title bar and border included; the frame is
    // known once the dialog has been shown.
    const QSize frame = frameGeometry().size() - geometry().size();
    if ((frame.width() > 0 || frame.height() > 0) && size() != OuterSize - frame)
        setFixedSize(OuterSize - frame);
}

}  // namespace zindra::app
