// info and read against simulated sensors: the requests on the line, the values in text and
// JSON, and the driver's messages for a sensor that fails.
#include <cmath>

#include "BancCli.h"
#include "MesuresVantor.h"

using namespace clitest;

namespace {

class CliLecture : public TBancCli {};

TEST_F(CliLecture, InfoReadsIdentityAndConfigurationWithTheWindowsRequests)
{
    auto& s = bus.AddSensor(5);
    s.SetSerial("ZX987654");
    s.SetFirmware(2, 3);
    s.SetHolding(7, 0x03FF);
    const TResultat r = Cli("info", {"--id", "5", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = Json(r);
    EXPECT_EQ(j["firmware"], "2.3");
    EXPECT_EQ(j["serial"], "ZX987654");
    EXPECT_NEAR(j["filter_hz"].get<double>(), 5.0, 1e-5);
    EXPECT_NEAR(j["fifo_hz"].get<double>(), 50.0 / 3.0, 1e-9);
    EXPECT_EQ(j["fifo_divider"], 3);
    EXPECT_EQ(j["sensor_baud"], 19200);
    EXPECT_EQ(j["address"], 5);
    EXPECT_EQ(j["register6"], 0x0105);
    EXPECT_EQ(j["line"]["baud"], 19200);
    EXPECT_EQ(j["line"]["parity"], "none");
    // Revision, serial number, filter, FIFO, register 6: one request each, to address 5.
    EXPECT_EQ(Trames(), (std::vector<std::string>{"05 04 00 0C 00 01", "05 03 00 08 00 04", "05 03 00 02 00 02",
                                                  "05 03 00 07 00 01", "05 03 00 06 00 01"}));
}

TEST_F(CliLecture, InfoAsText)
{
    bus.AddSensor(1);
    const TResultat r = Cli("info", {"--id", "1"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie,
              "firmware      1.10\n"
              "serial        AB123456\n"
              "filter        5.0 Hz\n"
              "fifo          5.000 Hz (divider 10)\n"
              "sensor baud   19200\n"
              "address       1\n");
    EXPECT_EQ(r.erreurs, "");
}

TEST_F(CliLecture, ReadGivesMeasurementsStatusBitsAndMonitoring)
{
    auto& s = bus.AddSensor(1);
    s.ForceTemperature(21.5F);
    s.ForceMonitor(vantor::sim::Monit::Vin, 40);  // below its range: sets the "Vin" bit
    const TResultat r = Cli("read", {"--id", "1", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = Json(r);
    EXPECT_EQ(j["temperature_c"], 21.5);
    EXPECT_GT(j["acceleration_g"].get<double>(), 0.5);
    EXPECT_LT(j["acceleration_g"].get<double>(), 1.5);
    EXPECT_EQ(j["status"]["word"], 0x0010);
    EXPECT_EQ(j["status"]["pass"], false);
    ASSERT_EQ(j["status"]["bits"].size(), 16u);
    for (int led = 0; led < 16; ++led)
        EXPECT_EQ(j["status"]["bits"][led]["set"], led == 12) << led + 1;
    EXPECT_EQ(j["status"]["bits"][12]["caption"], "Vin");
    EXPECT_EQ(j["status"]["bits"][12]["byte"], "low");
    EXPECT_EQ(j["status"]["bits"][12]["bit"], 4);
    EXPECT_EQ(j["status"]["bits"][0]["caption"], "Can");
    EXPECT_DOUBLE_EQ(j["monitoring"]["Vin"].get<double>(), EchelleVin(40));
    EXPECT_EQ(j["monitoring_raw"]["Vin"], 40);
    EXPECT_DOUBLE_EQ(j["monitoring"]["Isupply"].get<double>(),
                     EchelleIsupply(j["monitoring_raw"]["Isupply"].get<std::uint16_t>()));
    EXPECT_EQ(Trames(), (std::vector<std::string>{"01 04 00 00 00 02", "01 04 00 02 00 02", "01 04 00 04 00 08"}));
}

TEST_F(CliLecture, ReadAsTextNamesEachBitByItsLedCaption)
{
    auto& s = bus.AddSensor(1);
    s.ForceTemperature(-4.25F);
    s.SetInput(0, 0x3F80);
    s.SetInput(1, 0x0000);
    const TResultat r = Cli("read", {"--id", "1"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_NE(r.sortie.find("acceleration  1.00000 g\n"), std::string::npos) << r.sortie;
    EXPECT_NE(r.sortie.find("temperature   -4.3 \xC2\xB0"
                            "C\n"),
              std::string::npos)
        << r.sortie;
    EXPECT_NE(r.sortie.find("LED  5  high bit 4  sensitive elmnt test clear"), std::string::npos) << r.sortie;
    EXPECT_NE(r.sortie.find("LED 16  low  bit 7  Vout clear"), std::string::npos) << r.sortie;
    EXPECT_NE(r.sortie.find("Icellule"), std::string::npos);
}

TEST_F(CliLecture, NoSensorIsTheDriversMessageAndStatusOne)
{
    bus.AddSensor(1);
    const TResultat r = Cli("info", {"--id", "7"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "vantor-cli: No detected sensor\n");
    EXPECT_EQ(r.sortie, "");
}

TEST_F(CliLecture, FailureAsJson)
{
    bus.AddSensor(1).SetFaults({.silent = true});
    const TResultat r = Cli("read", {"--id", "1", "--json"});
    EXPECT_EQ(r.statut, 1);
    const TJson j = Json(r);
    EXPECT_EQ(j["error"], "No detected sensor");
    EXPECT_EQ(j["code"], -3);
}

TEST_F(CliLecture, FaultsGiveTheirMessages)
{
    auto& s = bus.AddSensor(1);
    const struct {
        vantor::sim::SensorFaults fautes;
        const char* message;
    } cas[] = {{{.wrongCrc = true}, "Erroneous CRC"},
               {{.wrongAddress = true}, "Frames exchange error"},
               {{.exceptionCode = 2}, "Modbus : bad address"},
               {{.exceptionCode = 4}, "Modbus : device failure"}};
    for (const auto& c : cas) {
        s.SetFaults(c.fautes);
        const TResultat r = Cli("info", {"--id", "1"});
        EXPECT_EQ(r.statut, 1) << c.message;
        EXPECT_EQ(r.erreurs, std::string("vantor-cli: ") + c.message + "\n");
    }
}

TEST_F(CliLecture, SlowButTimelyAnswersAndAnEchoingAdapterAreRead)
{
    auto& s = bus.AddSensor(1);
    s.SetFaults({.delayMs = 10});  // late, yet well inside the 41 ms silence
    EXPECT_EQ(Cli("info", {"--id", "1"}).statut, 0);
    s.SetFaults({.delayMs = 120});  // beyond the driver's read time-out
    EXPECT_EQ(Cli("info", {"--id", "1"}).erreurs, "vantor-cli: No detected sensor\n");
}

TEST_F(CliLecture, SerialNumberWithControlCharactersReachesNoTerminalRaw)
{
    bus.AddSensor(1).SetSerial(std::string("AB\x1B[2Jxx", 8));
    const TResultat texte = Cli("info", {"--id", "1"});
    ASSERT_EQ(texte.statut, 0) << texte.erreurs;
    EXPECT_EQ(texte.sortie.find('\x1B'), std::string::npos);
    EXPECT_NE(texte.sortie.find("serial        AB\\x1B[2Jxx\n"), std::string::npos) << texte.sortie;
    const TResultat json = Cli("info", {"--id", "1", "--json"});
    EXPECT_EQ(Json(json)["serial"], std::string("AB\x1B[2Jxx", 8));
}

TEST_F(CliLecture, EightBitSerialCharactersAreLatin1)
{
    bus.AddSensor(1).SetSerial("\xC9t\xE9 ----");
    const TResultat r = Cli("info", {"--id", "1", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(Json(r)["serial"], "\xC3\x89t\xC3\xA9 ----");
}

TEST_F(CliLecture, ComNameResolvesThroughTheFolderBesideTheProgram)
{
    bus.AddSensor(3);
    const std::string dossier = VANTOR_CLI_DOSDEVICES_DIR;
    ::mkdir(dossier.c_str(), 0755);
    const std::string lien = dossier + "/com61";  // no other test uses COM61
    ::unlink(lien.c_str());
    ASSERT_EQ(::symlink(bus.DevicePath().c_str(), lien.c_str()), 0);
    const TResultat r = TProgrammeCli::Lance({"info", "--port", "COM61", "--id", "3", "--json"});
    ::unlink(lien.c_str());
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(Json(r)["address"], 3);
    EXPECT_EQ(Json(r)["line"]["port"], "COM61");
}

TEST_F(CliLecture, PortThatCannotBeOpenedIsAnIoError)
{
    const TResultat r = TProgrammeCli::Lance({"info", "--port", "/nonexistent/tty", "--id", "1"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "vantor-cli: I/O error.\n");
}

TEST_F(CliLecture, LineSettingsReachTheDevice)
{
    bus.AddSensor(1);
    const TResultat r = Cli("info", {"--id", "1", "--baud", "38400", "--parity", "even", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(Json(r)["line"]["baud"], 38400);
    EXPECT_EQ(Json(r)["line"]["parity"], "even");
}

}  // namespace
