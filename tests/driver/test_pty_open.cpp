// Opening the real POSIX line on pseudo-terminals: a device that another program holds for
// exclusive use is refused (root included) and left as that program set it, every open that
// fails part-way leaves the terminal's exclusive flag as it found it, and a parity setting the
// device does not keep is accepted only from a pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "LignePosix.h"
#include "PeerPty.h"
#include "UniteKorvane.h"
#include "UtilKorvane.h"

namespace {

using B = TByteString;

// Whether the terminal behind fd is in exclusive mode.
bool ExclusiveFlag(int fd)
{
    int on = 0;
    EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &on), 0);
    return on != 0;
}

// Another program holding the device the way QSerialPort and most serial tools do: a plain
// open, its own line settings, then TIOCEXCL. No advisory lock.
class TExclusiveHolder {
public:
    explicit TExclusiveHolder(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B4800);
        ::cfsetospeed(&t, B4800);
        t.c_cflag |= CSTOPB;
        ::tcsetattr(fd_, TCSANOW, &t);
        ok_ = ::ioctl(fd_, TIOCEXCL) == 0;
    }
    ~TExclusiveHolder()
    {
        if (fd_ >= 0) {
            ::ioctl(fd_, TIOCNXCL);
            ::close(fd_);
        }
    }
    TExclusiveHolder(const TExclusiveHolder&) = delete;
    TExclusiveHolder& operator=(const TExclusiveHolder&) = delete;

    bool Ok() const { return ok_; }
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
    bool ok_ = false;
};

bool SameLine(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag
           && ::cfgetispeed(&a) == ::cfgetispeed(&b) && ::cfgetospeed(&a) == ::cfgetospeed(&b);
}

TEST(PtyOpen, DeviceHeldExclusivelyByAnotherProgramIsRefusedEvenToRoot)
{
    TPeerPty peer;
    TExclusiveHolder other(peer.SlavePath());
    ASSERT_TRUE(other.Ok());
    termios before{};
    ASSERT_EQ(::tcgetattr(other.Fd(), &before), 0);

    TConnexion c;
    c.SetPortName(peer.SlavePath());
    c.SetBaudCode(5);
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(c.ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data), kResIoError);
    EXPECT_EQ(MessageText(ResultCodeToMessageIndex(kResIoError)), "I/O error.");
    EXPECT_EQ(c.WriteRegister(modbus::kWriteSingle, 0x0010, 0x00, 0x2A), kResIoError);
    EXPECT_EQ(c.Connect(), kStatusNoPort);
    EXPECT_FALSE(c.IsOpen());
    c.Disconnect();

    // The other program's line is as it left it: still exclusive, its own settings, nothing
    // sent on it, and it still talks to the far end.
    EXPECT_TRUE(ExclusiveFlag(other.Fd()));
    termios after{};
    ASSERT_EQ(::tcgetattr(other.Fd(), &after), 0);
    EXPECT_TRUE(SameLine(before, after));
    EXPECT_EQ(peer.Drain(), B{});
    const std::uint8_t probe = 0x5A;
    ASSERT_EQ(::write(other.Fd(), &probe, 1), 1);
    EXPECT_EQ(peer.Receive(1), B{0x5A});
}

TEST(PtyOpen, DeviceIsFreeAgainOnceTheOtherProgramLetsGo)
{
    TPeerPty peer;
    TComPort port;
    port.SetPortName(peer.SlavePath());
    {
        TExclusiveHolder other(peer.SlavePath());
        ASSERT_TRUE(other.Ok());
        EXPECT_FALSE(port.Open());
    }
    ASSERT_TRUE(port.Open());
    // Our own hold is exclusive too, and it goes with the close.
    EXPECT_TRUE(ExclusiveFlag(peer.SlaveFd()));
    port.Close();
    EXPECT_FALSE(ExclusiveFlag(peer.SlaveFd()));
}

// An open that fails after the line has taken exclusive mode gives it up before closing.
TEST(PtyOpen, OpenFailingPartWayLeavesNoExclusiveFlag)
{
    TPeerPty peer;
    int getCalls = 0;
    TLineCalls refuseSet;
    refuseSet.setAttr = [](int, int, const termios*) {
        errno = EIO;
        return -1;
    };
    TLineCalls refuseGet;
    refuseGet.getAttr = [&getCalls](int, termios*) {
        ++getCalls;
        errno = EIO;
        return -1;
    };
    for (TLineCalls* calls : {&refuseSet, &refuseGet}) {
        TPosixSerialLine line(*calls);
        EXPECT_FALSE(line.Open(peer.SlavePath(), {9600, 2, 1}));
        EXPECT_FALSE(line.IsOpen());
        EXPECT_FALSE(ExclusiveFlag(peer.SlaveFd()));
    }
    EXPECT_EQ(getCalls, 1);
}

// Whether the line keeps the parity asked is read back from the device, and the real
// pseudo-terminal (which never keeps parity) plays a serial port that cannot do parity once it
// is no longer recognised as a pseudo-terminal.
TLineCalls SerialPortWithoutParity()
{
    TLineCalls calls;
    calls.isPseudoTerminal = [](int) { return false; };
    return calls;
}

