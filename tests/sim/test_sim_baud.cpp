// Sensors that hear only their own baud rate: the line speed the master sets on the device
// decides which sensor a frame reaches, and a new baud rate takes effect after its answer.
#include <gtest/gtest.h>

#include "SimOptions.h"
#include "SimTestMaster.h"
#include "SimVantor.h"
#include "UtilKorvane.h"

using namespace simtest;
using vantor::sim::BusOptions;
using vantor::sim::SimBus;

namespace {

Bytes Frame(const std::string& pdu)
{
    return AppendCrc(Hex(pdu));
}

TEST(SimStrictBaud, SensorHearsOnlyItsOwnSpeed)
{
    SimBus bus(BusOptions{.strictBaud = true});
    auto& s = bus.AddSensor(1);  // index 1: 19200 baud
    {
        TestMaster at9600(bus.DevicePath(), B9600);
        at9600.Send(Frame("01 03 00 06 00 01"));
        EXPECT_TRUE(at9600.Receive(300ms).empty());
    }
    EXPECT_EQ(s.RequestCount(), 0);
    TestMaster at19200(bus.DevicePath(), B19200);
    EXPECT_EQ(ToHex(at19200.Transact(Frame("01 03 00 06 00 01"))), ToHex(Frame("01 03 02 01 01")));
}

TEST(SimStrictBaud, NewRateAfterTheAnswer)
{
    SimBus bus(BusOptions{.strictBaud = true});
    bus.AddSensor(3);
    {
        TestMaster at19200(bus.DevicePath(), B19200);
        // Index 2 (38400) and address 3: answered at the old rate, then only 38400 is heard.
        EXPECT_EQ(ToHex(at19200.Transact(Frame("03 06 00 06 02 03"))), ToHex(Frame("03 06 00 06 02 03")));
        at19200.Send(Frame("03 03 00 06 00 01"));
        EXPECT_TRUE(at19200.Receive(300ms).empty());
    }
    TestMaster at38400(bus.DevicePath(), B38400);
    EXPECT_EQ(ToHex(at38400.Transact(Frame("03 03 00 06 00 01"))), ToHex(Frame("03 03 02 02 03")));
}

TEST(SimStrictBaud, OffByDefaultAndAnOption)
{
    EXPECT_FALSE(BusOptions{}.strictBaud);
    EXPECT_TRUE(vantor::sim::ParseOptions({"--strict-baud"}).options.bus.strictBaud);
    EXPECT_NE(vantor::sim::UsageText().find("--strict-baud"), std::string::npos);
    SimBus bus;
    bus.AddSensor(1);
    TestMaster at9600(bus.DevicePath(), B9600);
    EXPECT_EQ(ToHex(at9600.Transact(Frame("01 03 00 06 00 01"))), ToHex(Frame("01 03 02 01 01")));
}

}  // namespace

namespace {

// A sensor that acknowledges writes without storing them.
TEST(SimIgnoredWrites, WritesAreAnsweredButNothingIsStored)
{
    SimBus bus;
    auto& s = bus.AddSensor(1);
    s.SetFaults({.ignoreWrites = true});
    TestMaster master(bus.DevicePath());
    EXPECT_EQ(ToHex(master.Transact(Frame("01 06 00 07 02 FF"))), ToHex(Frame("01 06 00 07 02 FF")));
    EXPECT_EQ(ToHex(master.Transact(Frame("01 42 00 40 12 34"))), ToHex(Frame("01 42 00 40 12 34")));
    EXPECT_EQ(s.Holding(7), 0x0AFF);
    EXPECT_EQ(s.System(64), 0x3D8A);
    EXPECT_EQ(ToHex(master.Transact(Frame("01 03 00 07 00 01"))), ToHex(Frame("01 03 02 0A FF")));
    EXPECT_TRUE(vantor::sim::ParseOptions({"--ignore-writes"}).options.sensors[0].faults.ignoreWrites);
    EXPECT_NE(vantor::sim::UsageText().find("--ignore-writes"), std::string::npos);
}

TEST(SimStrictLineMode, SensorRateLineModeAndTargetedExceptionAreOptions)
{
    const auto p =
        vantor::sim::ParseOptions({"--strict-line-mode", "--id", "5", "--baud", "38400", "--line-mode", "odd"});
    ASSERT_EQ(p.error, "");
    EXPECT_TRUE(p.options.bus.strictLineMode);
    EXPECT_EQ(p.options.sensors[0].baudIndex, 2);
    EXPECT_EQ(p.options.sensors[0].mode, vantor::sim::LineMode::Odd);
    EXPECT_NE(vantor::sim::ParseOptions({"--baud", "57600"}).error, "");
    EXPECT_NE(vantor::sim::ParseOptions({"--line-mode", "mark"}).error, "");
    const auto e = vantor::sim::ParseOptions({"--exception", "4", "--exception-at", "4"});
    ASSERT_EQ(e.error, "");
    EXPECT_EQ(e.options.sensors[0].faults.exceptionRegister, 4);
    for (const char* option : {"--strict-line-mode", "--line-mode", "--baud", "--exception-at"})
        EXPECT_NE(vantor::sim::UsageText().find(option), std::string::npos) << option;
}

}  // namespace
