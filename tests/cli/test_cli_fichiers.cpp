// Files the tool writes: a link is followed and its target written (atomically for a regular
// file), a device, FIFO or descriptor link is written directly and never replaced, and a write
// error is a failure (exit status 1), for --out, --csv and --log alike.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "BancCli.h"
#include "EchecCli.h"
#include "FichierSortie.h"

using namespace clitest;
namespace fs = std::filesystem;

namespace {

class CliFichiers : public TBancCli {
protected:
    CliFichiers()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dossier = ::testing::TempDir() + "vantor-cli-" + info->name() + "-" + std::to_string(::getpid());
        fs::remove_all(dossier);
        fs::create_directories(dossier);
    }
    ~CliFichiers() override { fs::remove_all(dossier); }
    std::string dossier;
};

TEST_F(CliFichiers, LinksAreFollowedAndTheirTargetsReplacedWhole)
{
    const std::string cible = dossier + "/records/sensor-1.html";
    fs::create_directories(dossier + "/records");
    std::ofstream(cible) << "old";
    fs::permissions(cible, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("records/sensor-1.html", dossier + "/latest.html");  // relative
    fs::create_symlink(dossier + "/latest.html", dossier + "/chain.html");  // link to a link

    EcritFichier(dossier + "/chain.html", "new record\n");
    EXPECT_TRUE(fs::is_symlink(dossier + "/chain.html"));
    EXPECT_TRUE(fs::is_symlink(dossier + "/latest.html"));
    EXPECT_EQ(ContenuFichier(cible), "new record\n");
    EXPECT_EQ(fs::status(cible).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // Nothing left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dossier + "/records"), fs::directory_iterator()), 1);

    // A dangling link: its target is created.
    fs::create_symlink("records/new.json", dossier + "/dangling.json");
    EcritFichier(dossier + "/dangling.json", "{}\n");
    EXPECT_TRUE(fs::is_symlink(dossier + "/dangling.json"));
    EXPECT_EQ(ContenuFichier(dossier + "/records/new.json"), "{}\n");

    EXPECT_FALSE(CibleFichier(dossier + "/chain.html").direct);
    EXPECT_EQ(CibleFichier(dossier + "/chain.html").chemin, dossier + "/records/sensor-1.html");
    EXPECT_TRUE(CibleFichier("/dev/null").direct);
    EXPECT_TRUE(CibleFichier("/dev/stdout").direct);
    EXPECT_TRUE(CibleFichier("/proc/self/fd/1").direct);
}

// The temporary a file is first written to is created only where nothing stands under its
// name: a file or a link found there (even a dangling one) is neither followed nor clobbered,
// another name is drawn, and the file still lands whole.
TEST_F(CliFichiers, TheTemporaryNeverTakesAPlaceAlreadyTaken)
{
    const auto provisoire = [&](std::uint32_t n) { return dossier + "/" + NomProvisoire("sensor-1.json", n); };
    const std::string cible = dossier + "/sensor-1.json";
    std::ofstream(cible) << "old";
    std::ofstream(dossier + "/victim") << "victim";
    std::ofstream(provisoire(7)) << "someone else's";
    fs::create_symlink(dossier + "/victim", provisoire(8));
    fs::create_symlink(dossier + "/nowhere", provisoire(9));

    std::vector<std::uint32_t> tirages;
    RemplaceFichier(cible, "new record\n", [&] {
        tirages.push_back(7 + static_cast<std::uint32_t>(tirages.size()));
        return tirages.back();
    });
    EXPECT_EQ(tirages, (std::vector<std::uint32_t>{7, 8, 9, 10}));
    EXPECT_EQ(ContenuFichier(cible), "new record\n");
    EXPECT_EQ(ContenuFichier(provisoire(7)), "someone else's");
    EXPECT_TRUE(fs::is_symlink(provisoire(8)));
    EXPECT_EQ(ContenuFichier(dossier + "/victim"), "victim");
    EXPECT_TRUE(fs::is_symlink(provisoire(9)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dossier + "/nowhere")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(provisoire(10))));
    EXPECT_EQ(std::distance(fs::directory_iterator(dossier), fs::directory_iterator()), 5);
    EXPECT_EQ(NomProvisoire("sensor-1.json", 1234567890U), ".sensor-1.json.234567890.part");
}

// A replacement that fails leaves no temporary behind, and what stood under a drawn name stays.
TEST_F(CliFichiers, AFailedReplacementLeavesNoTemporary)
{
    const std::string pris = dossier + "/" + NomProvisoire("f.json", 3);
    std::ofstream(pris) << "x";
    try {
        RemplaceFichier(dossier + "/f.json", "y", [] { return 3U; });  // every name drawn is taken
        ADD_FAILURE() << "no error when every name is taken";
    } catch (const TEchecCli& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write " + dossier + "/f.json: File exists");
    }
    EXPECT_FALSE(fs::exists(dossier + "/f.json"));
    EXPECT_EQ(ContenuFichier(pris), "x");

    // The rename refused: a folder with something in it stands at the target.
    fs::create_directories(dossier + "/taken/inside");
    EXPECT_THROW(RemplaceFichier(dossier + "/taken", "y", [] { return 4U; }), TEchecCli);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dossier + "/" + NomProvisoire("taken", 4))));
    EXPECT_TRUE(fs::is_directory(dossier + "/taken/inside"));

    // The folder missing: nothing is created.
    EXPECT_THROW(RemplaceFichier(dossier + "/missing/f.json", "y", [] { return 5U; }), TEchecCli);
    EXPECT_EQ(std::distance(fs::directory_iterator(dossier), fs::directory_iterator()), 2);
}

