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
    const struct {
        std::uint8_t row;
        double ms;
    } rows[] = {{1, 48}, {2, 44}, {3, 42}, {4, 41}, {5, 41}, {6, 41}};
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
    ExpectDuration(200.0, [&] {
        port.SetActive(false);
        port.SetActive(true);
        EXPECT_TRUE(port.Active());
    });
    // Already open: no new open, no pause.
    ExpectDuration(0.0, [&] { port.SetActive(true); });
    port.SetActive(false);

    TComPort missing;
    missing.SetPortName("/dev/no-such-korvane-device");
    ExpectDuration(200.0, [&] {
        missing.SetActive(true);
        EXPECT_FALSE(missing.Active());
    });
}

TEST_F(TimingTest, TransactionOnAClosedPortCostsThePause)
{
    TConnexion c;
    c.SetPortName(peer.SlavePath());
    c.SetBaudCode(2);
    std::uint8_t count = 0;
    TDataArea data{};
    // Closed: open, 200 ms pause, one read time-out of silence, close.
    ExpectDuration(200.0 + 42.0,
                   [&] { EXPECT_EQ(c.ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResNoAnswer); });
    ASSERT_EQ(c.Connect(), kStatusOk);
    ExpectDuration(42.0, [&] { EXPECT_EQ(c.ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResNoAnswer); });
    c.Disconnect();
}

}  // namespace
