// ports on a fake device tree (sysfs, /dev, by-id links and the COMn folder in a folder of the
// test's own): what is listed, access and busy, and assign / unassign.
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "BancCli.h"

using namespace clitest;
namespace fs = std::filesystem;

namespace {

class CliPorts : public ::testing::Test {
protected:
    CliPorts()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        racine = fs::path(::testing::TempDir())
                 / ("vantor-cli-ports-" + std::string(info->name()) + "-" + std::to_string(::getpid()));
        fs::remove_all(racine);
        sys = racine / "sys";
        dev = racine / "dev";
        dos = racine / "app" / "dosdevices";
        fs::create_directories(dev / "serial" / "by-id");
        fs::create_directories(sys / "class" / "tty");

        // A USB adapter: usb1/1-1 (idVendor, idProduct, product), interface 1-1:1.0, port ttyUSB0
        // bound to ftdi_sio.
        const fs::path usb = sys / "devices" / "pci0000:00" / "usb1" / "1-1";
        const fs::path port = usb / "1-1:1.0" / "ttyUSB0";
        fs::create_directories(port / "tty" / "ttyUSB0");
        Ecrit(usb / "idVendor", "0403\n");
        Ecrit(usb / "idProduct", "6001\n");
        Ecrit(usb / "product", "FT232R USB UART\n");
        fs::create_directories(sys / "bus" / "usb-serial" / "drivers" / "ftdi_sio");
        fs::create_directory_symlink("../../../../../../bus/usb-serial/drivers/ftdi_sio", port / "driver");
        fs::create_directory_symlink("../../devices/pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0",
                                     sys / "class" / "tty" / "ttyUSB0");
        fs::create_directory_symlink("../../../ttyUSB0", port / "tty" / "ttyUSB0" / "device");
        Ecrit(dev / "ttyUSB0", "");
        fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");

        // A motherboard port: ttyS0 bound to "serial", no USB.
        const fs::path s0 = sys / "devices" / "pnp0" / "00:01";
        fs::create_directories(s0 / "tty" / "ttyS0");
        fs::create_directories(sys / "bus" / "pnp" / "drivers" / "serial");
        fs::create_directory_symlink("../../../bus/pnp/drivers/serial", s0 / "driver");
        fs::create_directory_symlink("../../devices/pnp0/00:01/tty/ttyS0", sys / "class" / "tty" / "ttyS0");
        fs::create_directory_symlink("../../../00:01", s0 / "tty" / "ttyS0" / "device");
        Ecrit(dev / "ttyS0", "");

        // A motherboard port without a UART behind it (type 0): not listed.
        const fs::path s1 = sys / "devices" / "platform" / "serial8250";
        fs::create_directories(s1 / "tty" / "ttyS1");
        fs::create_directories(sys / "bus" / "platform" / "drivers" / "serial8250");
        fs::create_directory_symlink("../../../bus/platform/drivers/serial8250", s1 / "driver");
        fs::create_directory_symlink("../../devices/platform/serial8250/tty/ttyS1", sys / "class" / "tty" / "ttyS1");
        fs::create_directory_symlink("../../../serial8250", s1 / "tty" / "ttyS1" / "device");
        Ecrit(s1 / "tty" / "ttyS1" / "type", "0\n");
        Ecrit(s0 / "tty" / "ttyS0" / "type", "4\n");
        Ecrit(dev / "ttyS1", "");

        // A virtual terminal: no device link, not listed.
        fs::create_directories(sys / "devices" / "virtual" / "tty" / "tty1");
        fs::create_directory_symlink("../../devices/virtual/tty/tty1", sys / "class" / "tty" / "tty1");
        Ecrit(dev / "tty1", "");
    }
    ~CliPorts() override { fs::remove_all(racine); }

    static void Ecrit(const fs::path& p, const std::string& texte) { std::ofstream(p) << texte; }

    TResultat Ports(std::vector<std::string> arguments, int utilisateur = -1)
    {
        TLancement l;
        l.arguments = {"ports"};
        l.arguments.insert(l.arguments.end(), arguments.begin(), arguments.end());
        l.environnement = {{"VANTOR_CLI_SYSFS", sys.string()},
                           {"VANTOR_CLI_DEV", dev.string()},
                           {"VANTOR_CLI_DOSDEVICES", dos.string()}};
        l.utilisateur = utilisateur;
        return TProgrammeCli::Lance(l);
    }

    fs::path racine, sys, dev, dos;
};

