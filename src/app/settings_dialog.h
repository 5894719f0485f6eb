// The port settings dialog ("&Konfiguration"): the serial device to open and
// the line settings it is opened with, shown but fixed.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;

namespace zindra::serial {
class Comm;
}

namespace zindra::app {

class SettingsDialog final : public QDialog {
    Q_OBJECT
public:
    // Finds the serial devices listed after "COM9".
    using DeviceScanner = std::function<std::vector<std::string>()>;

    // The lists are filled here, once.  Device paths found later (an adapter
    // plugged in while the program runs) are added after the ones there.
    explicit SettingsDialog(QWidget* parent = nullptr, DeviceScanner scanner = {});

    // Replaces the device search for the next showings.
    void setDeviceScanner(DeviceScanner scanner) { scanner_ = std::move(scanner); }

    // Selects the entries that show the port's settings: the device by the
    // rule of devicePosition, the line settings as they are, flow "None".
    void preselect(const serial::Comm& comm);
    // Puts the selections into the port: device name (chosenDeviceName), baud rate, parity,
    // data bits, stop bits, then flow control and the DTR and RTS lines.  A
    // list without a selection leaves its setting alone.  The port refuses a
    // new device name while open; the error leaves here and nothing after it
    // is applied.
    void apply(serial::Comm& comm) const;

    // The device name the port list stands for: the chosen entry's, or a
    // path typed by the user.
    std::string chosenDeviceName() const;
    // The port list's position for a device name: a listed device path is its
    // own entry (a COM name above COM9 in any case); a name with "COM" in it,
    // in any case, gives the digit in its fourth place ("COM7" and "Com7" are
    // 7, "COMX" and "COM" are 0); anything else is 0, "(none)".
    int devicePosition(const std::string& deviceName) const;
    // The device name an entry of the port list stands for.
    std::string deviceNameAt(int position) const;

    void btnOKClick();

    QComboBox& cboPort() { return *lists_[0]; }
    QComboBox& cboBaud() { return *lists_[1]; }
    QComboBox& cboData() { return *lists_[2]; }
    QComboBox& cboParity() { return *lists_[3]; }
    QComboBox& cboStop() { return *lists_[4]; }
    QComboBox& cboFlow() { return *lists_[5]; }
    QPushButton& okButton() { return *okButton_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Adds device paths not listed yet, after the last entry.
    void addDevices(const std::vector<std::string>& paths);
    // Marks the listed device paths that are neither among present nor exist.
    void markPresent(const std::vector<std::string>& present);

    QComboBox* lists_[6] = {};
    QPushButton* okButton_;
    DeviceScanner scanner_;
};

}  // namespace zindra::app
