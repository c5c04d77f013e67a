#include "FichierSortie.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

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

// Writes the whole content and closes the file, which is closed whatever happens.
void EcritEtFerme(std::FILE* f, const std::string& contenu, const std::string& chemin)
{
    try {
        EcritTout(f, contenu, chemin);
    } catch (const TEchecCli&) {
        std::fclose(f);
        throw;
    }
    FermeOuEchoue(f, chemin);
}

// Creates a file for writing only where nothing stands under its name yet: a file or a link
// (even a dangling one) already there is neither followed nor truncated. nullptr with errno set
// when it cannot be created.
std::FILE* CreeExclusif(const fs::path& chemin)
{
#ifdef _WIN32
    const int descripteur = ::_wopen(chemin.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    const int descripteur = ::open(chemin.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
    if (descripteur < 0)
        return nullptr;
#ifdef _WIN32
    std::FILE* f = ::_fdopen(descripteur, "wb");
#else
    std::FILE* f = ::fdopen(descripteur, "wb");
#endif
    if (f == nullptr) {
        const int erreur = errno;
#ifdef _WIN32
        ::_close(descripteur);
#else
        ::close(descripteur);
#endif
        errno = erreur;
    }
    return f;
}

// Names drawn for the temporary before giving up: each one taken already costs one more.
constexpr int kTiragesMax = 100;

// The temporary beside the target, created under the first drawn name nothing stands under.
std::FILE* CreeProvisoire(const std::string& affiche, const fs::path& cible, const TTirage& tirage,
                          fs::path& provisoire)
{
    for (int essai = 0; essai < kTiragesMax; ++essai) {
        provisoire = cible.parent_path() / NomProvisoire(cible.filename().string(), tirage());
        std::FILE* f = CreeExclusif(provisoire);
        if (f != nullptr)
            return f;
        const int erreur = errno;
        if (erreur != EEXIST)
            Echec(affiche, erreur);
    }
    Echec(affiche, EEXIST);
}

// The temporary, removed at the end of its scope unless it was renamed over its target.
class TProvisoire {
public:
    explicit TProvisoire(fs::path chemin) : chemin_(std::move(chemin)) {}
    ~TProvisoire()
    {
        std::error_code e;
        if (!renomme_)
            fs::remove(chemin_, e);
    }
    TProvisoire(const TProvisoire&) = delete;
    TProvisoire& operator=(const TProvisoire&) = delete;

    // Renames it over the target; throws TEchecCli naming affiche when it cannot.
    void Renomme(const fs::path& cible, const std::string& affiche)
    {
        std::error_code e;
        // The replacement keeps the permissions of the file it replaces.
        const fs::file_status avant = fs::status(cible, e);
        if (!e && fs::is_regular_file(avant))
            fs::permissions(chemin_, avant.permissions(), e);
        fs::rename(chemin_, cible, e);
        if (e)
            throw TEchecCli("cannot write " + affiche + ": " + e.message());
        renomme_ = true;
    }

private:
    fs::path chemin_;
    bool renomme_ = false;
};

// A complete file beside the target, renamed over it: readers see the old file or the new one.
void Remplace(const std::string& affiche, const fs::path& cible, const std::string& contenu, const TTirage& tirage)
{
    fs::path chemin;
    std::FILE* f = CreeProvisoire(affiche, cible, tirage, chemin);
    TProvisoire provisoire(chemin);
    EcritEtFerme(f, contenu, affiche);
    provisoire.Renomme(cible, affiche);
}

std::uint32_t TirageAuHasard()
{
    std::random_device hasard;
    return hasard();
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
        Remplace(chemin, fs::path(cible.chemin), contenu, TirageAuHasard);
        return;
    }
    std::FILE* f = std::fopen(cible.chemin.c_str(), "ab");
    if (f == nullptr)
        Echec(chemin, errno);
    EcritEtFerme(f, contenu, chemin);
}

std::string NomProvisoire(const std::string& nomCible, std::uint32_t tirage)
{
    // Built piece by piece: GCC 12 misreads "." + text temporaries at -O2.
    std::string nom = ".";
    nom += nomCible;
    nom += '.';
    nom += std::to_string(tirage % 1000000000U);
    nom += ".part";
    return nom;
}

void RemplaceFichier(const std::string& cible, const std::string& contenu, const TTirage& tirage)
{
    Remplace(cible, fs::path(cible), contenu, tirage);
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
