// The korvane driver library against the simulated sensors: every export, over the
// pseudo-terminal, as the program uses them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "SimLink.h"
#include "SimTestProgram.h"
#include "SimVantor.h"
#include "korvane.h"

using namespace std::chrono_literals;
using vantor::sim::SensorFaults;
using vantor::sim::SimBus;
using vantor::sim::SimSensor;

namespace {

using Clock = std::chrono::steady_clock;

std::string Hex(const std::uint8_t* data, int n)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i)
            s += ' ';
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

class SimDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MODBUS_SetupDevice(bus.DevicePath().c_str()), 0);
        ASSERT_EQ(MODBUS_SetupConnect(-1, 2, 3, 1), 0);  // no parity, 19200 baud, slave 1
        ASSERT_EQ(MODBUS_SetupAdditional(0, 0, 0), 0);
    }
    void TearDown() override { MODBUS_ClosePort(); }

    // Reads into the area; returns the result and leaves "count: bytes" in text.
    template <class F>
    std::int32_t Read(F read, std::uint16_t address, std::uint16_t quantity)
    {
        area.fill(0xEE);
        count = 0xEE;
        const std::int32_t r = read(address, quantity, &count, area.data());
        text = Hex(area.data(), count == 0xEE ? 0 : count);
        return r;
    }

    SimBus bus;
    SimSensor& sensor = bus.AddSensor(1);
    std::array<std::uint8_t, 256> area{};
    std::uint8_t count = 0;
    std::string text;
};

TEST_F(SimDriver, ThreeReadsWithThePortHeldOpen)
{
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(text, "01 01");
    EXPECT_EQ(area[2], 0);  // the rest of the area is cleared
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 8, 4), 0);
    EXPECT_EQ(text, "41 42 31 32 33 34 35 36");
    EXPECT_EQ(Read(MODBUS_ReadInputRegisters, 12, 1), 0);
    EXPECT_EQ(text, "01 0A");
    EXPECT_EQ(Read(MODBUS_ReadSystemRegisters, 64, 6), 0);
    EXPECT_EQ(text, "3D 8A 25 FD 41 87 8D DE C0 C3 D4 0B");
    sensor.ForceTemperature(22.5F);
    EXPECT_EQ(Read(MODBUS_ReadInputRegisters, 2, 2), 0);
    EXPECT_EQ(text, "41 B4 00 00");
    // Exceptions become their result codes.
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 12, 1), -21);
    EXPECT_EQ(Read(MODBUS_ReadInputRegisters, 0, 0), -22);
    EXPECT_EQ(sensor.RequestCount(0x03), 3);
    EXPECT_EQ(sensor.RequestCount(0x04), 3);
    EXPECT_EQ(sensor.RequestCount(0x41), 1);
}

TEST_F(SimDriver, TwoWritesAndTheirRetries)
{
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_WriteSingleRegister(7, 0x02, 0xFF), 0);
    EXPECT_EQ(sensor.Holding(7), 0x02FF);
    EXPECT_EQ(MODBUS_WriteSystemRegister(66, 0x3F, 0xE4), 0);
    EXPECT_EQ(MODBUS_WriteSystemRegister(67, 0xF9, 0x2E), 0);
    EXPECT_NEAR(sensor.CutoffHz(), 10.0, 1e-4);
    EXPECT_EQ(MODBUS_WriteSingleRegister(6, 0x03, 0x01), -22);  // baud index 3: refused, once
    EXPECT_EQ(MODBUS_WriteSystemRegister(70, 0, 0), -21);
    EXPECT_EQ(sensor.RequestCount(0x06), 2);

    // A silent sensor gets five attempts, a failed read only one.
    sensor.SetFaults({.silent = true});
    sensor.ClearCounters();
    EXPECT_EQ(MODBUS_WriteSingleRegister(7, 0x05, 0xFF), -3);
    EXPECT_EQ(sensor.RequestCount(0x06), 5);
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), -3);
    EXPECT_EQ(sensor.RequestCount(0x03), 1);
}

