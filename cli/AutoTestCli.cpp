#include "AutoTestCli.h"

#include "CapteurCli.h"
#include "Plateforme.h"
#include "RegistresVantor.h"

namespace {

using THorloge = std::chrono::steady_clock;

// Pause between two reads of the status word.
constexpr std::chrono::milliseconds kPauseLecture{20};

}  // namespace

TAutoTest LanceAutoTest(std::chrono::milliseconds delai)
{
    const auto debut = THorloge::now();
    const TResultCode code = EnvoieCommande(kFonctionAutoTest);
    if (code != kResOk)
        throw TEchecCli(code);

    TAutoTest resultat;
    TResultCode dernierEchec = kResOk;
    bool luUneFois = false;
    for (;;) {
        const TLu<std::uint16_t> etat = LitEtat();
        const auto ecoule = std::chrono::duration_cast<std::chrono::milliseconds>(THorloge::now() - debut);
        if (etat.Ok()) {
            luUneFois = true;
            resultat.etat = etat.valeur;
            if ((etat.valeur & kBitsAutoTest) != 0) {
                resultat.vu = true;
            } else {
                resultat.reussi = true;
                resultat.duree = ecoule;
                return resultat;
            }
        } else {
            dernierEchec = etat.code;
        }
        if (ecoule >= delai || Interrompu()) {
            if (!luUneFois)
                throw TEchecCli(dernierEchec);  // the sensor stopped answering
            resultat.duree = ecoule;
            return resultat;
        }
        Attends(kPauseLecture);
    }
}