TEST(PtyOpen, PseudoTerminalIsToldByItsDeviceNumber)
{
    TPeerPty peer;
    EXPECT_TRUE(IsPseudoTerminal(peer.SlaveFd()));
    const int null = ::open("/dev/null", O_RDWR);
    ASSERT_GE(null, 0);
    EXPECT_FALSE(IsPseudoTerminal(null));  // a character device, but no terminal
    ::close(null);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    EXPECT_FALSE(IsPseudoTerminal(master));  // the far end of a pair is not a line to open
    ::close(master);
    EXPECT_FALSE(IsPseudoTerminal(-1));
}

TEST(PtyOpen, PseudoTerminalIsAcceptedWithoutTheParityItCannotKeep)
{
    TPeerPty peer;
    for (const TLineSettings settings : {TLineSettings{9600, 2, 1}, TLineSettings{9600, 1, 1}}) {
        TPosixSerialLine line;
        ASSERT_TRUE(line.Open(peer.SlavePath(), settings));
        termios t{};
        ASSERT_EQ(::tcgetattr(peer.SlaveFd(), &t), 0);
        EXPECT_FALSE(t.c_cflag & PARENB);  // dropped by the pseudo-terminal itself
        EXPECT_TRUE(t.c_iflag & INPCK);
        line.Close();
    }
}

TEST(PtyOpen, SerialPortThatDropsParityFailsTheOpen)
{
    TPeerPty peer;
    for (const TLineSettings settings : {TLineSettings{9600, 2, 1}, TLineSettings{19200, 1, 1}}) {
        TPosixSerialLine line(SerialPortWithoutParity());
        EXPECT_FALSE(line.Open(peer.SlavePath(), settings));
        EXPECT_FALSE(line.IsOpen());
        EXPECT_FALSE(ExclusiveFlag(peer.SlaveFd()));
    }
    // Without parity nothing is refused.
    TPosixSerialLine line(SerialPortWithoutParity());
    EXPECT_TRUE(line.Open(peer.SlavePath(), {9600, 0, 0}));
    line.Close();
}

TEST(PtyOpen, RequestOnASerialPortThatDropsParityIsAnIoError)
{
    TPeerPty peer;
    TConnexion c(std::make_unique<TPosixSerialLine>(SerialPortWithoutParity()));
    c.SetPortName(peer.SlavePath());
    c.SetBaudCode(5);
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(c.ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data), kResIoError);
    EXPECT_EQ(c.Connect(), kStatusNoPort);
    EXPECT_EQ(peer.Drain(), B{});
    EXPECT_FALSE(ExclusiveFlag(peer.SlaveFd()));

    // The same port with no parity asked works.
    c.SetLineMode(2);
    peer.Serve(8, AppendCrc({0x01, 0x03, 0x02, 0x12, 0x34}));
    EXPECT_EQ(c.ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data), kResOk);
    peer.Join();
    EXPECT_EQ(data[0], 0x12);
}

// A device that reports EINVAL for the parity it cannot do and keeps all the rest.
TLineCalls RefusesParityWithEinval(bool pseudoTerminal)
{
    TLineCalls calls;
    calls.setAttr = [](int fd, int when, const termios* wanted) {
        termios kept = *wanted;
        kept.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
        ::tcsetattr(fd, when, &kept);
        errno = EINVAL;
        return -1;
    };
    calls.isPseudoTerminal = [pseudoTerminal](int) { return pseudoTerminal; };
    return calls;
}

TEST(PtyOpen, ParityRefusedWithEinvalIsAcceptedOnlyFromAPseudoTerminal)
{
    TPeerPty peer;
    TPosixSerialLine serial(RefusesParityWithEinval(false));
    EXPECT_FALSE(serial.Open(peer.SlavePath(), {9600, 2, 1}));
    EXPECT_FALSE(ExclusiveFlag(peer.SlaveFd()));
    TPosixSerialLine pty(RefusesParityWithEinval(true));
    EXPECT_TRUE(pty.Open(peer.SlavePath(), {9600, 2, 1}));
    pty.Close();
}

// A serial port that keeps every setting it is given, parity included.
TEST(PtyOpen, SerialPortThatKeepsParityOpens)
{
    TPeerPty peer;
    auto kept = std::make_shared<termios>();
    ASSERT_EQ(::tcgetattr(peer.SlaveFd(), kept.get()), 0);
    TLineCalls calls = SerialPortWithoutParity();
    calls.getAttr = [kept](int, termios* t) {
        *t = *kept;
        return 0;
    };
    calls.setAttr = [kept](int, int, const termios* t) {
        *kept = *t;
        return 0;
    };
    TPosixSerialLine line(calls);
    ASSERT_TRUE(line.Open(peer.SlavePath(), {9600, 1, 1}));
    EXPECT_TRUE(kept->c_cflag & PARENB);
    EXPECT_TRUE(kept->c_cflag & PARODD);
    EXPECT_TRUE(kept->c_iflag & INPCK);
    line.Close();
}

}  // namespace
