#include "JournalLigne.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "FichierSortie.h"
#include "Plateforme.h"

namespace {

struct TJournal {
    TFichierFlux fichier;
    TStatsLigne stats;
};

TJournal& Journal()
{
    static TJournal journal;
    return journal;
}

double Arrondi(double ms)
{
    return std::round(ms * 1000.0) / 1000.0;
}

}  // namespace

TTypeEchec TypeEchec(TResultCode code)
{
    switch (code) {
    case kResOk: return TTypeEchec::Aucun;
    case kResNoAnswer: return TTypeEchec::SansReponse;
    case kResCrcError: return TTypeEchec::Crc;
    case kResFrameError: return TTypeEchec::Trame;
    default: break;
    }
    if (code <= kResExcFunction && code >= kResExcDevice)
        return TTypeEchec::Exception;
    return TTypeEchec::Autre;
}

TRepartition Repartition(std::vector<double> valeurs)
{
    TRepartition r;
    if (valeurs.empty())
        return r;
    std::sort(valeurs.begin(), valeurs.end());
    const std::size_t n = valeurs.size();
    // Nearest rank: the smallest value with at least p % of the values at or below it.
    const auto rang = [n](double p) {
        const auto k = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(n)));
        return std::min(n, std::max<std::size_t>(k, 1)) - 1;
    };
    r.min = valeurs.front();
    r.max = valeurs.back();
    r.mediane = n % 2 == 1 ? valeurs[n / 2] : (valeurs[n / 2 - 1] + valeurs[n / 2]) / 2.0;
    r.p95 = valeurs[rang(95.0)];
    return r;
}

void OuvreJournal(const std::string& chemin)
{
    Journal().fichier.Ouvre(chemin);
}

void FermeJournal()
{
    Journal().fichier.Ferme();
}

void NoteTransaction(const char* operation, int adresse, const char* champ, int valeur, TResultCode code,
                     double dureeMs)
{
    TJournal& j = Journal();
    TStatsLigne& s = j.stats;
    ++s.transactions;
    switch (TypeEchec(code)) {
    case TTypeEchec::Aucun: break;
    case TTypeEchec::SansReponse: ++s.sansReponse; break;
    case TTypeEchec::Crc: ++s.crc; break;
    case TTypeEchec::Trame: ++s.trame; break;
    case TTypeEchec::Exception: ++s.exception; break;
    case TTypeEchec::Autre: ++s.autres; break;
    }
    const TTypeEchec type = TypeEchec(code);
    if (type == TTypeEchec::Aucun || type == TTypeEchec::Exception)
        s.dureesMs.push_back(dureeMs);
    if (!j.fichier.Ouvert())
        return;
    TJson ligne{{"time", HorodatageIso(std::chrono::system_clock::now())},
                {"operation", operation},
                {"address", adresse},
                {champ, valeur},
                {"code", code},
                {"duration_ms", Arrondi(dureeMs)}};
    j.fichier.Ecrit(ligne.dump() + "\n");
}

TStatsLigne StatsLigne()
{
    return Journal().stats;
}

TJson JsonStatsLigne(const TStatsLigne& s)
{
    const TRepartition r = Repartition(s.dureesMs);
    return TJson{{"transactions", s.transactions},
                 {"failures",
                  {{"no_answer", s.sansReponse},
                   {"crc", s.crc},
                   {"frame", s.trame},
                   {"exception", s.exception},
                   {"other", s.autres}}},
                 {"response_ms",
                  {{"count", s.dureesMs.size()},
                   {"min", Arrondi(r.min)},
                   {"median", Arrondi(r.mediane)},
                   {"p95", Arrondi(r.p95)},
                   {"max", Arrondi(r.max)}}}};
}
