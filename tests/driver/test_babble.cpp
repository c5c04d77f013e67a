// A line that never falls silent because a stray byte comes every 25 ms, inside the 42 ms
// silence of 9600 baud with room for the pseudo-terminal's own delivery delays on a busy machine
// (a byte the driver saw late would end the answer early): the answer is given up after the time
// the longest accepted answer takes on the line plus one silence, not after hundreds of bytes. At
// 9600 baud with even parity and two stop bits a character is 12 bits, so 260 characters take
// 325 ms; with the 42 ms silence the bound is 367 ms. Run alone (RUN_SERIAL) so load from other
// tests does not blur it.
#include <gtest/gtest.h>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>

#include "PeerPty.h"
#include "UniteKorvane.h"
#include "UtilKorvane.h"

namespace {

using B = TByteString;
using Clock = std::chrono::steady_clock;

constexpr double kBoundMs = 367.0;
constexpr double kBabbleLateMs = 10.0;
constexpr auto kGap = std::chrono::milliseconds(25);
constexpr double kSilenceMs = 42.0;

double MsBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A slave that meets every request with a byte of its own identifier at once and then one more
// every 25 ms, until the next request or the end of the test. It notes the widest gap it let
// pass within a burst, so that a sample spoilt by a late peer thread can be told.
class TSlowBabbler {
public:
    TSlowBabbler()
    {
        pty_.Run([this](TPeerPty& p) {
            Clock::time_point next = Clock::time_point::max();
            Clock::time_point last{};
            while (!stop_) {
                const Clock::time_point now = Clock::now();
                if (now >= next) {
                    p.Send({0x01});
                    if (last != Clock::time_point{})
                        worstGapMs_ = std::max(worstGapMs_.load(), MsBetween(last, Clock::now()));
                    last = Clock::now();
                    next += kGap;
                    continue;
                }
                const auto wait = next == Clock::time_point::max()
                                      ? std::chrono::milliseconds(5)
                                      : std::min(std::chrono::ceil<std::chrono::milliseconds>(next - now),
                                                 std::chrono::milliseconds(5));
                pollfd fd{p.MasterFd(), POLLIN, 0};
                if (::poll(&fd, 1, static_cast<int>(wait.count())) > 0 && !p.Drain().empty()) {
                    ++requests_;
                    next = Clock::now();
                    last = {};
                }
            }
        });
    }
    ~TSlowBabbler()
    {
        stop_ = true;
        pty_.Join();
    }
    TSlowBabbler(const TSlowBabbler&) = delete;
    TSlowBabbler& operator=(const TSlowBabbler&) = delete;

    const std::string& Path() const { return pty_.SlavePath(); }
    int Requests() const { return requests_; }
    // Starts a new sample: forgets the gaps seen so far.
    void NewSample() { worstGapMs_ = 0; }
    // The peer kept to its pace: every gap left the line short of falling silent.
    bool KeptPace() const { return worstGapMs_ < kSilenceMs - 2; }

private:
    TPeerPty pty_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::atomic<double> worstGapMs_{0};
};

struct SlowBabble : ::testing::Test {
    TSlowBabbler peer;
    TConnexion c;
    void SetUp() override
    {
        c.SetPortName(peer.Path());
        c.SetBaudCode(2);  // 9600 baud, even parity and two stop bits by default
        ASSERT_EQ(c.Connect(), kStatusOk);
    }
    void TearDown() override { c.Disconnect(); }

    // Runs the request three times on samples where the peer kept its pace; every run takes at
    // least `nominal` and gives -2, the best at most `late` more. A run far over gives up.
    template <class F>
    void ExpectBounded(double nominal, double late, F&& request)
    {
        double best = 1e9;
        int spoilt = 0;
        for (int good = 0; good < 3;) {
            peer.NewSample();
            const auto t0 = Clock::now();
            const TResultCode r = request();
            const double ms = MsBetween(t0, Clock::now());
            ASSERT_LT(ms, 3 * nominal) << "the answer was not cut off in time";
            if (!peer.KeptPace()) {
                ASSERT_LT(++spoilt, 10) << "peer too slow to test against";
                continue;
            }
            ++good;
            EXPECT_EQ(r, kResFrameError);
            EXPECT_GE(ms, nominal);
            best = std::min(best, ms);
        }
        EXPECT_LE(best, nominal + late);
        RecordProperty("best_ms", std::to_string(best));
    }
};

TEST_F(SlowBabble, ReadGivesUpWithinTheBound)
{
    ExpectBounded(kBoundMs, kBabbleLateMs, [&] {
        std::uint8_t count = 0;
        TDataArea data{};
        return c.ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data);
    });
}

TEST_F(SlowBabble, WriteGivesUpWithinFiveBounds)
{
    const int before = peer.Requests();
    ExpectBounded(5 * kBoundMs, 5 * kBabbleLateMs,
                  [&] { return c.WriteRegister(modbus::kWriteSingle, 0x0010, 0x00, 0x2A); });
    EXPECT_GE(peer.Requests() - before, 15);  // five attempts each time
}

TEST_F(SlowBabble, EchoAddsItsOwnCharactersAndOneSilence)
{
    // 8 echoed and 260 answer characters of 12 bits: 335 ms, and two silences of 42 ms.
    c.Port().SetEcho(true);
    ExpectBounded(335.0 + 2 * kSilenceMs, kBabbleLateMs, [&] {
        std::uint8_t count = 0;
        TDataArea data{};
        return c.ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data);
    });
}

// The longest answer, sent as fast as the pseudo-terminal carries it, is still kept at 9600.
TEST(SlowLine, LongestAnswerAtLineSpeedIsKept)
{
    TPeerPty peer;
    TConnexion c;
    c.SetPortName(peer.SlavePath());
    c.SetBaudCode(2);
    ASSERT_EQ(c.Connect(), kStatusOk);
    B answer{0x01, 0x04, 0xFF};
    for (int i = 0; i < 255; ++i)
        answer.push_back(static_cast<std::uint8_t>(i * 7));
    answer = AppendCrc(answer);
    for (const bool echo : {false, true}) {
        c.Port().SetEcho(echo);
        peer.Run([&](TPeerPty& p) {
            const B request = p.Receive(8);
            if (request.size() != 8)
                return;
            B reply = echo ? request : B{};
            reply.insert(reply.end(), answer.begin(), answer.end());
            p.Send(reply);
        });
        std::uint8_t count = 0;
        TDataArea data{};
        EXPECT_EQ(c.ReadRegisters(modbus::kReadInput, 0, 125, count, data), kResOk) << "echo " << echo;
        peer.Join();
        EXPECT_EQ(count, 255);
        EXPECT_TRUE(std::equal(answer.begin() + 3, answer.end() - 2, data.begin()));
    }
    c.Disconnect();
}

}  // namespace
