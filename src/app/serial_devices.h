// The serial devices present on this machine, beyond the nine COM names.
#pragma once

#include <string>
#include <vector>

namespace zindra::app {

// Device paths of the serial ports the kernel knows of (USB adapters such as
// /dev/ttyUSB0 and /dev/ttyACM0, on-board UARTs such as /dev/ttyAMA0), in
// natural order.  Taken from the kernel's tty class, where only hardware
// ports have a "device" link; pseudo-terminals and consoles have none.  The
// ttyS ports are left out: "COM1" to "COM9" already reach them.  Without that
// class folder, the device folder is searched for the usual names instead.
std::vector<std::string> scanSerialDevices(const std::string& ttyClassDir = "/sys/class/tty",
                                           const std::string& devDir = "/dev");

}  // namespace zindra::app
