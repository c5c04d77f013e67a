#include "SortieCli.h"

#include <charconv>
#include <cmath>
#include <ostream>

#include "Plateforme.h"
#include "TexteSur.h"

TSortieCli::TSortieCli(bool json, std::ostream& sortie, std::ostream& erreurs, bool terminalSortie,
                       bool terminalErreurs)
    : json_(json), sortie_(sortie), erreurs_(erreurs), progres_(terminalErreurs)
{
    const auto terme = Environnement("TERM");
    couleur_ = terminalSortie && !Environnement("NO_COLOR") && !(terme && *terme == "dumb");
}

void TSortieCli::Ecrit(const TJson& document)
{
    FinProgres();
    sortie_ << document.dump() << '\n' << std::flush;
}

void TSortieCli::Ligne(const std::string& texte)
{
    FinProgres();
    sortie_ << texte << '\n' << std::flush;
}

std::string TSortieCli::Verdict(bool reussi) const
{
    const char* mot = reussi ? "pass" : "fail";
    if (!couleur_)
        return mot;
    return std::string(reussi ? "\x1B[32m" : "\x1B[31m") + mot + "\x1B[0m";
}

void TSortieCli::Progres(const std::string& texte)
{
    if (!progres_)
        return;
    erreurs_ << '\r' << texte << "\x1B[K" << std::flush;
    progresAffiche_ = true;
}

void TSortieCli::FinProgres()
{
    if (!progresAffiche_)
        return;
    erreurs_ << "\r\x1B[K" << std::flush;
    progresAffiche_ = false;
}

void TSortieCli::Erreur(const std::string& texte)
{
    FinProgres();
    erreurs_ << "vantor-cli: " << TexteAffichable(Utf8Valide(texte)) << '\n' << std::flush;
}

double Decimal(double valeurFlottante)
{
    if (!std::isfinite(valeurFlottante))
        return valeurFlottante;
    char texte[32];
    const auto [fin, ec] = std::to_chars(texte, texte + sizeof texte, static_cast<float>(valeurFlottante));
    double valeur = valeurFlottante;
    if (ec == std::errc())
        std::from_chars(texte, fin, valeur);
    return valeur;
}