TEST_F(CliPorts, ListsSerialDevicesWithTheirDetails)
{
    const TResultat r = Ports({"--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = TJson::parse(r.sortie);
    ASSERT_EQ(j["ports"].size(), 2u) << r.sortie;
    const TJson& s0 = j["ports"][0];
    EXPECT_EQ(s0["path"], (dev / "ttyS0").string());
    EXPECT_EQ(s0["driver"], "serial");
    EXPECT_EQ(s0["usb"], "");
    EXPECT_EQ(s0["by_id"], "");
    const TJson& usb = j["ports"][1];
    EXPECT_EQ(usb["path"], (dev / "ttyUSB0").string());
    EXPECT_EQ(usb["driver"], "ftdi_sio");
    EXPECT_EQ(usb["usb"], "0403:6001");
    EXPECT_EQ(usb["product"], "FT232R USB UART");
    EXPECT_EQ(usb["by_id"], (dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0").string());
    EXPECT_EQ(usb["accessible"], true);
    EXPECT_EQ(usb["busy"], false);
    EXPECT_EQ(usb["com"], TJson::array());
    EXPECT_EQ(j["dosdevices"], dos.string());
}

TEST_F(CliPorts, AssignPrefersTheByIdNameAndTheListShowsIt)
{
    TResultat r = Ports({"assign", "com3", (dev / "ttyUSB0").string()});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const fs::path parId = dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    EXPECT_EQ(r.sortie, "COM3 -> " + parId.string() + "\n");
    EXPECT_EQ(fs::read_symlink(dos / "com3"), parId);

    r = Ports({"assign", "COM4", "ttyS0"});  // a name under /dev will do
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(fs::read_symlink(dos / "com4"), dev / "ttyS0");

    r = Ports({});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_NE(r.sortie.find((dev / "ttyUSB0").string() + "  (COM3)\n"), std::string::npos) << r.sortie;
    EXPECT_NE(r.sortie.find("  usb       0403:6001  FT232R USB UART\n"), std::string::npos) << r.sortie;
    EXPECT_NE(r.sortie.find("  COM3 -> " + parId.string() + "\n"), std::string::npos) << r.sortie;
    EXPECT_NE(r.sortie.find("  COM4 -> " + (dev / "ttyS0").string() + "\n"), std::string::npos) << r.sortie;

    // Reassigning replaces the link; unassign removes it.
    r = Ports({"assign", "COM3", "ttyS0"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(fs::read_symlink(dos / "com3"), dev / "ttyS0");
    r = Ports({"unassign", "COM3"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "COM3 unassigned\n");
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(dos / "com3")));
    r = Ports({"unassign", "COM3"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs, "vantor-cli: COM3 is not assigned\n");
}

TEST_F(CliPorts, AssignRefusesWhatItCannotDo)
{
    EXPECT_EQ(Ports({"assign", "COM2", (dev / "ttyUSB9").string()}).erreurs,
              "vantor-cli: no such device: " + (dev / "ttyUSB9").string() + "\n");
    fs::create_directories(dos);
    Ecrit(dos / "com2", "a file");
    const TResultat r = Ports({"assign", "COM2", "ttyS0"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.erreurs.find("exists and is not a link: left alone"), std::string::npos);
    EXPECT_EQ(Ports({"assign", "COM0", "ttyS0"}).statut, 2);
    EXPECT_EQ(Ports({"assign", "LPT1", "ttyS0"}).statut, 2);
    EXPECT_EQ(Ports({"assign", "COM1"}).statut, 2);
}

TEST_F(CliPorts, BusyDeviceIsShownBusy)
{
    const int fd = ::open((dev / "ttyUSB0").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);  // as the driver holds an open port
    const TResultat r = Ports({"--json"});
    ::close(fd);
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = TJson::parse(r.sortie);
    EXPECT_EQ(j["ports"][1]["busy"], true);
    EXPECT_EQ(j["ports"][0]["busy"], false);
}

TEST_F(CliPorts, DeviceTheUserMayNotOpenTellsTheFix)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to create a device of another group and run as another user";
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr)
        GTEST_SKIP() << "no group dialout";
    ASSERT_EQ(::chown((dev / "ttyUSB0").c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod((dev / "ttyUSB0").c_str(), 0660), 0);
    // The unprivileged user must reach the fake tree (its folders are readable by all).
    fs::permissions(racine, fs::perms::others_exec | fs::perms::others_read, fs::perm_options::add);
    const TResultat r = Ports({"--json"}, 65534);
    if (r.statut == 126 || r.statut == 127)
        GTEST_SKIP() << "user 65534 cannot run the program from this folder";
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = TJson::parse(r.sortie);
    EXPECT_EQ(j["ports"][1]["accessible"], false);
    EXPECT_EQ(j["ports"][1]["fix"], "join group \"dialout\": sudo usermod -aG dialout $USER, then log in again");
}

}  // namespace

namespace {

// A listening socket on a free port of 127.0.0.1: the kernel completes connections to it.
class TEcoute {
public:
    TEcoute()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t taille = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 4) != 0
            || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &taille) != 0)
            throw std::runtime_error("no listening socket");
        port_ = ntohs(a.sin_port);
    }
    ~TEcoute() { ::close(fd_); }
    TEcoute(const TEcoute&) = delete;
    TEcoute& operator=(const TEcoute&) = delete;
    std::string Port() const { return std::to_string(port_); }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

TEST_F(CliPorts, SerialServerNamesAreLinkedAsTheyStandAndProbed)
{
    TEcoute serveur;
    const std::string repond = "rfc2217://127.0.0.1:" + serveur.Port();
    std::string muet;
    {
        const TEcoute ferme;  // a port that was free a moment ago, and nothing listens on any more
        muet = "tcp://127.0.0.1:" + ferme.Port() + "?latency=40";
    }
    TResultat r = Ports({"assign", "COM5", repond});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "COM5 -> " + repond + "\n");
    EXPECT_EQ(fs::read_symlink(dos / "com5").string(), repond);
    r = Ports({"assign", "COM6", muet});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(fs::read_symlink(dos / "com6").string(), muet);

    r = Ports({});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_NE(r.sortie.find("  COM5 -> " + repond + "  (server answers)\n"), std::string::npos) << r.sortie;
    EXPECT_NE(r.sortie.find("  COM6 -> " + muet + "  (no answer from the server)\n"), std::string::npos) << r.sortie;
    r = Ports({"--json"});
    const TJson j = TJson::parse(r.sortie);
    ASSERT_EQ(j["links"].size(), 2u) << r.sortie;
    EXPECT_EQ(j["links"][0]["valid"], true);
    EXPECT_EQ(j["links"][1]["valid"], false);

    r = Ports({"assign", "COM7", "rfc2217://gw"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.erreurs,
              "vantor-cli: not a serial server name (tcp://HOST:PORT or rfc2217://HOST:PORT): rfc2217://gw\n");
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(dos / "com7")));
}

}  // namespace
