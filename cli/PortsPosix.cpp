#include "PortsSerie.h"

#include <fcntl.h>
#include <grp.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "EchecCli.h"
#include "GatewayName.h"
#include "OptionsCli.h"
#include "Plateforme.h"

namespace fs = std::filesystem;

namespace {

std::string LitPremiereLigne(const fs::path& fichier)
{
    std::ifstream f(fichier);
    std::string ligne;
    std::getline(f, ligne);
    while (!ligne.empty() && (ligne.back() == '\r' || ligne.back() == ' '))
        ligne.pop_back();
    return ligne;
}

// The resolved path, or the path as it is when it cannot be resolved.
fs::path Resolu(const fs::path& p)
{
    std::error_code e;
    const fs::path r = fs::canonical(p, e);
    return e ? p : r;
}

bool Existe(const fs::path& p)
{
    std::error_code e;
    return fs::exists(p, e);
}

// USB vendor:product and product text of the device or the nearest USB device above it.
void LitUsb(fs::path dossier, const fs::path& racine, TPortSerie& port)
{
    for (int niveau = 0; niveau < 8 && !dossier.empty() && dossier != racine && dossier != dossier.parent_path();
         ++niveau) {
        if (Existe(dossier / "idVendor") && Existe(dossier / "idProduct")) {
            port.usb = LitPremiereLigne(dossier / "idVendor") + ":" + LitPremiereLigne(dossier / "idProduct");
            port.produit = LitPremiereLigne(dossier / "product");
            return;
        }
        dossier = dossier.parent_path();
    }
}

// A serial port whose kernel knows no UART behind it (most of ttyS0..ttyS31) is no port: its
// "type" attribute reads 0 (PORT_UNKNOWN), which anyone may read, unlike the device itself.
bool UartAbsente(const fs::path& classeTty)
{
    return Existe(classeTty / "type") && LitPremiereLigne(classeTty / "type") == "0";
}

bool MembreDuGroupe(gid_t groupe)
{
    if (::getegid() == groupe)
        return true;
    std::vector<gid_t> groupes(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int n = ::getgroups(static_cast<int>(groupes.size()), groupes.data());
    return n > 0 && std::find(groupes.begin(), groupes.begin() + n, groupe) != groupes.begin() + n;
}

std::string Remede(const std::string& chemin)
{
    struct stat info {};
    if (::stat(chemin.c_str(), &info) != 0)
        return "the device cannot be examined";
    const group* g = ::getgrgid(info.st_gid);
    const std::string groupe = g != nullptr ? g->gr_name : std::to_string(info.st_gid);
    if ((info.st_mode & S_IRGRP) && (info.st_mode & S_IWGRP) && !MembreDuGroupe(info.st_gid))
        return "join group \"" + groupe + "\": sudo usermod -aG " + groupe + " $USER, then log in again";
    return "ask the administrator for read and write permission on " + chemin;
}

// Busy: the device refuses a second opener (TIOCEXCL) or another program holds its lock.
bool Occupe(const std::string& chemin)
{
    const int fd = ::open(chemin.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    const bool verrouille = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return verrouille;
}

// Whether the serial server of the name accepts a TCP connection within a second.
bool ServeurRepond(const std::string& nom)
{
    const auto serveur = ParseGatewayName(nom);
    if (!serveur)
        return false;
    addrinfo indications{};
    indications.ai_family = AF_UNSPEC;
    indications.ai_socktype = SOCK_STREAM;
    indications.ai_flags = AI_NUMERICSERV;
    addrinfo* adresses = nullptr;
    if (::getaddrinfo(serveur->host.c_str(), std::to_string(serveur->port).c_str(), &indications, &adresses) != 0)
        return false;
    bool repond = false;
    for (const addrinfo* a = adresses; a != nullptr && !repond; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            repond = true;
        } else if (errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int erreur = 0;
            socklen_t taille = sizeof erreur;
            repond = ::poll(&p, 1, 1000) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &erreur, &taille) == 0
                     && erreur == 0;
        }
        ::close(fd);
    }
    ::freeaddrinfo(adresses);
    return repond;
}

fs::path DossierCom(const TRacinesPorts& r)
{
    return r.dosdevices;
}

fs::path LienCom(const TRacinesPorts& r, int numero)
{
    return DossierCom(r) / ("com" + std::to_string(numero));
}

}  // namespace

TRacinesPorts RacinesPorts()
{
    TRacinesPorts r;
    if (auto v = Environnement("VANTOR_CLI_SYSFS"))
        r.sys = *v;
    if (auto v = Environnement("VANTOR_CLI_DEV"))
        r.dev = *v;
    r.dosdevices = DossierProgramme() + "/dosdevices";
    if (auto v = Environnement("VANTOR_CLI_DOSDEVICES"))
        r.dosdevices = *v;
    return r;
}

bool AssignationPossible()
{
    return true;
}

