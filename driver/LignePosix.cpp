#include "LignePosix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "DeviceNames.h"
#include "ExecutableDir.h"

namespace {

using TNanos = std::int64_t;

TNanos Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<TNanos>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

constexpr TNanos Millis(int ms)
{
    return static_cast<TNanos>(ms) * 1000000;
}

// Waits for the events until the absolute monotonic deadline. Returns the revents, 0 once the
// deadline has passed. Never returns before the deadline without an event.
short WaitUntil(int fd, short events, TNanos deadline)
{
    for (;;) {
        const TNanos left = deadline - Now();
        if (left <= 0)
            return 0;
        pollfd p{fd, events, 0};
        const timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0)
            return p.revents;
        if (r < 0 && errno != EINTR)
            return POLLERR;
    }
}

// Waits, until the deadline at the latest, for the transmitter to send what the output queue
// holds; answers how many bytes are still queued then. The wait sleeps for about the time the
// queued bytes take on the line (at least 1 ms), so a held transmitter costs no processor time.
std::size_t WaitUntilSent(int fd, TNanos deadline, TNanos characterNanos)
{
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
            return 0;
        const TNanos left = deadline - Now();
        if (left <= 0)
            return static_cast<std::size_t>(queued);
        const TNanos nap = std::clamp(queued * characterNanos, Millis(1), left);
        const timespec ts{static_cast<time_t>(nap / 1000000000), static_cast<long>(nap % 1000000000)};
        ::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, nullptr);
    }
}

// Device numbers of the terminal side of pseudo-terminal pairs: the Unix 98 slaves (/dev/pts/n)
// and the legacy BSD slaves (/dev/ttyp0 and so on).
constexpr unsigned int kPtySlaveFirstMajor = 136;
constexpr unsigned int kPtySlaveLastMajor = 143;
constexpr unsigned int kLegacyPtySlaveMajor = 3;

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;

// Parity generation and checking read back as asked (odd/even only counts with PARENB).
bool ParityKept(const termios& got, const termios& wanted)
{
    const tcflag_t mask = (wanted.c_cflag & PARENB) ? kParityBits : tcflag_t{PARENB | CMSPAR};
    return (got.c_cflag & mask) == (wanted.c_cflag & mask) && (got.c_iflag & INPCK) == (wanted.c_iflag & INPCK);
}

// Every setting but parity reads back as asked.
bool KeptApartFromParity(const termios& got, const termios& wanted)
{
    return (got.c_cflag & ~kParityBits) == (wanted.c_cflag & ~kParityBits)
           && (got.c_iflag & ~tcflag_t{INPCK}) == (wanted.c_iflag & ~tcflag_t{INPCK}) && got.c_oflag == wanted.c_oflag
           && got.c_lflag == wanted.c_lflag && ::cfgetispeed(&got) == ::cfgetispeed(&wanted)
           && ::cfgetospeed(&got) == ::cfgetospeed(&wanted);
}

// Applies the settings and tells whether the line may run with what the device kept.
// tcsetattr succeeds when any of the changes was made, so the settings are read back. Some
// devices keep everything but parity, and report so either with success or with EINVAL (when
// the rest reads back as asked). A pseudo-terminal never keeps parity, as no bits travel, so
// it is accepted without; any other device would silently run the bus without the parity the
// slaves expect, so it is refused.
bool Configure(const TLineCalls& calls, int fd, const termios& wanted)
{
    const bool set = calls.setAttr(fd, TCSANOW, &wanted) == 0;
    if (!set && errno != EINVAL)
        return false;
    termios got{};
    if (calls.getAttr(fd, &got) != 0)
        return false;
    if (!set && !KeptApartFromParity(got, wanted))
        return false;
    return ParityKept(got, wanted) || calls.isPseudoTerminal(fd);
}

// Gives up a descriptor that holds the terminal in exclusive mode: the mode is the terminal's,
// not the descriptor's, and would otherwise outlive the close while anyone else has it open.
void Abandon(int fd)
{
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);  // also releases the flock
}

}  // namespace

bool IsPseudoTerminal(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned int device = major(info.st_rdev);
    return (device >= kPtySlaveFirstMajor && device <= kPtySlaveLastMajor) || device == kLegacyPtySlaveMajor;
}

speed_t SpeedConstant(std::uint32_t baud)
{
    switch (baud) {
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    default: return B9600;
    }
}

