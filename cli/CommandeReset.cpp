// reset: sends the reset function code; with --wait, reads input register 0 until the sensor
// answers again and tells how long that took.
#include <chrono>
#include <optional>

#include "CapteurCli.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "Plateforme.h"
#include "RegistresVantor.h"
#include "RenduCli.h"

namespace {

using THorloge = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kDelaiReset{10000};
constexpr std::chrono::milliseconds kPauseLecture{10};

}  // namespace

int CommandeReset(const TOptionsCli& o, TSortieCli& sortie)
{
    InstalleInterruption();
    std::optional<TLigneOuverte> ligne(std::in_place, o);
    const TResultCode code = EnvoieCommande(kFonctionReset);
    if (code != kResOk)
        throw TEchecCli(code);
    const auto envoi = THorloge::now();

    std::chrono::milliseconds duree{0};
    if (o.attendre) {
        bool revenu = false;
        const auto delai = o.delaiMs > 0 ? std::chrono::milliseconds(o.delaiMs) : kDelaiReset;
        TResultCode dernier = kResOk;
        for (;;) {
            dernier = Sonde();
            duree = std::chrono::duration_cast<std::chrono::milliseconds>(THorloge::now() - envoi);
            if (dernier == kResOk) {
                revenu = true;
                break;
            }
            if (duree >= delai || Interrompu())
                break;
            sortie.Progres("reset: waiting for the sensor, " + std::to_string(duree.count()) + " ms");
            Attends(kPauseLecture);
        }
        sortie.FinProgres();
        if (!revenu) {
            throw TEchecCli("the sensor did not answer within " + std::to_string(duree.count())
                                + " ms after the reset (" + TEchecCli::Message(dernier) + ")",
                            dernier);
        }
    }
    ligne.reset();

    if (sortie.Json()) {
        TJson doc{{"command", "reset"}, {"line", JsonLigne(o)}, {"reset", true}};
        if (o.attendre)
            doc["answered_after_ms"] = duree.count();
        sortie.Ecrit(doc);
    } else {
        sortie.Ligne(o.attendre ? "reset; the sensor answered again after " + std::to_string(duree.count()) + " ms"
                                : std::string("reset sent"));
    }
    return 0;
}
