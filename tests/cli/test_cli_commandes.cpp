// selftest and reset against simulated sensors, and the exit status of wrong command lines.
#include <chrono>

#include "BancCli.h"

using namespace clitest;
using namespace std::chrono_literals;

namespace {

class CliCommandes : public TBancCli {};

TEST_F(CliCommandes, SelfTestPassesWhenTheTestBitsClear)
{
    auto& s = bus.AddSensor(1);
    s.SetSelfTestTime(600ms);
    const TResultat r = Cli("selftest", {"--id", "1", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = Json(r);
    EXPECT_EQ(j["pass"], true);
    EXPECT_EQ(j["bits_seen"], true);
    EXPECT_GE(j["duration_ms"].get<int>(), 550);
    EXPECT_LT(j["duration_ms"].get<int>(), 3000);
    EXPECT_EQ(s.SelfTestCount(), 1);
    const auto pdus = Trames();
    ASSERT_GE(pdus.size(), 2u);
    EXPECT_EQ(pdus[0], "01 64");
    EXPECT_EQ(pdus[1], "01 04 00 04 00 01");
}

TEST_F(CliCommandes, SelfTestFailsWhenTheBitsStaySet)
{
    auto& s = bus.AddSensor(1);
    s.SetSelfTestTime(60s);
    const TResultat r = Cli("selftest", {"--id", "1", "--timeout", "400"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.sortie.find("self test     fail"), std::string::npos) << r.sortie;
    EXPECT_NE(r.erreurs.find("self test failed: the sensitive element test bits are still set"), std::string::npos);
}

TEST_F(CliCommandes, SelfTestRefusedBySensorIsItsException)
{
    bus.AddSensor(1).SetFaults({.exceptionCode = 1});
    const TResultat r = Cli("selftest", {"--id", "1"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "vantor-cli: Modbus : unknown function\n");
}

TEST_F(CliCommandes, ResetAndWaitTellsHowLongTheSensorWasAway)
{
    auto& s = bus.AddSensor(1);
    s.SetRebootTime(400ms);
    const TResultat r = Cli("reset", {"--id", "1", "--wait", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = Json(r);
    EXPECT_GE(j["answered_after_ms"].get<int>(), 350);
    EXPECT_LT(j["answered_after_ms"].get<int>(), 3000);
    EXPECT_EQ(s.ResetCount(), 1);
    EXPECT_EQ(Trames()[0], "01 46");
}

TEST_F(CliCommandes, ResetWithoutWaitAndWithASilentSensor)
{
    auto& s = bus.AddSensor(1);
    const TResultat r = Cli("reset", {"--id", "1"});
    EXPECT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "reset sent\n");
    EXPECT_EQ(s.ResetCount(), 1);
    s.SetFaults({.silent = true});
    EXPECT_EQ(Cli("reset", {"--id", "1"}).erreurs, "vantor-cli: No detected sensor\n");
}

TEST_F(CliCommandes, ResetRefusedBySensorIsItsException)
{
    // The driver takes an exception answer to a raw exchange as a valid exchange.
    bus.AddSensor(1).SetFaults({.exceptionCode = 1});
    const TResultat r = Cli("reset", {"--id", "1"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "vantor-cli: Modbus : unknown function\n");
    EXPECT_EQ(r.sortie, "");
}

TEST_F(CliCommandes, ResetWaitGivesUpAfterItsTimeOut)
{
    auto& s = bus.AddSensor(1);
    s.SetRebootTime(60s);
    const TResultat r = Cli("reset", {"--id", "1", "--wait", "--timeout", "300"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.erreurs.find("the sensor did not answer within"), std::string::npos) << r.erreurs;
}

TEST_F(CliCommandes, WrongCommandLinesExitWithTwoAndSendNothing)
{
    bus.AddSensor(1);
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cas[] = {
        {{"info", "--port", bus.DevicePath(), "--id", "1", "--baud", "1234"},
         "--baud: 2400, 4800, 9600, 19200, 38400 or 57600 expected"},
        {{"info", "--port", bus.DevicePath(), "--id", "0"}, "--id: address 1..127 expected"},
        {{"info", "--port", bus.DevicePath(), "--id", "128"}, "--id: address 1..127 expected"},
        {{"read", "--port", bus.DevicePath(), "--id", "x"}, "--id: address 1..127 expected"},
        {{"info", "--id", "1"}, "info: --port is missing"},
        {{"info", "--port", bus.DevicePath()}, "info: --id is missing"},
        {{"info", "--port", bus.DevicePath(), "--id", "1", "--parity", "mark"}, "--parity: even, odd or none expected"},
        {{"set", "--port", bus.DevicePath(), "--id", "1", "--filter", "12"}, "--filter: cut-off 0.1..10 Hz expected"},
        {{"set", "--port", bus.DevicePath(), "--id", "1", "--sensor-baud", "57600"},
         "--sensor-baud: 9600, 19200 or 38400 expected"},
        {{"set", "--port", bus.DevicePath(), "--id", "1", "--address", "200"}, "--address: address 1..127 expected"},
        {{"set", "--port", bus.DevicePath(), "--id", "1"}, "set: nothing to write"},
        {{"scan", "--port", bus.DevicePath(), "--from", "9", "--to", "3"}, "--from must not be above --to"},
        {{"scan", "--port", bus.DevicePath(), "--id", "3"}, "--id does not apply to scan"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"info", "--port", bus.DevicePath(), "--id", "1", "--colour"}, "unknown option '--colour'"},
        {{}, "no command given"},
    };
    for (const auto& c : cas) {
        const TResultat r = TProgrammeCli::Lance(c.arguments);
        EXPECT_EQ(r.statut, 2) << c.message;
        EXPECT_NE(r.erreurs.find(c.message), std::string::npos) << r.erreurs;
        EXPECT_EQ(r.sortie, "");
    }
    EXPECT_EQ(bus.FrameCount(), 0u);
}

TEST_F(CliCommandes, HelpOfEachCommand)
{
    for (const char* commande : {"ports", "scan", "info", "read", "watch", "set", "selftest", "reset", "report"}) {
        const TResultat r = TProgrammeCli::Lance({commande, "--help"});
        EXPECT_EQ(r.statut, 0) << commande;
        EXPECT_EQ(r.sortie.rfind(std::string("Usage: vantor-cli ") + commande, 0), 0u) << r.sortie;
    }
    const TResultat general = TProgrammeCli::Lance({"--help"});
    EXPECT_EQ(general.statut, 0);
    EXPECT_NE(general.sortie.find("Exit status: 0 success, 1 the sensor or the line failed, 2 wrong command line."),
              std::string::npos);
}

}  // namespace

namespace {

TEST_F(CliCommandes, ColourOnlyWhenStandardOutputIsATerminal)
{
    bus.AddSensor(1).SetSelfTestTime(std::chrono::milliseconds(50));
    TLancement l;
    l.arguments = {"selftest", "--port", bus.DevicePath(), "--id", "1"};
    l.sortieSurTerminal = true;
    l.environnement = {{"TERM", "xterm"}};
    const TResultat terminal = TProgrammeCli::Lance(l);
    ASSERT_EQ(terminal.statut, 0) << terminal.erreurs;
    EXPECT_NE(terminal.sortie.find("\x1B[32mpass\x1B[0m"), std::string::npos) << terminal.sortie;
    l.environnement.emplace_back("NO_COLOR", "1");
    EXPECT_EQ(TProgrammeCli::Lance(l).sortie.find('\x1B'), std::string::npos);
    const TResultat tube = Cli("selftest", {"--id", "1"});
    ASSERT_EQ(tube.statut, 0) << tube.erreurs;
    EXPECT_EQ(tube.sortie.rfind("self test     pass (", 0), 0u) << tube.sortie;
}

}  // namespace