TEST_F(CliFichiers, WriteErrorsAreFailures)
{
    try {
        EcritFichier("/dev/full", "x");
        ADD_FAILURE() << "no error on /dev/full";
    } catch (const TEchecCli& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write /dev/full: No space left on device");
    }
    EXPECT_THROW(EcritFichier(dossier + "/missing/f.json", "x"), TEchecCli);
    EXPECT_THROW(EcritFichier(dossier, "x"), TEchecCli);  // a folder
    // A loop of links is reported, and the links stay as they were.
    fs::create_symlink(dossier + "/b", dossier + "/a");
    fs::create_symlink(dossier + "/a", dossier + "/b");
    try {
        EcritFichier(dossier + "/a", "x");
        ADD_FAILURE() << "no error on a loop of links";
    } catch (const TEchecCli& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write " + dossier + "/a: Too many levels of symbolic links");
    }
    EXPECT_TRUE(fs::is_symlink(dossier + "/a"));
    EXPECT_TRUE(fs::is_symlink(dossier + "/b"));
    TFichierFlux flux;
    flux.Ouvre("/dev/full");
    EXPECT_THROW(flux.Ecrit("row\n"), TEchecCli);
}

// The reported faults, end to end: a record through a link, to a descriptor link, to /dev/full.
TEST_F(CliFichiers, ReportWritesThroughAndNeverReplacesADevice)
{
    bus.AddSensor(1).SetSelfTestTime(std::chrono::milliseconds(50));
    const std::string cible = dossier + "/sensor-1.json";
    std::ofstream(cible) << "old";
    fs::create_symlink(cible, dossier + "/link.json");
    TResultat r = Cli("report", {"--id", "1", "--out", dossier + "/link.json", "--seconds", "0.2", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_TRUE(fs::is_symlink(dossier + "/link.json"));
    EXPECT_EQ(TJson::parse(ContenuFichier(cible))["identity"]["serial"], "AB123456");

    // The descriptor link reaches the pipe of standard output.
    r = Cli("report", {"--id", "1", "--out", "/proc/self/fd/1", "--seconds", "0.2", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const auto fin = r.sortie.find("\n}\n");
    ASSERT_NE(fin, std::string::npos) << r.sortie;
    EXPECT_EQ(TJson::parse(r.sortie.substr(0, fin + 3))["identity"]["firmware"], "1.10");
    EXPECT_NE(r.sortie.find("\n{\"command\":\"report\",\"out\":\"/proc/self/fd/1\",\"pass\":true}\n"),
              std::string::npos)
        << r.sortie;

    r = Cli("report", {"--id", "1", "--out", "/dev/full", "--seconds", "0.2"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.sortie, "");
    EXPECT_NE(r.erreurs.find("cannot write /dev/full: No space left on device"), std::string::npos) << r.erreurs;
    struct stat etat {};
    ASSERT_EQ(::stat("/dev/full", &etat), 0);
    EXPECT_TRUE(S_ISCHR(etat.st_mode));
}

// A FIFO is written into, as a reader waits on it, and stays a FIFO.
TEST_F(CliFichiers, ConfigSaveIntoAFifo)
{
    bus.AddSensor(3);
    const std::string fifo = dossier + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int lecteur = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(lecteur, 0);
    const TResultat r = Cli("config", {"save", "--id", "3", "--out", fifo});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    std::string lu;
    char tampon[4096];
    for (ssize_t n; (n = ::read(lecteur, tampon, sizeof tampon)) > 0;)
        lu.append(tampon, static_cast<std::size_t>(n));
    ::close(lecteur);
    EXPECT_EQ(TJson::parse(lu)["address"], 3);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(CliFichiers, CsvAndLogFollowLinksAndFailOnAFullDevice)
{
    bus.AddSensor(1);
    const std::string csv = dossier + "/rows.csv";
    std::ofstream(csv) << "old";
    fs::create_symlink(csv, dossier + "/link.csv");
    TResultat r = Cli("watch", {"--id", "1", "--every", "10", "--count", "2", "--csv", dossier + "/link.csv"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_TRUE(fs::is_symlink(dossier + "/link.csv"));
    EXPECT_EQ(ContenuFichier(csv).rfind("time,acceleration_g", 0), 0u);

    r = Cli("watch", {"--id", "1", "--every", "10", "--count", "2", "--csv", "/dev/full"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.erreurs.find("cannot write /dev/full"), std::string::npos) << r.erreurs;
    r = Cli("read", {"--id", "1", "--log", "/dev/full"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.erreurs.find("cannot write /dev/full"), std::string::npos) << r.erreurs;
    r = Cli("config", {"save", "--id", "1", "--out", "/dev/full"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.erreurs.find("cannot write /dev/full"), std::string::npos) << r.erreurs;
}

}  // namespace
