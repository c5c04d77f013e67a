// The simulated sensor's register map, encodings and exceptions, seen from a hand-built master
// with frames and CRCs written out byte by byte.
#include <gtest/gtest.h>

#include <cstring>

#include "SimTestMaster.h"
#include "SimVantor.h"

using namespace simtest;
using vantor::sim::SimBus;
using vantor::sim::SimSensor;

namespace {

class SimRegisters : public ::testing::Test {
protected:
    SimBus bus;
    SimSensor& sensor = bus.AddSensor(1);
    TestMaster master{bus.DevicePath()};
};

TEST_F(SimRegisters, DefaultSettingsInHoldingRegisters)
{
    // Register 6: baud index 1 (19200) and address 1.
    EXPECT_EQ(master.Transact("01 03 00 06 00 01 64 0B"), "01 03 02 01 01 78 14");
    // Register 7: divider 10 (5 Hz), low byte 0xFF.
    EXPECT_EQ(master.Transact("01 03 00 07 00 01 35 CB"), "01 03 02 0A FF FE A4");
    // Serial number "AB123456".
    EXPECT_EQ(master.Transact("01 03 00 08 00 04 C5 CB"), "01 03 08 41 42 31 32 33 34 35 36 D6 06");
    // Coefficient B of a 5.0 Hz filter: 16.944272 = 0x41878DDE.
    EXPECT_EQ(master.Transact("01 03 00 02 00 02 65 CB"), "01 03 04 41 87 8D DE BB 2E");
    EXPECT_NEAR(sensor.CutoffHz(), 5.0, 1e-4);
    // Firmware 1.10.
    EXPECT_EQ(master.Transact("01 04 00 0C 00 01 F1 C9"), "01 04 02 01 0A 38 A7");
}

TEST_F(SimRegisters, SystemRegistersHoldTheFilterCoefficients)
{
    EXPECT_EQ(master.Transact("01 41 00 40 00 06 BC 13"), "01 41 0C 3D 8A 25 FD 41 87 8D DE C0 C3 D4 0B EF 94");
    // B = 1.7888544 (0x3FE4F92E) written word by word gives a 10 Hz cut-off, read back in
    // holding 2-3.
    EXPECT_EQ(master.Transact("01 42 00 42 3F E4 C8 6A"), "01 42 00 42 3F E4 C8 6A");
    EXPECT_EQ(master.Transact("01 42 00 43 F9 2E 4A 5D"), "01 42 00 43 F9 2E 4A 5D");
    EXPECT_EQ(master.Transact("01 03 00 02 00 02 65 CB"), "01 03 04 3F E4 F9 2E 74 5C");
    EXPECT_EQ(sensor.System(66), 0x3FE4);
    EXPECT_NEAR(sensor.CutoffHz(), 10.0, 1e-4);
}

TEST_F(SimRegisters, FifoDividerRoundTripKeepsTheLowByte)
{
    EXPECT_EQ(master.Transact("01 06 00 07 02 FF 79 2B"), "01 06 00 07 02 FF 79 2B");
    EXPECT_EQ(master.Transact("01 03 00 07 00 01 35 CB"), "01 03 02 02 FF F9 64");
    EXPECT_EQ(sensor.Holding(7), 0x02FF);
}

TEST_F(SimRegisters, AddressChangeTakesEffectAfterTheAnswer)
{
    // Baud index 2, address 0x11: the answer still comes from address 1.
    EXPECT_EQ(master.Transact("01 06 00 06 02 11 A8 A7"), "01 06 00 06 02 11 A8 A7");
    EXPECT_EQ(sensor.Address(), 0x11);
    EXPECT_EQ(sensor.BaudIndex(), 2);
    EXPECT_EQ(master.Transact("11 03 00 06 00 01 66 9B"), "11 03 02 02 11 B8 EB");
    // The old address is silent now.
    master.Send(Hex("01 03 00 06 00 01 64 0B"));
    EXPECT_TRUE(bus.WaitForFrames(3, 2s));
    EXPECT_TRUE(master.Quiet());
}

TEST_F(SimRegisters, LivingInputValues)
{
    // Temperature pinned at 22.5 °C reads 41 B4 00 00.
    sensor.ForceTemperature(22.5F);
    EXPECT_EQ(master.Transact("01 04 00 02 00 02 D0 0B"), "01 04 04 41 B4 00 00 AF 9E");

    // Monitoring: status clear, raw values at their operating points.
    const Bytes m = master.Transact(Hex("01 04 00 04 00 08 B0 0D"));
    ASSERT_EQ(m.size(), 3u + 16u + 2u);
    EXPECT_EQ(ToHex(Bytes(m.begin(), m.begin() + 3)), "01 04 10");
    EXPECT_EQ(m[3], 0);
    EXPECT_EQ(m[4], 0);
    auto raw = [&m](int i) { return m[3 + 2 * i] << 8 | m[4 + 2 * i]; };
    // Isupply mA, Icellule, Vref, Vin, Vdd, Vss, Vout with the display's scalings.
    EXPECT_NEAR(raw(1) * 5000 * 0.01 / 1024, 12.0, 1.0);
    EXPECT_NEAR(raw(2) * 5000.0 / (1024 * 1500), 1.2, 0.1);
    EXPECT_NEAR(raw(3) * 5.0 / 1024, 2.5, 0.05);
    EXPECT_NEAR(raw(4) * 55.0 / 1024 + 0.7, 24.0, 0.5);
    EXPECT_NEAR(raw(5) * 10.0 / 1024, 5.0, 0.1);
    EXPECT_NEAR(raw(6) * -10.64 / 1024, -5.0, 0.1);
    EXPECT_NEAR((raw(7) * 5.0 / 1024 - 2.5) * 2, 2.0, 0.3);

    // Acceleration around 1 g, and it moves.
    auto accel = [this] {
        const Bytes a = master.Transact(Hex("01 04 00 00 00 02 71 CB"));
        EXPECT_EQ(a.size(), 9u);
        if (a.size() != 9u)
            return 0.0f;
        const std::uint32_t bits = static_cast<std::uint32_t>(a[3]) << 24 | a[4] << 16 | a[5] << 8 | a[6];
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    };
    const float a1 = accel(), a2 = accel();
    EXPECT_NEAR(a1, 1.0, 0.15);
    EXPECT_NEAR(a2, 1.0, 0.15);
    EXPECT_NE(a1, a2);
}

TEST_F(SimRegisters, MonitoredValueOutOfRangeSetsItsStatusBit)
{
    using vantor::sim::Monit;
    sensor.ForceMonitor(Monit::Vin, 40);   // about 2.8 V on a 24 V supply
    sensor.ForceMonitor(Monit::Vss, 300);  // -3.1 V
    sensor.ForceTemperature(85.0F);
    const Bytes m = master.Transact(Hex("01 04 00 04 00 08 B0 0D"));
    ASSERT_EQ(m.size(), 21u);
    EXPECT_EQ(m[3], 0x04);         // T°
    EXPECT_EQ(m[4], 0x10 | 0x40);  // Vin, V-
    EXPECT_EQ(m[3 + 2 * 4] << 8 | m[4 + 2 * 4], 40);

    sensor.ForceMonitor(Monit::Vin, std::nullopt);
    sensor.ForceMonitor(Monit::Vss, std::nullopt);
    sensor.ForceTemperature(std::nullopt);
    const Bytes n = master.Transact(Hex("01 04 00 04 00 08 B0 0D"));
    ASSERT_EQ(n.size(), 21u);
    EXPECT_EQ(n[3], 0);
    EXPECT_EQ(n[4], 0);
}

TEST_F(SimRegisters, ExceptionsOfACarefulDevice)
{
    // Unknown function.
    EXPECT_EQ(master.Transact("01 05 00 00 FF 00 8C 3A"), "01 85 01 83 50");
    // Outside the map: holding 12, holding 0, input 13, input 1..13, holding 2 written,
    // system 70.
    EXPECT_EQ(master.Transact("01 03 00 0C 00 01 44 09"), "01 83 02 C0 F1");
    EXPECT_EQ(master.Transact("01 03 00 00 00 01 84 0A"), "01 83 02 C0 F1");
    EXPECT_EQ(master.Transact("01 04 00 0D 00 01 A0 09"), "01 84 02 C2 C1");
    EXPECT_EQ(master.Transact("01 04 00 01 00 0D 60 0F"), "01 84 02 C2 C1");
    EXPECT_EQ(master.Transact("01 06 00 02 00 00 28 0A"), "01 86 02 C3 A1");
    EXPECT_EQ(master.Transact("01 42 00 46 00 00 98 10"), "01 C2 02 F0 A1");
    // Quantity 0 and 126.
    EXPECT_EQ(master.Transact("01 03 00 02 00 00 E4 0A"), "01 83 03 01 31");
    EXPECT_EQ(master.Transact("01 03 00 02 00 7E 64 2A"), "01 83 03 01 31");
    // Address 0 and 128, baud index 3.
    EXPECT_EQ(master.Transact("01 06 00 06 01 00 68 5B"), "01 86 03 02 61");
    EXPECT_EQ(master.Transact("01 06 00 06 01 80 69 FB"), "01 86 03 02 61");
    EXPECT_EQ(master.Transact("01 06 00 06 03 01 A8 FB"), "01 86 03 02 61");
    // Nothing changed.
    EXPECT_EQ(sensor.Holding(6), 0x0101);
    EXPECT_EQ(master.Transact("01 03 00 09 00 01 54 08"), "01 03 02 31 32 2C 01");
}

TEST_F(SimRegisters, BadCrcAndOtherAddressesAreIgnored)
{
    master.Send(Hex("01 03 00 06 00 01 64 0C"));  // CRC off by one
    master.Send(Hex(""));
    ASSERT_TRUE(bus.WaitForFrames(1, 2s));
    EXPECT_TRUE(master.Quiet());
    master.Send(Hex("05 03 00 06 00 01 65 8F"));  // nobody at 5
    ASSERT_TRUE(bus.WaitForFrames(2, 2s));
    EXPECT_TRUE(master.Quiet());
    EXPECT_EQ(sensor.RequestCount(), 0);
    EXPECT_EQ(bus.ReceivedFrames().front(), Hex("01 03 00 06 00 01 64 0C"));
}

TEST_F(SimRegisters, SelfTestShowsInTheStatusWordForAMoment)
{
    sensor.SetSelfTestTime(300ms);
    EXPECT_EQ(master.Transact("01 64 01 CB"), "01 64 01 CB");
    EXPECT_EQ(sensor.SelfTestCount(), 1);
    const Bytes m = master.Transact(Hex("01 04 00 04 00 08 B0 0D"));
    ASSERT_EQ(m.size(), 21u);
    EXPECT_EQ(m[3], 0xF0);
    // Afterwards the bits clear again (polled, bounded).
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (sensor.SelfTestRunning() && std::chrono::steady_clock::now() < deadline)
        master.Quiet(20ms);
    const Bytes n = master.Transact(Hex("01 04 00 04 00 08 B0 0D"));
    ASSERT_EQ(n.size(), 21u);
    EXPECT_EQ(n[3], 0x00);
}

TEST_F(SimRegisters, ResetAnswersThenRebootsWithItsSettings)
{
    sensor.SetRebootTime(300ms);
    EXPECT_EQ(master.Transact("01 06 00 07 02 FF 79 2B"), "01 06 00 07 02 FF 79 2B");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(master.Transact("01 46 81 D2"), "01 46 81 D2");
    EXPECT_EQ(sensor.ResetCount(), 1);
    // Silent while rebooting.
    master.Send(Hex("01 03 00 07 00 01 35 CB"));
    EXPECT_TRUE(master.Quiet(100ms));
    EXPECT_EQ(sensor.RequestCount(0x03), 1);
    // Back after the reboot time, with the divider it had.
    std::string answer;
    while (answer.empty() && std::chrono::steady_clock::now() - start < 3s) {
        master.Send(Hex("01 03 00 07 00 01 35 CB"));
        answer = ToHex(master.Receive(50ms));
    }
    EXPECT_EQ(answer, "01 03 02 02 FF F9 64");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

}  // namespace
