// Line settings for POSIX terminals.  Kept apart from <termios.h> users
// because it works with the kernel's own termios2 record, which carries
// arbitrary rates.
#pragma once

#include "serial/types.h"

namespace zindra::serial::posix {

// Puts the terminal into raw mode with the settings of `dcb`.  Returns 0 or
// an errno value; EINVAL (and nothing changed) for settings a terminal
// cannot follow.  `hardwareFlow` tells whether RTS/CTS handshaking is on, in
// which case the driver owns the RTS line.
int applyLineSettings(int fd, const Dcb& dcb, bool& hardwareFlow);

// Whether the terminal settings can express `dcb` (the EINVAL cases above).
bool lineSettingsSupported(const Dcb& dcb);

}  // namespace zindra::serial::posix