TEST_F(SimDriver, FaultsBecomeTheirResultCodes)
{
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    sensor.SetFaults({.wrongCrc = true});
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), -4);
    sensor.SetFaults({.wrongAddress = true});
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), -2);
    sensor.SetFaults({.exceptionCode = 4});
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), -23);
    sensor.SetFaults({.exceptionCode = 7});
    EXPECT_EQ(MODBUS_WriteSystemRegister(64, 0, 0), -23);
    sensor.SetFaults({.cutBytes = 5});  // two bytes left: 01 03
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), -4);
    sensor.SetFaults({.corruptProbability = 1.0});
    const std::int32_t r = Read(MODBUS_ReadHoldingRegisters, 6, 1);
    EXPECT_TRUE(r == -2 || r == -4) << r;
    // A late answer within the driver's silence time still counts.
    sensor.SetFaults({.delayMs = 10});
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
    EXPECT_EQ(text, "01 01");
    sensor.SetFaults({});
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
}

TEST_F(SimDriver, BabblingLineDoesNotHoldTheDriverForever)
{
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    sensor.SetFaults({.babble = true});
    const auto start = Clock::now();
    EXPECT_NE(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
    EXPECT_LT(Clock::now() - start, 3s);
    sensor.SetFaults({});
    // The line recovers once the babbling stops.
    const auto deadline = Clock::now() + 3s;
    std::int32_t r = -1;
    while (r != 0 && Clock::now() < deadline)
        r = Read(MODBUS_ReadHoldingRegisters, 6, 1);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(text, "01 01");
}

TEST_F(SimDriver, AdapterEchoNeedsTheEchoOption)
{
    sensor.SetFaults({.echo = true});
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    // Without the option, echo and answer together fail their CRC check.
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), -4);
    ASSERT_EQ(MODBUS_SetupAdditional(1, 0, 0), 0);
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
    EXPECT_EQ(text, "01 01");
    EXPECT_EQ(MODBUS_WriteSingleRegister(7, 0x03, 0xFF), 0);
    EXPECT_EQ(sensor.RequestCount(0x06), 1);
    // A silent sensor behind an echoing adapter: the echo alone is no answer.
    sensor.SetFaults({.silent = true, .echo = true});
    EXPECT_NE(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
}

TEST_F(SimDriver, ResetSelfTestAndRawExchange)
{
    sensor.SetRebootTime(100ms);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_ResetModule(), 0);
    EXPECT_EQ(sensor.ResetCount(), 1);

    std::array<std::uint8_t, 256> data{};
    std::uint32_t length = 1;
    data[0] = 0x64;
    // Silent while it reboots; then the self test answers.
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), -3);
    EXPECT_EQ(sensor.RequestCount(0x64), 1);
    const auto deadline = Clock::now() + 3s;
    while (sensor.SelfTestCount() == 0 && Clock::now() < deadline) {
        data.fill(0);
        data[0] = 0x64;
        length = 1;
        MODBUS_exchange(data.data(), &length);
    }
    EXPECT_EQ(sensor.SelfTestCount(), 1);
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(data[0], 0x64);

    // The raw exchange hands back an exception answer as it is.
    data.fill(0);
    const std::uint8_t request[] = {0x03, 0x00, 0x0C, 0x00, 0x01};
    std::memcpy(data.data(), request, sizeof request);
    length = sizeof request;
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), 0);
    EXPECT_EQ(Hex(data.data(), static_cast<int>(length)), "83 02");
}

TEST_F(SimDriver, ClosedPortIsOpenedForEachTransaction)
{
    // Closed port: each transaction opens the device (200 ms pause) and closes it again; the
    // simulator keeps serving across the closes.
    const auto t0 = Clock::now();
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
    EXPECT_EQ(Read(MODBUS_ReadInputRegisters, 12, 1), 0);
    const auto closed = Clock::now() - t0;
    EXPECT_GE(closed, 400ms);
    EXPECT_EQ(text, "01 0A");

    ASSERT_EQ(MODBUS_OpenPort(), 0);
    const auto t1 = Clock::now();
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
    EXPECT_EQ(Read(MODBUS_ReadInputRegisters, 12, 1), 0);
    EXPECT_LT(Clock::now() - t1, 400ms);
    EXPECT_EQ(MODBUS_ClosePort(), 0);
    EXPECT_EQ(ClosePort(), 0);
    EXPECT_EQ(OpenPort(), 0);
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), 0);
}

