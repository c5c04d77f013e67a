// Every fault a simulated sensor can show, seen on the wire.
#include <gtest/gtest.h>

#include "SimTestMaster.h"
#include "SimVantor.h"

using namespace simtest;
using vantor::sim::SensorFaults;
using vantor::sim::SimBus;
using vantor::sim::SimSensor;

namespace {

constexpr const char* kRead6 = "01 03 00 06 00 01 64 0B";
constexpr const char* kAnswer6 = "01 03 02 01 01 78 14";

class SimFaults : public ::testing::Test {
protected:
    SimBus bus;
    SimSensor& sensor = bus.AddSensor(1);
    TestMaster master{bus.DevicePath()};
};

TEST_F(SimFaults, SilentSensorCountsButNeverAnswers)
{
    sensor.SetFaults({.silent = true});
    for (std::size_t n = 1; n <= 5; ++n) {
        master.Send(Hex("01 06 00 07 02 FF 79 2B"));
        ASSERT_TRUE(bus.WaitForFrames(n, 2s));
    }
    EXPECT_TRUE(master.Quiet());
    EXPECT_EQ(sensor.RequestCount(0x06), 5);
    EXPECT_EQ(sensor.AnswerCount(), 0);
    // A silent sensor still executes the write.
    EXPECT_EQ(sensor.Holding(7), 0x02FF);
}

TEST_F(SimFaults, WrongCrc)
{
    sensor.SetFaults({.wrongCrc = true});
    EXPECT_EQ(master.Transact(kRead6), "01 03 02 01 01 78 EB");
}

TEST_F(SimFaults, WrongAddressWithValidCrc)
{
    sensor.SetFaults({.wrongAddress = true});
    EXPECT_EQ(master.Transact(kRead6), "02 03 02 01 01 3C 14");
}

TEST_F(SimFaults, FixedExceptionCodeAndNoExecution)
{
    sensor.SetFaults({.exceptionCode = 4});
    EXPECT_EQ(master.Transact(kRead6), "01 83 04 40 F3");
    EXPECT_EQ(master.Transact("01 06 00 07 02 FF 79 2B"), "01 86 04 43 A3");
    EXPECT_EQ(sensor.Holding(7), 0x0AFF);
}

TEST_F(SimFaults, AnswerDelay)
{
    sensor.SetFaults({.delayMs = 150});
    const auto start = std::chrono::steady_clock::now();
    master.Send(Hex(kRead6));
    EXPECT_EQ(ToHex(master.Receive(1s)), kAnswer6);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

TEST_F(SimFaults, AdapterEchoComesBeforeTheAnswer)
{
    sensor.SetFaults({.echo = true});
    EXPECT_EQ(master.Transact(kRead6), std::string(kRead6) + " " + kAnswer6);
    // A frame with a bad CRC is echoed too, and not answered.
    EXPECT_EQ(master.Transact("01 03 00 06 00 01 64 0C"), "01 03 00 06 00 01 64 0C");
    // Frames for other addresses are not.
    master.Send(Hex("05 03 00 06 00 01 65 8F"));
    ASSERT_TRUE(bus.WaitForFrames(3, 2s));
    EXPECT_TRUE(master.Quiet());
}

TEST_F(SimFaults, BabblingLineNeverFallsSilent)
{
    sensor.SetFaults({.babble = true});
    // 200 bytes, a byte about every millisecond, without a pause as long as the 41 ms of
    // silence that end an answer for the driver.
    const auto start = std::chrono::steady_clock::now();
    const Bytes noise = master.Receive(200ms, 41ms, 200);
    EXPECT_GE(noise.size(), 200u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    sensor.SetFaults({});
    master.Receive(200ms, 25ms, 100000);  // drains until the line is quiet again
    EXPECT_TRUE(master.Quiet());
}

TEST_F(SimFaults, BabbleStartsAtOnceOnAnIdleBus)
{
    // Once a transaction is over the serving thread has nothing to wait for: switching the fault
    // on must wake it, not wait for the next request.
    EXPECT_EQ(master.Transact(kRead6), kAnswer6);
    EXPECT_TRUE(master.Quiet(100ms));
    sensor.SetFaults({.babble = true});
    EXPECT_GE(master.Receive(300ms, 41ms, 20).size(), 20u);
    sensor.SetFaults({});
    master.Receive(200ms, 25ms, 100000);
}

TEST_F(SimFaults, AnswersCutShort)
{
    sensor.SetFaults({.cutBytes = 2});
    EXPECT_EQ(master.Transact(kRead6), "01 03 02 01 01");
    sensor.SetFaults({.cutBytes = 5});
    EXPECT_EQ(master.Transact(kRead6), "01 03");
}

TEST_F(SimFaults, RandomCorruption)
{
    sensor.SetFaults({.corruptProbability = 1.0});
    const Bytes good = Hex(kAnswer6);
    const Bytes bad = master.Transact(Hex(kRead6));
    ASSERT_EQ(bad.size(), good.size());
    for (std::size_t i = 0; i < good.size(); ++i)
        EXPECT_NE(bad[i], good[i]) << i;

    // At one half, over 20 answers of 7 bytes, some bytes are garbled and some are not.
    sensor.SetFaults({.corruptProbability = 0.5});
    int garbled = 0, intact = 0;
    for (int n = 0; n < 20; ++n) {
        const Bytes a = master.Transact(Hex(kRead6));
        ASSERT_EQ(a.size(), good.size());
        for (std::size_t i = 0; i < good.size(); ++i)
            (a[i] == good[i] ? intact : garbled)++;
    }
    EXPECT_GT(garbled, 20);
    EXPECT_GT(intact, 20);
}

}  // namespace
