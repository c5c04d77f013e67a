// scan: the window's requests with the port held open, the addresses found, progress only on
// a terminal, Ctrl+C, and its duration against the driver's read time-out.
#include <chrono>

#include "BancCli.h"

using namespace clitest;

namespace {

class CliScan : public TBancCli {};

TEST_F(CliScan, ListsTheAddressesThatAnswerWithOneReadEach)
{
    bus.AddSensor(3);
    bus.AddSensor(9);
    const TResultat r = Cli("scan", {"--from", "1", "--to", "12"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "Address 3 : sensor detected\nAddress 9 : sensor detected\n");
    EXPECT_EQ(r.erreurs, "");  // no progress off a terminal
    std::vector<std::string> attendu;
    for (int a = 1; a <= 12; ++a) {
        char pdu[32];
        std::snprintf(pdu, sizeof pdu, "%02X 04 00 00 00 01", a);
        attendu.push_back(pdu);
    }
    EXPECT_EQ(Trames(), attendu);
}

TEST_F(CliScan, JsonAndSensorsThatAnswerWrongAreNotFound)
{
    bus.AddSensor(2);
    bus.AddSensor(4).SetFaults({.exceptionCode = 1});
    bus.AddSensor(6).SetFaults({.wrongCrc = true});
    const TResultat r = Cli("scan", {"--to", "7", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = Json(r);
    EXPECT_EQ(j["found"], TJson::array({2}));
    EXPECT_EQ(j["from"], 1);
    EXPECT_EQ(j["to"], 7);
    EXPECT_EQ(j["interrupted"], false);
}

TEST_F(CliScan, WholeBusTakesTheReadTimeOutAndTenMillisecondsPerEmptyAddress)
{
    bus.AddSensor(100);
    const auto debut = std::chrono::steady_clock::now();
    const TResultat r = Cli("scan", {"--json"});
    const double secondes = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(Json(r)["found"], TJson::array({100}));
    EXPECT_EQ(bus.FrameCount(), 127u);
    // 126 silent addresses at 41 ms + 10 ms each; the port is opened once (one 200 ms pause).
    EXPECT_GE(secondes, 126 * 0.051);
    EXPECT_LT(secondes, 126 * 0.051 + 0.2 + 6.0);  // generous for a loaded machine
}

TEST_F(CliScan, ProgressOnATerminalOnly)
{
    bus.AddSensor(2);
    TLancement l;
    l.arguments = {"scan", "--port", bus.DevicePath(), "--to", "3"};
    l.erreursSurTerminal = true;
    const TResultat r = TProgrammeCli::Lance(l);
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_NE(r.erreurs.find("scan: address 3 of 3, 1 found"), std::string::npos) << r.erreurs;
    EXPECT_EQ(r.sortie, "Address 2 : sensor detected\n");
}

TEST_F(CliScan, CtrlCStopsAfterTheAddressBeingTriedAndExits130)
{
    bus.AddSensor(1);
    TLancement l;
    l.arguments = {"scan", "--port", bus.DevicePath()};
    l.erreursSurTerminal = true;
    bool envoye = false;
    // The progress line reaches address 5 on the terminal: interrupt then.
    TSurveillance surveillance = [&](const std::string&, const std::string& erreurs) {
        if (!envoye && erreurs.find("address 5 of") != std::string::npos) {
            envoye = true;
            return true;
        }
        return false;
    };
    l.surveillance = surveillance;
    const TResultat r = TProgrammeCli::Lance(l);
    EXPECT_EQ(r.statut, 130);
    EXPECT_EQ(r.sortie, "Address 1 : sensor detected\n");
    EXPECT_LT(bus.FrameCount(), 20u);
}

TEST_F(CliScan, PortThatCannotBeOpenedFailsAtOnce)
{
    const auto debut = std::chrono::steady_clock::now();
    const TResultat r = TProgrammeCli::Lance({"scan", "--port", "/nonexistent/tty"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "vantor-cli: I/O error.\n");
    EXPECT_LT(std::chrono::steady_clock::now() - debut, std::chrono::seconds(5));
}

}  // namespace
