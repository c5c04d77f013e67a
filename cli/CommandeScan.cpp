// scan: the window's bus scan. The port is held open; for every address the slave identifier
// is set, input register 0 is read once, and 10 ms pass before the next address.
#include <chrono>
#include <vector>

#include "CapteurCli.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "Plateforme.h"
#include "RenduCli.h"
#include "UtilKorvane.h"

namespace {

constexpr std::chrono::milliseconds kPauseParAdresse{10};

}  // namespace

int CommandeScan(const TOptionsCli& o, TSortieCli& sortie)
{
    InstalleInterruption();
    std::vector<int> trouves;
    bool interrompu = false;
    TResultCode erreurLigne = kResOk;
    const TLigneOuverte ligne(o);
    for (int adresse = o.de; adresse <= o.a; ++adresse) {
        ChangeIdentifiant(adresse);
        const TResultCode code = Sonde();
        Attends(kPauseParAdresse);
        if (ResultCodeToMessageIndex(code) == 0)
            trouves.push_back(adresse);
        else if (code == kResIoError)
            erreurLigne = code;  // the port failed: no answer means nothing on this line
        sortie.Progres("scan: address " + std::to_string(adresse) + " of " + std::to_string(o.a) + ", "
                       + std::to_string(trouves.size()) + " found");
        if (Interrompu()) {
            interrompu = adresse < o.a;
            break;
        }
    }
    sortie.FinProgres();

    if (sortie.Json()) {
        TJson doc{{"command", "scan"}, {"line", JsonLigne(o)}, {"from", o.de},
                  {"to", o.a},         {"found", trouves},     {"interrupted", interrompu}};
        sortie.Ecrit(doc);
    } else {
        for (const int a : trouves)
            sortie.Ligne("Address " + std::to_string(a) + " : sensor detected");
    }
    if (erreurLigne != kResOk)
        throw TEchecCli(erreurLigne);
    return interrompu ? kSortieInterrompue : 0;
}
