// config: the settings file as saved (numbers as the sensor holds them), diff, and apply with
// only what differs written, register 6 last, the line following the sensor, the read-back,
// refused files and --dry-run.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "BancCli.h"

using namespace clitest;

namespace {

// Sensors that hear only their own baud rate: a read-back at the old rate would go unheard.
class CliConfig : public TBancCli {
protected:
    CliConfig() : TBancCli(vantor::sim::BusOptions{.strictBaud = true})
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        fichier = ::testing::TempDir() + "vantor-cli-" + info->name() + "-" + std::to_string(::getpid()) + ".json";
    }
    ~CliConfig() override { std::remove(fichier.c_str()); }

    void Ecrit(const std::string& texte) const { std::ofstream(fichier, std::ios::binary) << texte; }

    // Frames whose function code is fc.
    int TramesDeFonction(std::uint8_t fc) const
    {
        int n = 0;
        for (const auto& t : bus.ReceivedFrames())
            n += t.size() > 1 && t[1] == fc ? 1 : 0;
        return n;
    }

    std::string fichier;
};

TEST_F(CliConfig, SaveWritesTheSettingsAsTheSensorHoldsThem)
{
    auto& s = bus.AddSensor(9);
    s.SetSerial("ZX000042");
    s.SetFirmware(2, 3);
    s.SetHolding(7, 0x03FF);  // divider 3: 16.666... Hz
    const TResultat r = Cli("config", {"save", "--id", "9", "--out", fichier});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "configuration of sensor 9 written to " + fichier + "\n");
    // The 5 Hz filter of a new sensor is 5.0, not the 5.000000101521735 its coefficient gives.
    EXPECT_EQ(ContenuFichier(fichier),
              "{\n"
              "  \"format\": \"vantor-configuration\",\n"
              "  \"version\": 1,\n"
              "  \"firmware\": \"2.3\",\n"
              "  \"serial\": \"ZX000042\",\n"
              "  \"filter_hz\": 5.0,\n"
              "  \"fifo_hz\": 16.666666666666668,\n"
              "  \"sensor_baud\": 19200,\n"
              "  \"address\": 9\n"
              "}\n");
    // info shows the same numbers.
    const TResultat info = Cli("info", {"--id", "9", "--json"});
    EXPECT_NE(info.sortie.find("\"filter_hz\":5.0,"), std::string::npos) << info.sortie;
    EXPECT_NE(info.sortie.find("\"fifo_hz\":16.666666666666668,"), std::string::npos) << info.sortie;
}

