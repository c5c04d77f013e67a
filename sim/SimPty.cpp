#include "SimPty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace vantor::sim {

namespace {

[[noreturn]] void Fail(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

Pty OpenPty()
{
    Pty pty;
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (pty.master < 0)
        Fail("posix_openpt");
    char name[128];
    if (grantpt(pty.master) != 0 || unlockpt(pty.master) != 0 || ptsname_r(pty.master, name, sizeof name) != 0) {
        const int e = errno;
        close(pty.master);
        errno = e;
        Fail("pseudo-terminal set-up");
    }
    pty.path = name;
    pty.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave < 0) {
        const int e = errno;
        close(pty.master);
        errno = e;
        Fail("open pseudo-terminal slave");
    }
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0) {
        const int e = errno;
        ClosePty(pty);
        errno = e;
        Fail("tcgetattr");
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tcsetattr(pty.slave, TCSANOW, &tio);
    return pty;
}

void ClosePty(Pty& pty)
{
    if (pty.slave >= 0)
        close(pty.slave);
    if (pty.master >= 0)
        close(pty.master);
    pty.slave = pty.master = -1;
}

int LineSpeed(const Pty& pty)
{
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0)
        return 0;
    switch (cfgetospeed(&tio)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

LineSettings LineSettingsOf(const Pty& pty)
{
    LineSettings l;
    l.baud = LineSpeed(pty);
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0)
        return l;
    if ((tio.c_cflag & CSTOPB) != 0)
        l.mode = (tio.c_cflag & PARODD) != 0 ? LineMode::Odd : LineMode::Even;
    return l;
}

}  // namespace vantor::sim
