// watch: samples at the period asked, the CSV file complete with ISO time stamps, Ctrl+C ends
// it cleanly, and a sensor that never answers.
#include <fstream>
#include <regex>
#include <sstream>

#include "BancCli.h"

using namespace clitest;

namespace {

class CliWatch : public TBancCli {
protected:
    std::string FichierCsv() const
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        return ::testing::TempDir() + "vantor-cli-" + info->name() + "-" + std::to_string(::getpid()) + ".csv";
    }

    static std::vector<std::string> Lignes(const std::string& chemin)
    {
        std::ifstream f(chemin, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        std::vector<std::string> lignes;
        std::string texte = s.str(), ligne;
        std::size_t debut = 0;
        for (std::size_t fin; (fin = texte.find("\r\n", debut)) != std::string::npos; debut = fin + 2)
            lignes.push_back(texte.substr(debut, fin - debut));
        EXPECT_EQ(debut, texte.size()) << "the file ends inside a row";
        return lignes;
    }

    static std::vector<std::string> Champs(const std::string& ligne)
    {
        std::vector<std::string> champs;
        std::stringstream s(ligne);
        std::string champ;
        while (std::getline(s, champ, ','))
            champs.push_back(champ);
        if (!ligne.empty() && ligne.back() == ',')
            champs.push_back("");
        return champs;
    }
};

const std::regex kIso(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z)");

TEST_F(CliWatch, CountSamplesIntoTheCsvFile)
{
    bus.AddSensor(1).ForceTemperature(19.75F);
    const std::string csv = FichierCsv();
    const TResultat r = Cli("watch", {"--id", "1", "--every", "50", "--count", "3", "--csv", csv});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const auto lignes = Lignes(csv);
    ASSERT_EQ(lignes.size(), 4u);
    EXPECT_EQ(lignes[0], "time,acceleration_g,temperature_c,status,Isupply,Icellule,Vref,Vin,Vdd,Vss,Vout,error");
    for (std::size_t i = 1; i < 4; ++i) {
        const auto c = Champs(lignes[i]);
        ASSERT_EQ(c.size(), 12u) << lignes[i];
        EXPECT_TRUE(std::regex_match(c[0], kIso)) << c[0];
        EXPECT_EQ(c[2], "19.8");
        EXPECT_EQ(c[3], "0x0000");
        EXPECT_EQ(c[11], "");
    }
    // Three samples of three reads each: acceleration, temperature, monitoring.
    EXPECT_EQ(bus.FrameCount(), 9u);
    std::remove(csv.c_str());
}

TEST_F(CliWatch, CtrlCEndsCleanlyWithTheCsvComplete)
{
    bus.AddSensor(1);
    const std::string csv = FichierCsv();
    TLancement l;
    l.arguments = {"watch", "--port", bus.DevicePath(), "--id", "1", "--every", "20", "--csv", csv, "--json"};
    l.surveillance = [](const std::string& sortie, const std::string&) {
        return std::count(sortie.begin(), sortie.end(), '\n') >= 4;
    };
    const TResultat r = TProgrammeCli::Lance(l);
    EXPECT_EQ(r.statut, 0) << r.erreurs;
    // Every sample shown is in the file, whole.
    std::vector<std::string> montres;
    std::stringstream s(r.sortie);
    for (std::string ligne; std::getline(s, ligne);)
        montres.push_back(TJson::parse(ligne)["time"].get<std::string>());
    ASSERT_GE(montres.size(), 4u);
    const auto lignes = Lignes(csv);
    ASSERT_EQ(lignes.size(), montres.size() + 1);
    for (std::size_t i = 0; i < montres.size(); ++i) {
        EXPECT_EQ(Champs(lignes[i + 1]).size(), 12u);
        EXPECT_EQ(Champs(lignes[i + 1])[0], montres[i]);
    }
    std::remove(csv.c_str());
}

TEST_F(CliWatch, PeriodIsKeptFromStartToStart)
{
    bus.AddSensor(1);
    const auto debut = std::chrono::steady_clock::now();
    const TResultat r = Cli("watch", {"--id", "1", "--every", "400", "--count", "4"});
    const double secondes = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    // Three periods between four samples, whatever each sample's three transactions take.
    EXPECT_GE(secondes, 1.2);
    EXPECT_LT(secondes, 1.2 + 0.2 + 0.2 + 2.0);
}

TEST_F(CliWatch, FailedReadsShowErrAndPollingGoesOn)
{
    bus.AddSensor(1).SetFaults({.silent = true});
    const std::string csv = FichierCsv();
    const TResultat r = Cli("watch", {"--id", "1", "--every", "10", "--count", "2", "--csv", csv});
    EXPECT_EQ(r.statut, 1);  // not one read succeeded
    EXPECT_EQ(r.erreurs, "vantor-cli: No detected sensor\n");
    EXPECT_NE(r.sortie.find("err g  err \xC2\xB0"
                            "C  status err"),
              std::string::npos)
        << r.sortie;
    const auto lignes = Lignes(csv);
    ASSERT_EQ(lignes.size(), 3u);
    const auto c = Champs(lignes[2]);
    ASSERT_EQ(c.size(), 12u);
    EXPECT_EQ(c[1], "");
    EXPECT_EQ(c[11], "No detected sensor");
    std::remove(csv.c_str());
}

TEST_F(CliWatch, CsvThatCannotBeWrittenFailsBeforeAnyRequest)
{
    bus.AddSensor(1);
    const TResultat r = Cli("watch", {"--id", "1", "--count", "1", "--csv", "/nonexistent/dir/x.csv"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "vantor-cli: cannot write /nonexistent/dir/x.csv: No such file or directory\n");
    EXPECT_EQ(bus.FrameCount(), 0u);
}

}  // namespace

namespace {

TEST_F(CliWatch, ProgressOnATerminalOnly)
{
    bus.AddSensor(1);
    TLancement l;
    l.arguments = {"watch", "--port", bus.DevicePath(), "--id", "1", "--every", "10", "--count", "2"};
    l.erreursSurTerminal = true;
    const TResultat terminal = TProgrammeCli::Lance(l);
    ASSERT_EQ(terminal.statut, 0) << terminal.erreurs;
    EXPECT_NE(terminal.erreurs.find("watch: 2 of 2 samples"), std::string::npos) << terminal.erreurs;
    const TResultat tube = Cli("watch", {"--id", "1", "--every", "10", "--count", "2"});
    EXPECT_EQ(tube.erreurs, "");
    EXPECT_EQ(tube.sortie.find('\x1B'), std::string::npos);
}

}  // namespace

namespace {

// Three sensors read in turn, the one in the middle silent: its group shows the failure, the
// others go on; one time stamp per row.
TEST_F(CliWatch, SeveralSensorsInTurn)
{
    bus.AddSensor(1).ForceTemperature(20.0F);
    bus.AddSensor(5).SetFaults({.silent = true});
    bus.AddSensor(17).ForceTemperature(31.0F);
    const std::string csv = FichierCsv();
    const TResultat r = Cli("watch", {"--id", "1,5,17", "--every", "10", "--count", "2", "--csv", csv});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const auto lignes = Lignes(csv);
    ASSERT_EQ(lignes.size(), 3u);
    const auto entete = Champs(lignes[0]);
    ASSERT_EQ(entete.size(), 1u + 3 * 11);
    EXPECT_EQ(entete[1], "s1_acceleration_g");
    EXPECT_EQ(entete[12], "s5_acceleration_g");
    EXPECT_EQ(entete[23], "s17_acceleration_g");
    EXPECT_EQ(entete[33], "s17_error");
    for (std::size_t i = 1; i < 3; ++i) {
        const auto c = Champs(lignes[i]);
        ASSERT_EQ(c.size(), entete.size()) << lignes[i];
        EXPECT_TRUE(std::regex_match(c[0], kIso)) << c[0];
        EXPECT_EQ(c[2], "20.0");
        EXPECT_EQ(c[11], "");
        EXPECT_EQ(c[12], "");
        EXPECT_EQ(c[22], "No detected sensor");
        EXPECT_EQ(c[24], "31.0");
        EXPECT_EQ(c[33], "");
    }
    // Per sample: the three reads of 1, then of 5, then of 17, the port held open.
    const auto trames = Trames();
    ASSERT_EQ(trames.size(), 18u);
    const std::string adresses[] = {"01", "05", "11"};
    for (std::size_t i = 0; i < trames.size(); ++i)
        EXPECT_EQ(trames[i].substr(0, 2), adresses[(i / 3) % 3]) << i;

    const TResultat j = Cli("watch", {"--id", "1,5", "--count", "1", "--json"});
    ASSERT_EQ(j.statut, 0) << j.erreurs;
    const TJson doc = Json(j);
    EXPECT_EQ(doc["sensors"][0]["id"], 1);
    EXPECT_EQ(doc["sensors"][0]["temperature_c"], 20.0);
    EXPECT_EQ(doc["sensors"][1]["error"], "No detected sensor");
    EXPECT_TRUE(doc["sensors"][1]["acceleration_g"].is_null());
    std::remove(csv.c_str());
}

TEST_F(CliWatch, NoReadOfAnySensorIsStatusOne)
{
    bus.AddSensor(1).SetFaults({.silent = true});
    bus.AddSensor(2).SetFaults({.silent = true});
    const TResultat r = Cli("watch", {"--id", "1,2", "--every", "10", "--count", "2"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.sortie.find("#1 err g"), std::string::npos) << r.sortie;
    EXPECT_NE(r.sortie.find("#2 err g"), std::string::npos) << r.sortie;
}

// --log: one JSON line per transaction, in the order of the frames on the line.
TEST_F(CliWatch, LogHasOneLinePerTransaction)
{
    bus.AddSensor(1);
    bus.AddSensor(2).SetFaults({.exceptionCode = 2});
    const std::string journal = FichierCsv() + ".jsonl";
    const TResultat r = Cli("watch", {"--id", "1,2,3", "--every", "10", "--count", "1", "--log", journal});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    std::vector<TJson> lignes;
    std::stringstream s(ContenuFichier(journal));
    for (std::string ligne; std::getline(s, ligne);)
        lignes.push_back(TJson::parse(ligne));
    const auto trames = bus.ReceivedFrames();
    ASSERT_EQ(lignes.size(), trames.size());
    ASSERT_EQ(lignes.size(), 9u);
    const int registres[] = {0, 2, 4};
    const int codes[] = {0, -21, -3};  // answer, exception 2, nobody at 3
    for (std::size_t i = 0; i < lignes.size(); ++i) {
        const TJson& l = lignes[i];
        EXPECT_TRUE(std::regex_match(l["time"].get<std::string>(), kIso)) << l;
        EXPECT_EQ(l["operation"], "read input") << l;
        EXPECT_EQ(l["address"], trames[i][0]) << l;
        EXPECT_EQ(l["register"], registres[i % 3]) << l;
        EXPECT_EQ(l["code"], codes[i / 3]) << l;
        EXPECT_GT(l["duration_ms"].get<double>(), 0.0) << l;
    }
    // Nobody answering takes at least the driver's read time-out.
    EXPECT_GE(lignes[8]["duration_ms"].get<double>(), 40.0);
    std::remove(journal.c_str());
}

}  // namespace
