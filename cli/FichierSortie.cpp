#include "FichierSortie.h"

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include "EchecCli.h"

namespace fs = std::filesystem;

namespace {

// Links followed at most (the kernel's own limit), beyond which the open reports the loop.
constexpr int kSautsMax = 40;

[[noreturn]] void Echec(const std::string& chemin, int erreur)
{
    throw TEchecCli("cannot write " + chemin + (erreur != 0 ? ": " + std::generic_category().message(erreur) : ""));
}

// A path a process's descriptor stands behind: /proc/self/fd/N, /dev/fd/N and the like.
bool DescripteurProcessus(const fs::path& p)
{
    const std::string texte = p.generic_string();
    return texte.rfind("/proc/", 0) == 0 || texte.rfind("/dev/fd/", 0) == 0;
}

void EcritTout(std::FILE* f, const std::string& contenu, const std::string& chemin)
{
    errno = 0;
    if (!contenu.empty() && std::fwrite(contenu.data(), 1, contenu.size(), f) != contenu.size())
        Echec(chemin, errno);
    if (std::fflush(f) != 0)
        Echec(chemin, errno);
}

void FermeOuEchoue(std::FILE* f, const std::string& chemin)
{
    errno = 0;
    if (std::fclose(f) != 0)
        Echec(chemin, errno);
}

std::string SuffixeProvisoire()
{
    std::random_device hasard;
    return std::to_string(hasard() % 1000000000U);
}

// A complete file beside the target, renamed over it: readers see the old file or the new one.
void Remplace(const std::string& affiche, const fs::path& cible, const std::string& contenu)
{
    // Built piece by piece: GCC 12 misreads "." + text temporaries at -O2.
    std::string nom = ".";
    nom += cible.filename().string();
    nom += '.';
    nom += SuffixeProvisoire();
    nom += ".part";
    const fs::path provisoire = cible.parent_path() / nom;
    std::FILE* f = std::fopen(provisoire.string().c_str(), "wb");
    if (f == nullptr)
        Echec(affiche, errno);
    try {
        EcritTout(f, contenu, affiche);
    } catch (const TEchecCli&) {
        std::fclose(f);
        std::remove(provisoire.string().c_str());
        throw;
    }
    std::error_code e;
    try {
        FermeOuEchoue(f, affiche);
        // The replacement keeps the permissions of the file it replaces.
        const fs::file_status avant = fs::status(cible, e);
        if (!e && fs::is_regular_file(avant))
            fs::permissions(provisoire, avant.permissions(), e);
        fs::rename(provisoire, cible, e);
        if (e)
            throw TEchecCli("cannot write " + affiche + ": " + e.message());
    } catch (const TEchecCli&) {
        std::remove(provisoire.string().c_str());
        throw;
    }
}

}  // namespace

TCibleFichier CibleFichier(const std::string& chemin)
{
    fs::path p(chemin);
    std::error_code e;
    for (int saut = 0; saut < kSautsMax; ++saut) {
        if (DescripteurProcessus(p))
            return {p.string(), true};
        const fs::file_status s = fs::symlink_status(p, e);
        if (e || !fs::is_symlink(s))
            break;
        const fs::path lien = fs::read_symlink(p, e);
        if (e)
            break;
        p = lien.is_absolute() ? lien : p.parent_path() / lien;
    }
    // Still a link (a loop, or one that could not be read): never replaced; opening it directly
    // follows it or reports why it cannot.
    if (fs::is_symlink(fs::symlink_status(p, e)))
        return {p.string(), true};
    const fs::file_status s = fs::status(p, e);
    return {p.string(), !e && fs::exists(s) && !fs::is_regular_file(s)};
}

void EcritFichier(const std::string& chemin, const std::string& contenu)
{
    if (chemin == "-") {
        EcritTout(stdout, contenu, "standard output");
        return;
    }
    const TCibleFichier cible = CibleFichier(chemin);
    if (!cible.direct) {
        Remplace(chemin, fs::path(cible.chemin), contenu);
        return;
    }
    std::FILE* f = std::fopen(cible.chemin.c_str(), "ab");
    if (f == nullptr)
        Echec(chemin, errno);
    try {
        EcritTout(f, contenu, chemin);
    } catch (const TEchecCli&) {
        std::fclose(f);
        throw;
    }
    FermeOuEchoue(f, chemin);
}

TFichierFlux::~TFichierFlux()
{
    if (fichier_ != nullptr)
        std::fclose(fichier_);
}

void TFichierFlux::Ouvre(const std::string& chemin)
{
    const TCibleFichier cible = CibleFichier(chemin);
    fichier_ = std::fopen(cible.chemin.c_str(), cible.direct ? "ab" : "wb");
    if (fichier_ == nullptr)
        Echec(chemin, errno);
    chemin_ = chemin;
}

void TFichierFlux::Ecrit(const std::string& texte)
{
    if (fichier_ != nullptr)
        EcritTout(fichier_, texte, chemin_);
}

void TFichierFlux::Ferme()
{
    if (fichier_ == nullptr)
        return;
    std::FILE* f = fichier_;
    fichier_ = nullptr;
    FermeOuEchoue(f, chemin_);
}
