// set: the writes of the window, the read-back at the new address and baud rate, and values
// that cannot be stored.
#include <cmath>

#include "BancCli.h"
#include "ReglagesVantor.h"
#include "UtilSerial.h"

using namespace clitest;

namespace {

class CliSet : public TBancCli {};

// Sensors that hear only their own baud rate: a read-back at the old rate would go unheard.
class CliSetBaud : public TBancCli {
protected:
    CliSetBaud() : TBancCli(vantor::sim::BusOptions{.strictBaud = true}) {}
};

TEST_F(CliSet, FilterAndFifoAreWrittenAsTheWindowWritesThemThenReadBack)
{
    auto& s = bus.AddSensor(1);
    const TResultat r = Cli("set", {"--id", "1", "--filter", "2.5", "--fifo", "10", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TCoefficientsFiltre c = CoefficientsFiltre(2.5);
    const std::string a = SingleToHexText(c.A), b = SingleToHexText(c.B), cc = SingleToHexText(c.C);
    auto ecriture = [](int registre, const std::string& mot) {
        char pdu[40];
        std::snprintf(pdu, sizeof pdu, "01 42 00 %02X %s %s", registre, mot.substr(0, 2).c_str(),
                      mot.substr(2, 2).c_str());
        return std::string(pdu);
    };
    EXPECT_EQ(Trames(), (std::vector<std::string>{
                            ecriture(64, a.substr(0, 4)), ecriture(65, a.substr(4)), ecriture(66, b.substr(0, 4)),
                            ecriture(67, b.substr(4)), ecriture(68, cc.substr(0, 4)), ecriture(69, cc.substr(4)),
                            "01 06 00 07 05 FF", "01 03 00 02 00 02", "01 03 00 07 00 01", "01 03 00 06 00 01"}));
    EXPECT_EQ(s.Holding(7), 0x05FF);
    EXPECT_EQ(s.System(66), HexTextToInt(b.substr(0, 4)));
    const TJson j = Json(r);
    EXPECT_EQ(j["match"], true);
    EXPECT_NEAR(j["read_back"]["filter_hz"].get<double>(), 2.5, 1e-4);
    EXPECT_EQ(j["read_back"]["fifo_divider"], 5);
    EXPECT_EQ(j["written"]["fifo_hz"], 10.0);
}

TEST_F(CliSet, TextOutputIsWhatTheSensorNowHolds)
{
    bus.AddSensor(1);
    const TResultat r = Cli("set", {"--id", "1", "--fifo", "25"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_NE(r.sortie.find("fifo          25.000 Hz (divider 2)\n"), std::string::npos) << r.sortie;
}

TEST_F(CliSet, NewAddressIsReadBackAtTheNewAddress)
{
    auto& s = bus.AddSensor(1);
    const TResultat r = Cli("set", {"--id", "1", "--address", "17", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(&s, bus.SensorAt(17));
    EXPECT_EQ(Trames(), (std::vector<std::string>{"01 03 00 06 00 01", "01 06 00 06 01 11", "11 03 00 02 00 02",
                                                  "11 03 00 07 00 01", "11 03 00 06 00 01"}));
    const TJson j = Json(r);
    EXPECT_EQ(j["read_back"]["address"], 17);
    EXPECT_EQ(j["read_back"]["register6"], 0x0111);
    EXPECT_EQ(j["line"]["id"], 17);
}

TEST_F(CliSetBaud, LineSpeedMustMatchTheSensors)
{
    bus.AddSensor(1);  // 19200 baud
    EXPECT_EQ(Cli("info", {"--id", "1"}).statut, 0);
    EXPECT_EQ(Cli("info", {"--id", "1", "--baud", "9600"}).erreurs, "vantor-cli: No detected sensor\n");
}

TEST_F(CliSetBaud, NewBaudRateAndAddressAreReadBackAtTheNewRate)
{
    auto& s = bus.AddSensor(1);
    const TResultat r = Cli("set", {"--id", "1", "--sensor-baud", "38400", "--address", "42", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(s.BaudIndex(), 2);
    EXPECT_EQ(s.Address(), 42);
    const TJson j = Json(r);
    EXPECT_EQ(j["read_back"]["sensor_baud"], 38400);
    EXPECT_EQ(j["read_back"]["address"], 42);
    EXPECT_EQ(j["line"]["baud"], 38400);
    EXPECT_EQ(j["match"], true);
    // One read-modify-write of register 6 holds both.
    EXPECT_EQ(Trames()[1], "01 06 00 06 02 2A");
    EXPECT_EQ(Cli("info", {"--id", "42", "--baud", "38400"}).statut, 0);
}

TEST_F(CliSet, ReadBackThatDiffersIsAFailure)
{
    bus.AddSensor(1).SetFaults({.ignoreWrites = true});
    const TResultat r = Cli("set", {"--id", "1", "--fifo", "25", "--filter", "2.5", "--json"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs,
              "vantor-cli: read-back differs: filter 5.000 Hz instead of 2.500; fifo 5.000 Hz instead of 25.000\n");
    const TJson j = Json(r);
    EXPECT_EQ(j["match"], false);
    EXPECT_EQ(j["read_back"]["fifo_divider"], 10);
    EXPECT_EQ(DernierJson(r)["error"],
              "read-back differs: filter 5.000 Hz instead of 2.500; fifo 5.000 Hz instead of 25.000");
}

TEST_F(CliSet, ValueTheSensorRefusesIsAFailure)
{
    bus.AddSensor(1).SetFaults({.exceptionCode = 3});
    const TResultat r = Cli("set", {"--id", "1", "--fifo", "5"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "vantor-cli: Modbus : bad value\n");
}

TEST_F(CliSet, FifoRateThatCannotBeStoredIsRefusedBeforeAnythingIsSent)
{
    bus.AddSensor(1);
    const TResultat r = Cli("set", {"--id", "1", "--fifo", "20"});
    EXPECT_EQ(r.statut, 2);
    EXPECT_NE(r.erreurs.find("--fifo: 20 Hz cannot be stored; the nearest rate is 50/2 = 25.000 Hz"), std::string::npos)
        << r.erreurs;
    EXPECT_EQ(bus.FrameCount(), 0u);
}

TEST_F(CliSet, FilterOutsideItsRangeIsAUsageError)
{
    bus.AddSensor(1);
    for (const char* f : {"0.05", "10.5", "-1", "abc", "5Hz"}) {
        const TResultat r = Cli("set", {"--id", "1", "--filter", f});
        EXPECT_EQ(r.statut, 2) << f;
        EXPECT_NE(r.erreurs.find("--filter: cut-off 0.1..10 Hz expected"), std::string::npos) << r.erreurs;
    }
    EXPECT_EQ(bus.FrameCount(), 0u);
}

TEST_F(CliSet, FilterAtTheLimitsIsStored)
{
    auto& s = bus.AddSensor(1);
    EXPECT_EQ(Cli("set", {"--id", "1", "--filter", "10"}).statut, 0);
    EXPECT_EQ(s.System(66), 0x3FE4);
    EXPECT_EQ(s.System(67), 0xF92E);
    EXPECT_EQ(Cli("set", {"--id", "1", "--filter", "0.1"}).statut, 0);
    EXPECT_EQ(s.System(66), 0x4745);
    EXPECT_EQ(s.System(67), 0xE142);
}

}  // namespace
