// Only the kernel's termios2 record here; see pty.h.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace zindra::serial::test {

std::uint32_t terminalSpeed(int fd) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) < 0) return 0;
    return t.c_ospeed;
}

}  // namespace zindra::serial::test
