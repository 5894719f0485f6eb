// <asm/termbits.h> defines its own struct termios; this file must not see
// the C library's <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "serial/posix_termios.h"

namespace zindra::serial::posix {

namespace {

// The B-constant of a rate the classic interface knows, or 0.
unsigned standardRate(std::uint32_t rate) {
    switch (rate) {
        case 50: return B50;
        case 75: return B75;
        case 110: return B110;
        case 134: return B134;
        case 150: return B150;
        case 200: return B200;
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 1800: return B1800;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        case 460800: return B460800;
        case 921600: return B921600;
        default: return 0;
    }
}

}  // namespace

bool lineSettingsSupported(const Dcb& dcb) {
    if (dcb.baudRate == 0 || dcb.baudRate > 0x7FFFFFFFu) return false;
    if (dcb.byteSize < 5 || dcb.byteSize > 8) return false;  // no 4-bit characters
    if (dcb.parity > SPACEPARITY) return false;
    switch (dcb.stopBits) {
        case ONESTOPBIT: break;
        case ONE5STOPBITS:  // a UART gives 1.5 stop bits only with 5 data bits
            if (dcb.byteSize != 5) return false;
            break;
        case TWOSTOPBITS:  // ... and then it cannot give 2
            if (dcb.byteSize == 5) return false;
            break;
        default: return false;
    }
    // No DTR handshaking, DSR flow control or DSR-gated input in termios;
    // no RTS toggling around transmissions.
    if (dcb.fDtrControl > DTR_CONTROL_ENABLE) return false;
    if (dcb.fRtsControl > RTS_CONTROL_HANDSHAKE) return false;
    if (dcb.fOutxDsrFlow || dcb.fDsrSensitivity) return false;
    // NUL bytes cannot be dropped by the driver; bytes with parity errors
    // can only be replaced by NUL.
    if (dcb.fNull) return false;
    if (dcb.fErrorChar && dcb.errorChar != 0) return false;
    return true;
}

int applyLineSettings(int fd, const Dcb& dcb, bool& hardwareFlow) {
    if (!lineSettingsSupported(dcb)) return EINVAL;
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) < 0) return errno;

    // Raw bytes in both directions.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY | IUCLC | IMAXBEL | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD |
                                        (CBAUD << IBSHIFT));
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    // Speed: the input speed follows the output speed (CIBAUD 0).
    if (const unsigned b = standardRate(dcb.baudRate); b != 0) {
        t.c_cflag |= b;
    } else {
        t.c_cflag |= BOTHER;
    }
    t.c_ispeed = dcb.baudRate;
    t.c_ospeed = dcb.baudRate;

    switch (dcb.byteSize) {
        case 5: t.c_cflag |= CS5; break;
        case 6: t.c_cflag |= CS6; break;
        case 7: t.c_cflag |= CS7; break;
        default: t.c_cflag |= CS8; break;
    }
    switch (dcb.parity) {
        case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
        case EVENPARITY: t.c_cflag |= PARENB; break;
        case MARKPARITY: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
        default: break;
    }
    // CSTOPB with 5 data bits is 1.5 stop bits on a UART.
    if (dcb.stopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
    if (dcb.fParity) t.c_iflag |= INPCK;

    hardwareFlow = dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
    if (hardwareFlow) t.c_cflag |= CRTSCTS;
    if (dcb.fOutX) t.c_iflag |= IXON;
    if (dcb.fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.xoffChar);

    if (::ioctl(fd, TCSETS2, &t) < 0) return errno;
    return 0;
}

}  // namespace zindra::serial::posix