TEST_F(CliConfig, SaveToStandardOutput)
{
    bus.AddSensor(6);
    const TResultat r = Cli("config", {"save", "--id", "6", "--out", "-"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = TJson::parse(r.sortie);  // the document alone
    EXPECT_EQ(j["address"], 6);
    EXPECT_EQ(j["serial"], "AB123456");
}

// The record's configuration is a settings file: the sensor holds it, and it restores a setting
// changed since.
TEST_F(CliConfig, RecordConfigurationIsASettingsFile)
{
    auto& s = bus.AddSensor(7);
    s.SetHolding(7, 0x02FF);
    s.SetSelfTestTime(std::chrono::milliseconds(50));
    const TResultat r = Cli("report", {"--id", "7", "--seconds", "0.2", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    Ecrit(TJson::parse(r.sortie)["configuration"].dump());
    const TResultat diff = Cli("config", {"diff", fichier, "--id", "7"});
    ASSERT_EQ(diff.statut, 0) << diff.erreurs;
    EXPECT_EQ(diff.sortie, "sensor 7 holds the settings of " + fichier + "\n");
    s.SetHolding(7, 0x0AFF);  // the FIFO rate changed since
    const TResultat apply = Cli("config", {"apply", fichier, "--id", "7"});
    ASSERT_EQ(apply.statut, 0) << apply.erreurs;
    EXPECT_EQ(apply.sortie, "written fifo_hz: 5.0 Hz -> 25.0 Hz\n");
    EXPECT_EQ(s.Holding(7), 0x02FF);
}

TEST_F(CliConfig, DiffListsWhatDiffers)
{
    bus.AddSensor(2);
    Ecrit(R"({"format": "vantor-configuration", "version": 1, "filter_hz": 2.5, "fifo_hz": 5.0, "address": 17})");
    TResultat r = Cli("config", {"diff", fichier, "--id", "2"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "filter_hz: sensor 5.0 Hz, file 2.5 Hz\naddress: sensor 2, file 17\n");
    r = Cli("config", {"diff", fichier, "--id", "2", "--json"});
    const TJson j = Json(r);
    EXPECT_EQ(j["same"], false);
    EXPECT_EQ(j["differences"][1], (TJson{{"setting", "address"}, {"sensor", 2}, {"file", 17}}));
    // Reading only: no write of any kind went out.
    EXPECT_EQ(TramesDeFonction(0x06) + TramesDeFonction(0x42), 0);
}

// Address and baud rate change together: written last in one request, then the line follows
// the sensor to address 17 at 38400 baud for the read-back.
TEST_F(CliConfig, ApplyWritesOnlyWhatDiffersAndFollowsTheSensor)
{
    auto& s = bus.AddSensor(1);
    s.SetHolding(7, 0x05FF);  // already at 10 Hz, as the file
    Ecrit(R"({"format": "vantor-configuration", "version": 1, "firmware": "9.9", "serial": "OTHER123",
              "filter_hz": 2.5, "fifo_hz": 10.0, "sensor_baud": 38400, "address": 17})");
    const TResultat r = Cli("config", {"apply", fichier, "--id", "1"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie,
              "written filter_hz: 5.0 Hz -> 2.5 Hz\n"
              "written sensor_baud: 19200 -> 38400\n"
              "written address: 1 -> 17\n"
              "the sensor now answers with --baud 38400 --id 17\n");
    EXPECT_EQ(bus.SensorAt(17), &s);
    EXPECT_EQ(s.BaudIndex(), 2);
    EXPECT_NEAR(s.CutoffHz(), 2.5, 1e-4);
    EXPECT_EQ(s.Firmware(), (std::pair<std::uint8_t, std::uint8_t>{1, 10}));  // identity is never written

    const auto trames = Trames();
    const auto reglages = bus.ReceivedLineSettings();
    ASSERT_EQ(trames.size(), reglages.size());
    // The FIFO rate was not written; the six filter words were, then register 6 last, once.
    EXPECT_EQ(TramesDeFonction(0x06), 1);
    EXPECT_EQ(TramesDeFonction(0x42), 6);
    std::size_t ecriture6 = 0;
    for (std::size_t i = 0; i < trames.size(); ++i)
        if (trames[i].rfind("01 06 00 06", 0) == 0)
            ecriture6 = i;
    EXPECT_EQ(trames[ecriture6], "01 06 00 06 02 11");
    for (std::size_t i = 0; i <= ecriture6; ++i)
        EXPECT_EQ(reglages[i].baud, 19200) << trames[i];
    // The read-back: filter, FIFO, register 6 at the new address and rate.
    ASSERT_EQ(trames.size(), ecriture6 + 4);
    for (std::size_t i = ecriture6 + 1; i < trames.size(); ++i) {
        EXPECT_EQ(trames[i].substr(0, 2), "11") << trames[i];
        EXPECT_EQ(reglages[i].baud, 38400) << trames[i];
    }
}

TEST_F(CliConfig, ApplyOfTheSameSettingsWritesNothing)
{
    bus.AddSensor(4);
    ASSERT_EQ(Cli("config", {"save", "--id", "4", "--out", fichier}).statut, 0);
    bus.ClearLog();
    const TResultat r = Cli("config", {"apply", fichier, "--id", "4", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(Json(r)["written"], TJson::array());
    EXPECT_EQ(Json(r)["match"], true);
    EXPECT_EQ(TramesDeFonction(0x06) + TramesDeFonction(0x42), 0);
}

TEST_F(CliConfig, DryRunWritesNothing)
{
    auto& s = bus.AddSensor(1);
    Ecrit(R"({"format": "vantor-configuration", "version": 1, "fifo_hz": 25, "address": 30})");
    const TResultat r = Cli("config", {"apply", fichier, "--id", "1", "--dry-run"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "would write fifo_hz: 5.0 Hz -> 25.0 Hz\nwould write address: 1 -> 30\n");
    EXPECT_EQ(TramesDeFonction(0x06) + TramesDeFonction(0x42), 0);
    EXPECT_EQ(s.Address(), 1);
}

// A sensor that acknowledges writes without keeping them: the read-back names the setting and
// both values, exit status 1.
TEST_F(CliConfig, MismatchAfterApplyIsAnError)
{
    bus.AddSensor(1).SetFaults({.ignoreWrites = true});
    Ecrit(R"({"format": "vantor-configuration", "version": 1, "filter_hz": 2.5, "fifo_hz": 25})");
    const TResultat r = Cli("config", {"apply", fichier, "--id", "1"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.erreurs.find("read-back differs from " + fichier
                             + ": filter_hz: sensor 5.0 Hz, file 2.5 Hz; fifo_hz: sensor 5.0 Hz, file 25.0 Hz"),
              std::string::npos)
        << r.erreurs;
}

TEST_F(CliConfig, ApplyProgressOnATerminal)
{
    bus.AddSensor(1);
    Ecrit(R"({"format": "vantor-configuration", "version": 1, "fifo_hz": 25, "address": 30})");
    TLancement l;
    l.arguments = {"config", "apply", fichier, "--port", bus.DevicePath(), "--id", "1"};
    l.erreursSurTerminal = true;
    const TResultat r = TProgrammeCli::Lance(l);
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    for (const char* etape :
         {"config apply: 0 %, reading the settings of sensor 1", "config apply: 25 %, writing fifo_hz",
          "config apply: 50 %, writing address", "config apply: 75 %, reading back sensor 30 at 19200 baud"})
        EXPECT_NE(r.erreurs.find(etape), std::string::npos) << etape << " in " << r.erreurs;
}

TEST_F(CliConfig, UnusableFilesAreRefusedBeforeAnythingIsSent)
{
    bus.AddSensor(1);
    for (const char* texte : {
             "not json",
             "[]",
             R"({"version": 1, "address": 3})",
             R"({"format": "vantor-configuration", "version": 2})",
             R"({"format": "vantor-configuration", "version": 1, "adress": 3})",
             R"({"format": "vantor-configuration", "version": 1, "address": 128})",
             R"({"format": "vantor-configuration", "version": 1, "address": 3.5})",
             R"({"format": "vantor-configuration", "version": 1, "sensor_baud": 57600})",
             R"({"format": "vantor-configuration", "version": 1, "filter_hz": 11})",
             R"({"format": "vantor-configuration", "version": 1, "filter_hz": "5"})",
             R"({"format": "vantor-configuration", "version": 1, "fifo_hz": 30})",
         }) {
        Ecrit(texte);
        const TResultat r = Cli("config", {"apply", fichier, "--id", "1"});
        EXPECT_EQ(r.statut, 2) << texte << ": " << r.erreurs;
        EXPECT_EQ(r.erreurs.rfind("vantor-cli: " + fichier + ": ", 0), 0u) << r.erreurs;
    }
    EXPECT_EQ(bus.FrameCount(), 0u);
    const TResultat r = Cli("config", {"diff", fichier + ".missing", "--id", "1"});
    EXPECT_EQ(r.statut, 2);
}

}  // namespace
