// info: identity and configuration, read with the window's requests.
#include "CapteurCli.h"
#include "Commandes.h"
#include "RenduCli.h"

int CommandeInfo(const TOptionsCli& o, TSortieCli& sortie)
{
    const TFicheCapteur fiche = LitFiche(o);
    if (sortie.Json()) {
        TJson doc{{"command", "info"}, {"line", JsonLigne(o)}};
        doc.update(JsonIdentite(fiche.identite));
        doc.update(JsonConfiguration(fiche.configuration));
        sortie.Ecrit(doc);
    } else {
        for (const auto& l : LignesIdentite(fiche.identite))
            sortie.Ligne(l);
        for (const auto& l : LignesConfiguration(fiche.configuration))
            sortie.Ligne(l);
    }
    return 0;
}