termios TermiosFor(const termios& base, const TLineSettings& settings)
{
    termios t = base;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL
                                        | IXON | IXOFF | IXANY | IMAXBEL | IUTF8);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | TOSTOP);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    if (settings.parity == 1 || settings.parity == 2) {
        t.c_cflag |= PARENB;
        if (settings.parity == 1)
            t.c_cflag |= PARODD;
        t.c_iflag |= INPCK;
    }
    if (settings.stopBits == 1)
        t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t speed = SpeedConstant(settings.baud);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    return t;
}

TPosixSerialLine::~TPosixSerialLine()
{
    Close();
}

bool TPosixSerialLine::Open(const std::string& name, const TLineSettings& settings)
{
    Close();
    const std::string path = ResolveDeviceName(name, ExecutableDir());
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // The advisory lock keeps out every other opener that takes it. A program that holds the
    // terminal in exclusive mode instead (TIOCEXCL, as QSerialPort and most serial tools do)
    // keeps ordinary openers out, but the kernel lets one with CAP_SYS_ADMIN in regardless; so
    // ask whether exclusive mode is already set and leave such a device, and its flag, alone.
    int heldElsewhere = 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || (::ioctl(fd, TIOCGEXCL, &heldElsewhere) == 0 && heldElsewhere != 0)
        || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    termios base{};
    if (calls_.getAttr(fd, &base) != 0) {
        Abandon(fd);
        return false;
    }
    const termios wanted = TermiosFor(base, settings);
    if (!Configure(calls_, fd, wanted)) {
        Abandon(fd);
        return false;
    }
    // DTR and RTS are not used for control: keep them low (a pseudo-terminal has neither).
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &lines);
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    characterNanos_ = static_cast<std::int64_t>(CharacterBits(settings.parity, settings.stopBits)) * 1000000000
                      / static_cast<std::int64_t>(settings.baud == 0 ? 9600 : settings.baud);
    return true;
}

void TPosixSerialLine::Close()
{
    if (fd_ < 0)
        return;
    Abandon(fd_);
    fd_ = -1;
}

void TPosixSerialLine::Purge()
{
    if (fd_ >= 0)
        ::tcflush(fd_, TCIOFLUSH);
}

std::size_t TPosixSerialLine::Write(const std::uint8_t* octets, std::size_t n, int timeoutMs)
{
    if (fd_ < 0)
        return 0;
    const TNanos deadline = Now() + Millis(timeoutMs);
    std::size_t sent = 0;
    while (sent < n) {
        const ssize_t w = ::write(fd_, octets + sent, n - sent);
        if (w > 0) {
            sent += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN)
            return sent;
        const short ev = WaitUntil(fd_, POLLOUT, deadline);
        if (!(ev & POLLOUT))
            return sent;
    }
    // Return once the bytes have left the transmitter, but not after the time-out: a transmitter
    // held by flow control or a stuck adapter would keep tcdrain() waiting without end. What is
    // still queued then has not been sent.
    const std::size_t queued = WaitUntilSent(fd_, deadline, characterNanos_);
    return sent > queued ? sent - queued : 0;
}

std::size_t TPosixSerialLine::Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits)
{
    if (fd_ < 0)
        return 0;
    const TNanos total = Now() + Millis(limits.totalMs);
    TNanos idleEnd = total;
    std::size_t got = 0;
    bool readable = false;  // the last wait reported data
    while (got < n) {
        const ssize_t r = ::read(fd_, octets + got, n - got);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
            readable = false;
            const TNanos idle = Now() + Millis(limits.intervalMs);
            idleEnd = idle < total ? idle : total;
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            break;  // line fault: what arrived so far is the answer
        // A raw line with VMIN = VTIME = 0 reads 0 when empty; after a wait that reported
        // data, 0 means the line has hung up.
        if (readable)
            break;
        const short ev = WaitUntil(fd_, POLLIN, got > 0 ? idleEnd : total);
        if (ev == 0)
            break;  // time-out
        if (!(ev & POLLIN))
            break;  // error or hang-up without data
        readable = true;
    }
    return got;
}

void TPosixSerialLine::Pause(int ms)
{
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000};
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

std::unique_ptr<TSerialLine> MakePlatformLine()
{
    return std::make_unique<TPosixSerialLine>();
}
