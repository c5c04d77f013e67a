// Time limits of the real POSIX line, measured over a pseudo-terminal whose peer stays silent:
// never early, at most a few milliseconds late. Run alone (RUN_SERIAL) so load from other
// tests does not blur the figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "PeerPty.h"
#include "UniteKorvane.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kLateMs = 5.0;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Every run must last at least `nominal`; the best of three at most kLateMs more.
template <class F>
void ExpectDuration(double nominal, F&& action)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        action();
        const double ms = MsSince(t0);
        EXPECT_GE(ms, nominal);
        best = std::min(best, ms);
    }
    EXPECT_LE(best, nominal + kLateMs);
}

struct TimingTest : ::testing::Test {
    TPeerPty peer;
    TComPort port;
    void SetUp() override { port.SetPortName(peer.SlavePath()); }
};

TEST_F(TimingTest, SingleByteReadTimeoutPerRate)
{
    const struct { std::uint8_t row; double ms; } rows[] = {{1, 48}, {2, 44}, {3, 42}, {4, 41}, {5, 41}, {6, 41}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << int(r.row));
        port.SetRateRow(r.row);
        ASSERT_TRUE(port.Open());
        ExpectDuration(r.ms, [&] {
            std::uint8_t b = 0;
            EXPECT_EQ(port.Read(&b, 1), 0u);
        });
        port.Close();
    }
}

TEST_F(TimingTest, LongerReadsWaitPerByteAndEndAtAnIdleLine)
{
    port.SetRateRow(3);
    ASSERT_TRUE(port.Open());
    ExpectDuration(3 * 22 + 20, [&] {
        std::array<std::uint8_t, 3> b{};
        EXPECT_EQ(port.Read(b.data(), b.size()), 0u);
    });
    // One byte waiting, ten asked: the read ends once the line has been idle 22 ms.
    ExpectDuration(22, [&] {
        peer.Send({0x5A});
        pollfd p{peer.SlaveFd(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1);
        std::array<std::uint8_t, 10> b{};
        EXPECT_EQ(port.Read(b.data(), b.size()), 1u);
        EXPECT_EQ(b[0], 0x5A);
    });
    port.Close();
}

TEST_F(TimingTest, EveryOpenAttemptPauses200Ms)
{
    const auto t0 = Clock::now();
    port.SetActive(true);
    const double opening = MsSince(t0);
    ASSERT_TRUE(port.Active());
    EXPECT_GE(opening, 200.0);
    EXPECT_LE(opening, 200.0 + kLateMs);

    const auto t1 = Clock::now();
    port.SetActive(true);
    EXPECT_LT(MsSince(t1), 2.0);
    port.SetActive(false);

    TComPort missing;
    missing.SetPortName("/dev/no-such-korvane-device");
    const auto t2 = Clock::now();
    missing.SetActive(true);
    const double failed = MsSince(t2);
    EXPECT_FALSE(missing.Active());
    EXPECT_GE(failed, 200.0);
    EXPECT_LE(failed, 200.0 + kLateMs);
}

TEST_F(TimingTest, TransactionOnAClosedPortCostsThePause)
{
    TConnexion c;
    c.SetPortName(peer.SlavePath());
    c.SetBaudCode(2);
    std::uint8_t count = 0;
    TDataArea data{};
    auto t0 = Clock::now();
    EXPECT_EQ(c.ReadRegisters(kFnReadHolding, 0, 1, count, data), kResNoAnswer);
    const double closed = MsSince(t0);
    EXPECT_GE(closed, 200.0 + 42.0);
    EXPECT_LE(closed, 200.0 + 42.0 + 2 * kLateMs);

    ASSERT_EQ(c.Connect(), kStatusOk);
    t0 = Clock::now();
    EXPECT_EQ(c.ReadRegisters(kFnReadHolding, 0, 1, count, data), kResNoAnswer);
    const double open = MsSince(t0);
    EXPECT_GE(open, 42.0);
    EXPECT_LE(open, 42.0 + kLateMs);
    c.Disconnect();
}

}  // namespace
