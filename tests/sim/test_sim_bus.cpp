// The simulated line: several sensors, broadcasts, frame delimiting by silence, timing, and
// masters that open and close the device.
#include <gtest/gtest.h>

#include <thread>

#include "SimTestMaster.h"
#include "SimVantor.h"

using namespace simtest;
using vantor::sim::SimBus;
using vantor::sim::SimSensor;

namespace {

class SimLine : public ::testing::Test {
protected:
    SimBus bus;
    SimSensor& first = bus.AddSensor(1);
    SimSensor& second = bus.AddSensor(5);
};

TEST_F(SimLine, TwoSensorsEachWithItsOwnState)
{
    TestMaster master(bus.DevicePath());
    EXPECT_EQ(master.Transact("01 03 00 08 00 04 C5 CB"), "01 03 08 41 42 31 32 33 34 35 36 D6 06");
    EXPECT_EQ(master.Transact("05 03 00 08 00 04 C4 4F"), "05 03 08 41 42 31 32 33 34 35 37 02 F6");
    EXPECT_EQ(master.Transact("05 03 00 06 00 01 65 8F"), "05 03 02 01 05 88 17");
    // Moving the second sensor to 9 leaves the first alone.
    EXPECT_EQ(master.Transact("05 06 00 06 00 09 A8 49"), "05 06 00 06 00 09 A8 49");
    EXPECT_EQ(master.Transact("09 03 00 06 00 01 65 43"), "09 03 02 00 09 99 83");
    EXPECT_EQ(master.Transact("01 03 00 06 00 01 64 0B"), "01 03 02 01 01 78 14");
    EXPECT_EQ(bus.SensorAt(9), &second);
    EXPECT_EQ(bus.SensorAt(5), nullptr);
    first.SetSerial("XY000001");
    EXPECT_EQ(second.Serial(), "AB123457");
}

TEST_F(SimLine, BroadcastIsExecutedByAllAndAnsweredByNone)
{
    TestMaster master(bus.DevicePath());
    master.Send(Hex("00 06 00 07 05 FF 7A CA"));
    ASSERT_TRUE(bus.WaitForFrames(1, 2s));
    EXPECT_TRUE(master.Quiet());
    EXPECT_EQ(master.Transact("01 03 00 07 00 01 35 CB"), "01 03 02 05 FF FB 54");
    EXPECT_EQ(master.Transact("05 03 00 07 00 01 34 4F"), "05 03 02 05 FF 0A 94");

    // A broadcast self test runs on both; a broadcast with a bad value changes nothing.
    master.Send(Hex("00 64 00 5B"));
    ASSERT_TRUE(bus.WaitForFrames(4, 2s));
    EXPECT_EQ(first.SelfTestCount(), 1);
    EXPECT_EQ(second.SelfTestCount(), 1);
    master.Send(Hex("00 06 00 06 02 07 28 B8"));  // address 7 for everybody, baud index 2
    ASSERT_TRUE(bus.WaitForFrames(5, 2s));
    EXPECT_TRUE(master.Quiet());
    EXPECT_EQ(first.Address(), 7);
    EXPECT_EQ(second.Address(), 7);
}

TEST_F(SimLine, BaudIndexChangeIsReported)
{
    std::vector<std::pair<int, int>> changes;
    std::mutex m;
    bus.OnBaudChange([&](std::uint8_t address, std::uint8_t index) {
        const std::lock_guard<std::mutex> lock(m);
        changes.emplace_back(address, index);
    });
    TestMaster master(bus.DevicePath());
    EXPECT_EQ(master.Transact("01 06 00 06 02 11 A8 A7"), "01 06 00 06 02 11 A8 A7");
    const std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{0x11, 2}}));
}

TEST_F(SimLine, AFrameEndsAtLineSilence)
{
    TestMaster master(bus.DevicePath(), B38400);  // 3.5 characters: 1.75 ms
    EXPECT_EQ(master.Transact("01 03 00 06 00 01 64 0B"), "01 03 02 01 01 78 14");
    // A request with a pause of many character times in it is two fragments, both ignored.
    master.Send(Hex("01 03 00"));
    std::this_thread::sleep_for(10ms);  // a gap on the wire, not a synchronisation
    master.Send(Hex("06 00 01 64 0B"));
    ASSERT_TRUE(bus.WaitForFrames(3, 2s));
    EXPECT_TRUE(master.Quiet());
    const auto frames = bus.ReceivedFrames();
    EXPECT_EQ(ToHex(frames[1]), "01 03 00");
    EXPECT_EQ(ToHex(frames[2]), "06 00 01 64 0B");
}

TEST_F(SimLine, SilenceFollowsTheLineSpeedOfTheMaster)
{
    TestMaster master(bus.DevicePath(), B1200);  // 3.5 characters: 32 ms
    master.Send(Hex("01 03 00"));
    std::this_thread::sleep_for(5ms);  // shorter than 3.5 characters at 1200 baud
    master.Send(Hex("06 00 01 64 0B"));
    EXPECT_EQ(ToHex(master.Receive()), "01 03 02 01 01 78 14");
    EXPECT_EQ(bus.FrameCount(), 1u);
}

TEST_F(SimLine, AnswerStartsPromptly)
{
    TestMaster master(bus.DevicePath(), B38400);
    master.Transact(Hex("01 03 00 06 00 01 64 0B"));  // warm-up
    auto best = std::chrono::steady_clock::duration::max();
    for (int i = 0; i < 5; ++i) {
        master.Send(Hex("01 03 00 06 00 01 64 0B"));
        const auto sent = std::chrono::steady_clock::now();
        pollfd p{master.Fd(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 1000), 1);
        best = std::min(best, std::chrono::steady_clock::now() - sent);
        EXPECT_EQ(ToHex(master.Receive()), "01 03 02 01 01 78 14");
    }
    // At least the 1.75 ms of silence, and not much more.
    EXPECT_GE(best, std::chrono::microseconds(1700));
    EXPECT_LT(best, 20ms);
}

TEST_F(SimLine, MastersMayOpenAndCloseTheDeviceAtWill)
{
    for (int i = 0; i < 5; ++i) {
        TestMaster master(bus.DevicePath());
        EXPECT_EQ(master.Transact("01 03 00 06 00 01 64 0B"), "01 03 02 01 01 78 14");
    }
    // An answer nobody reads is thrown away by the next master's flush.
    {
        TestMaster master(bus.DevicePath());
        master.Send(Hex("05 03 00 06 00 01 65 8F"));
        ASSERT_TRUE(bus.WaitForFrames(6, 2s));
    }
    TestMaster master(bus.DevicePath());
    EXPECT_EQ(master.Transact("01 03 00 06 00 01 64 0B"), "01 03 02 01 01 78 14");
}

TEST(SimBusLife, StopsPromptlyAndStopIsIdempotent)
{
    SimBus bus;
    bus.AddSensor(1);
    const std::string path = bus.DevicePath();
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u);
    bus.Stop();
    bus.Stop();
}

}  // namespace
