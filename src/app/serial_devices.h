// The serial devices present on this machine, beyond the nine COM names.
#pragma once

#include <string>
#include <vector>

namespace zindra::app {

#ifdef _WIN32
// The COM ports the machine has above COM9 ("COM10", "COM11", …), from the
// registry's list of serial ports (HARDWARE\DEVICEMAP\SERIALCOMM), in natural
// order.  "COM1" to "COM9" are listed already.
std::vector<std::string> scanSerialDevices();
#else
// Device paths of the serial ports the kernel knows of (USB adapters such as
// /dev/ttyUSB0 and /dev/ttyACM0, on-board UARTs such as /dev/ttyAMA0), in
// natural order.  Taken from the kernel's tty class, where only hardware
// ports have a "device" link; pseudo-terminals and consoles have none.  The
// ttyS ports are left out: "COM1" to "COM9" already reach them.  Without that
// class folder, the device folder is searched for the usual names instead.
// Each port is followed by its names under <devDir>/serial/by-id (sorted),
// which stay the same when a USB adapter is plugged in again elsewhere.
std::vector<std::string> scanSerialDevices(const std::string& ttyClassDir = "/sys/class/tty",
                                           const std::string& devDir = "/dev");
#endif

// The names among `names` that are COM ports above COM9, once each, in
// natural order ("COM10" before "COM100").
std::vector<std::string> comPortsAfterCom9(const std::vector<std::string>& names);

}  // namespace zindra::app
