// Writes on a line whose transmitter is held (flow control, a stuck adapter): they end within
// the write time-out, (w + 20) x n + 20 ms, use no processor time while they wait, and the
// transaction then goes on to read the answer.
//
// A pseudo-terminal has no transmit queue: its TIOCOUTQ is always 0 and tcdrain() returns at
// once, so it cannot hold bytes the way a UART does. This executable therefore plays the
// kernel's side of a held transmitter for the one device under test, at the C library boundary:
// while held, TIOCOUTQ reports bytes that never leave and tcdrain() waits (here for at most
// kDrainHoldMs). The bytes themselves still reach the peer, so it can answer. Every other call
// goes to the system unchanged. A second test holds the real pseudo-terminal with a flow stop.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <mutex>

#include "PeerPty.h"
#include "UniteKorvane.h"
#include "UtilKorvane.h"

namespace {

constexpr int kDrainHoldMs = 2000;

// The held device (its device number), 0 when nothing is held, and what its queue reports.
std::atomic<dev_t> gHeldDevice{0};
std::atomic<int> gQueued{0};
std::atomic<int> gDrains{0};
std::mutex gMutex;
std::condition_variable gReleased;

bool IsHeld(int fd)
{
    const dev_t held = gHeldDevice.load();
    struct stat info {};
    return held != 0 && ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == held;
}

// Holds the transmitter of the device behind fd for the life of the object.
class THeldTransmitter {
public:
    THeldTransmitter(int fd, int queued)
    {
        struct stat info {};
        if (::fstat(fd, &info) == 0)
            gHeldDevice = info.st_rdev;
        gQueued = queued;
    }
    ~THeldTransmitter()
    {
        {
            std::lock_guard<std::mutex> lock(gMutex);
            gHeldDevice = 0;
        }
        gReleased.notify_all();
    }
    THeldTransmitter(const THeldTransmitter&) = delete;
    THeldTransmitter& operator=(const THeldTransmitter&) = delete;
};

}  // namespace

extern "C" int tcdrain(int fd)
{
    if (IsHeld(fd)) {
        ++gDrains;
        std::unique_lock<std::mutex> lock(gMutex);
        gReleased.wait_for(lock, std::chrono::milliseconds(kDrainHoldMs), [] { return gHeldDevice.load() == 0; });
    }
    return static_cast<int>(::syscall(SYS_ioctl, fd, TCSBRK, 1));
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (request == TIOCOUTQ && IsHeld(fd)) {
        *static_cast<int*>(argument) = gQueued.load();
        return 0;
    }
    return static_cast<int>(::syscall(SYS_ioctl, fd, request, argument));
}

namespace {

using B = TByteString;
using Clock = std::chrono::steady_clock;
constexpr double kLateMs = 5.0;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double ThreadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Every run lasts at least `nominal`; the best of three at most `late` more.
template <class F>
void ExpectDuration(double nominal, double late, F&& action)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        action();
        const double ms = MsSince(t0);
        EXPECT_GE(ms, nominal);
        best = std::min(best, ms);
    }
    EXPECT_LE(best, nominal + late);
}

TEST(HeldTransmitter, WriteEndsAtItsTimeoutWithoutSpinning)
{
    TPeerPty peer;
    THeldTransmitter held(peer.SlaveFd(), 3);
    for (const std::uint8_t row : {std::uint8_t{3}, std::uint8_t{1}}) {
        SCOPED_TRACE(::testing::Message() << "row " << int(row));
        TComPort port;
        port.SetPortName(peer.SlavePath());
        port.SetRateRow(row);
        ASSERT_TRUE(port.Open());
        const B frame = AppendCrc({0x01, 0x06, 0x00, 0x10, 0x00, 0x2A});
        const double bound = WriteTimeoutFor(row, frame.size());
        ExpectDuration(bound, kLateMs, [&] {
            const double cpu0 = ThreadCpuMs();
            // Three bytes never leave the transmitter, so five are reported as written.
            EXPECT_EQ(port.Write(frame.data(), frame.size()), frame.size() - 3);
            EXPECT_LT(ThreadCpuMs() - cpu0, bound / 10);
            EXPECT_EQ(peer.Drain(), frame);
        });
        port.Close();
    }
}

TEST(HeldTransmitter, TransactionGoesOnToReadAfterAHeldWrite)
{
    TPeerPty peer;
    TConnexion c;
    c.SetPortName(peer.SlavePath());
    c.SetBaudCode(2);
    ASSERT_EQ(c.Connect(), kStatusOk);
    THeldTransmitter held(peer.SlaveFd(), 8);
    const double writeBound = WriteTimeoutFor(3, 8);
    const double silence = ReadTimeoutsFor(3, 1).totalMs;
    ExpectDuration(writeBound + silence, 3 * kLateMs, [&] {
        B request;
        peer.Serve(8, AppendCrc({0x01, 0x03, 0x02, 0x12, 0x34}), &request);
        std::uint8_t count = 0;
        TDataArea data{};
        EXPECT_EQ(c.ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data), kResOk);
        peer.Join();
        EXPECT_EQ(request, (B{0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0B}));
        EXPECT_EQ(count, 2);
        EXPECT_EQ(data[0], 0x12);
        EXPECT_EQ(data[1], 0x34);
    });
    // A write is answered at its first attempt.
    ExpectDuration(writeBound + silence, 3 * kLateMs, [&] {
        peer.Serve(8, AppendCrc({0x01, 0x06, 0x00, 0x10, 0x00, 0x2A}));
        EXPECT_EQ(c.WriteRegister(modbus::kWriteSingle, 0x0010, 0x00, 0x2A), kResOk);
        peer.Join();
    });
    EXPECT_EQ(gDrains.load(), 0);
    c.Disconnect();
}

// The real pseudo-terminal stopped by flow control (as by XOFF): the frame cannot be written at
// all; the write ends at its time-out, the transaction reports silence, and once the flow
// resumes the next transaction works.
TEST(HeldTransmitter, FlowStoppedLineEndsTheWriteAtItsTimeout)
{
    TPeerPty peer;
    TConnexion c;
    c.SetPortName(peer.SlavePath());
    c.SetBaudCode(2);
    ASSERT_EQ(c.Connect(), kStatusOk);
    ASSERT_EQ(::tcflow(peer.SlaveFd(), TCOOFF), 0);
    const double writeBound = WriteTimeoutFor(3, 8);
    const double silence = ReadTimeoutsFor(3, 1).totalMs;
    std::uint8_t count = 0;
    TDataArea data{};
    ExpectDuration(writeBound + silence, 3 * kLateMs,
                   [&] { EXPECT_EQ(c.ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data), kResNoAnswer); });
    EXPECT_EQ(peer.Drain(), B{});

    ASSERT_EQ(::tcflow(peer.SlaveFd(), TCOON), 0);
    peer.Serve(8, AppendCrc({0x01, 0x03, 0x02, 0x00, 0x07}));
    EXPECT_EQ(c.ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data), kResOk);
    peer.Join();
    EXPECT_EQ(data[1], 0x07);
    c.Disconnect();
}

}  // namespace
