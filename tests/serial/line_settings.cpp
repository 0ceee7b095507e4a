// Kept apart from the other test sources: the kernel's termios2 header
// clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <stdexcept>

#include "serial/impl/unix_syscalls.h"
#include "tests/serial/pty_pair.h"

namespace serial_test {

LineSettings ReadLineSettings(int masterFd) {
    termios2 tio{};
    // On a pty master the mode ioctls act on the slave side.
    if (::ioctl(masterFd, TCGETS2, &tio) != 0) {
        throw std::runtime_error("TCGETS2 failed");
    }
    return {tio.c_ispeed, tio.c_ospeed, tio.c_cflag, tio.c_iflag};
}

namespace {
termios2 gCaptured{};
}

void CaptureSettingsOnSet() {
    serial::unix_sys::calls().setAttr = [](int fd, const termios2* settings) {
        gCaptured = *settings;
        return serial::unix_sys::realCalls().setAttr(fd, settings);
    };
}

LineSettings CapturedSettings() {
    return {gCaptured.c_ispeed, gCaptured.c_ospeed, gCaptured.c_cflag, gCaptured.c_iflag};
}

LineFlags LineFlagValues() {
    return {CSIZE, CS5, CS6, CS7, CS8, CSTOPB, PARENB, PARODD, CMSPAR, CRTSCTS, IXON, IXOFF};
}

}  // namespace serial_test