TEST_F(SimDriver, SetupConnectSelectsPortAndSlave)
{
    SimSensor& second = bus.AddSensor(5);
    // Port index 8 is "\\.\COM9": dosdevices/com9 beside the test program.
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const auto link = std::filesystem::path(exe).parent_path() / "dosdevices" / "com9";
    vantor::sim::DeviceLink com9(link.string(), bus.DevicePath());
    ASSERT_EQ(MODBUS_SetupConnect(8, 2, 4, 5), 0);  // no parity, 38400 baud, slave 5
    ASSERT_EQ(SetupConnect(-1, -1, -1, 5), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 8, 4), 0);
    EXPECT_EQ(text, "41 42 31 32 33 34 35 37");
    EXPECT_EQ(second.RequestCount(0x03), 1);
    // Refused settings.
    EXPECT_EQ(MODBUS_SetupConnect(-1, 3, -1, -1), -10);
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, 6, -1), -11);
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, -1, 128), -12);
    EXPECT_EQ(MODBUS_SetupConnect(-2, -1, -1, -1), -13);
    // Broadcast: the write reaches both sensors, the read is refused without sending.
    ASSERT_EQ(MODBUS_SetupConnect(-1, -1, -1, 0), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_WriteSingleRegister(7, 0x05, 0xFF), 0);
    ASSERT_TRUE(bus.WaitForFrames(2, 2s));
    EXPECT_EQ(sensor.Holding(7), 0x05FF);
    EXPECT_EQ(second.Holding(7), 0x05FF);
    EXPECT_EQ(sensor.RequestCount(0x06), 1);
    EXPECT_EQ(Read(MODBUS_ReadHoldingRegisters, 6, 1), -12);
    EXPECT_EQ(bus.FrameCount(), 2u);
}

TEST(SimDriverProgram, TheProgramServesTheDriverThroughItsLink)
{
    // Port index 10 is "\\.\COM11": the program links dosdevices/com11 beside this test.
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const auto link = std::filesystem::path(exe).parent_path() / "dosdevices" / "com11";
    simtest::SimProgram sim({"--id", "1", "--id", "5", "--firmware", "2.3", "--link", link.string()});
    ASSERT_EQ(sim.Line().rfind("device ", 0), 0u);
    ASSERT_EQ(sim.Line().rfind("link ", 0), 0u);

    ASSERT_EQ(MODBUS_SetupConnect(10, 2, 3, 5), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    std::array<std::uint8_t, 256> area{};
    std::uint8_t count = 0;
    EXPECT_EQ(MODBUS_ReadHoldingRegisters(8, 4, &count, area.data()), 0);
    EXPECT_EQ(Hex(area.data(), count), "41 42 31 32 33 34 35 37");
    EXPECT_EQ(MODBUS_ReadInputRegisters(12, 1, &count, area.data()), 0);
    EXPECT_EQ(Hex(area.data(), count), "02 03");
    ASSERT_EQ(MODBUS_SetupConnect(-1, -1, -1, 1), 0);
    EXPECT_EQ(MODBUS_ReadHoldingRegisters(6, 1, &count, area.data()), 0);
    EXPECT_EQ(Hex(area.data(), count), "01 01");
    MODBUS_ClosePort();
    EXPECT_EQ(sim.StopWith(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimDriverVersion, BothNamesGiveTheVersionText)
{
    char a[64], b[64];
    std::memset(a, 'x', sizeof a);
    std::memset(b, 'x', sizeof b);
    EXPECT_EQ(MODBUS_DllVersion(a), 0);
    EXPECT_EQ(Korvane_DllVersion(b), 0);
    EXPECT_STREQ(a, "korvane V3.0. KELDRA S.A. sept 2007.");
    EXPECT_STREQ(b, a);
}

}  // namespace