std::vector<TLienCom> LiensCom(const TRacinesPorts& r)
{
    std::vector<TLienCom> liens;
    std::error_code e;
    for (const auto& entree : fs::directory_iterator(DossierCom(r), e)) {
        const std::string nom = entree.path().filename().string();
        const int n = nom.rfind("com", 0) == 0 ? NumeroCom("COM" + nom.substr(3)) : 0;
        if (n == 0 || !entree.is_symlink(e))
            continue;
        TLienCom lien;
        lien.numero = n;
        lien.cible = fs::read_symlink(entree.path(), e).string();
        // A serial server's name is valid while the server answers.
        lien.valide = IsGatewayName(lien.cible) ? ServeurRepond(lien.cible) : Existe(entree.path());
        liens.push_back(lien);
    }
    std::sort(liens.begin(), liens.end(), [](const TLienCom& a, const TLienCom& b) { return a.numero < b.numero; });
    return liens;
}

std::vector<TPortSerie> ListePorts(const TRacinesPorts& r)
{
    const fs::path classe = fs::path(r.sys) / "class" / "tty";
    const std::vector<TLienCom> liens = LiensCom(r);
    std::vector<TPortSerie> ports;
    std::error_code e;
    for (const auto& entree : fs::directory_iterator(classe, e)) {
        const fs::path peripherique = entree.path() / "device";
        if (!Existe(peripherique))
            continue;  // virtual terminals and pseudo-terminals have no device
        const std::string nom = entree.path().filename().string();
        TPortSerie port;
        port.chemin = (fs::path(r.dev) / nom).string();
        if (!Existe(port.chemin))
            continue;
        const fs::path reel = Resolu(peripherique);
        if (Existe(reel / "driver"))
            port.pilote = Resolu(reel / "driver").filename().string();
        if (UartAbsente(entree.path()))
            continue;
        LitUsb(reel, Resolu(r.sys), port);

        const fs::path cible = Resolu(port.chemin);
        for (const auto& id : fs::directory_iterator(fs::path(r.dev) / "serial" / "by-id", e))
            if (Resolu(id.path()) == cible)
                port.parId = id.path().string();

        port.accessible = ::access(port.chemin.c_str(), R_OK | W_OK) == 0;
        if (!port.accessible)
            port.remede = Remede(port.chemin);
        else
            port.occupe = Occupe(port.chemin);
        for (const auto& l : liens)
            if (l.valide && Resolu(LienCom(r, l.numero)) == cible)
                port.noms.push_back("COM" + std::to_string(l.numero));
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(), [](const TPortSerie& a, const TPortSerie& b) { return a.chemin < b.chemin; });
    return ports;
}

std::string AssignePort(const TRacinesPorts& r, int numero, const std::string& peripherique)
{
    // A serial server's name is the link's text as it stands; the driver reads it back.
    const bool serveur = IsGatewayName(peripherique);
    if (serveur && !ParseGatewayName(peripherique))
        throw TEchecCli("not a serial server name (tcp://HOST:PORT or rfc2217://HOST:PORT): " + peripherique);
    fs::path chemin = peripherique;
    if (!serveur && !Existe(chemin) && chemin.is_relative() && Existe(fs::path(r.dev) / chemin))
        chemin = fs::path(r.dev) / chemin;  // "ttyUSB0"
    if (!serveur && !Existe(chemin))
        throw TEchecCli("no such device: " + peripherique);

    // The stable name survives re-plugging and a changed ttyUSB number.
    std::string cible = serveur ? peripherique : fs::absolute(chemin).lexically_normal().string();
    std::error_code e;
    const fs::path reel = Resolu(chemin);
    for (const auto& id : fs::directory_iterator(fs::path(r.dev) / "serial" / "by-id", e))
        if (!serveur && Resolu(id.path()) == reel)
            cible = id.path().string();

    const fs::path lien = LienCom(r, numero);
    fs::create_directories(DossierCom(r), e);
    if (e)
        throw TEchecCli("cannot create " + DossierCom(r).string() + ": " + e.message());
    if (fs::is_symlink(fs::symlink_status(lien, e)))
        fs::remove(lien, e);
    else if (fs::exists(fs::symlink_status(lien, e)))
        throw TEchecCli(lien.string() + " exists and is not a link: left alone");
    fs::create_symlink(cible, lien, e);
    if (e)
        throw TEchecCli("cannot create " + lien.string() + ": " + e.message());
    return cible;
}

void LiberePort(const TRacinesPorts& r, int numero)
{
    const fs::path lien = LienCom(r, numero);
    std::error_code e;
    if (!fs::is_symlink(fs::symlink_status(lien, e)))
        throw TEchecCli("COM" + std::to_string(numero) + " is not assigned");
    fs::remove(lien, e);
    if (e)
        throw TEchecCli("cannot remove " + lien.string() + ": " + e.message());
}
