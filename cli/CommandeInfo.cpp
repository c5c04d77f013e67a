// info: identity and configuration, read with the window's requests.
#include "CapteurCli.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "RenduCli.h"

int CommandeInfo(const TOptionsCli& o, TSortieCli& sortie)
{
    TIdentite identite;
    TConfiguration configuration;
    {
        const TLigneOuverte ligne(o);
        identite = LitIdentite();
        configuration = LitConfiguration();
    }

    if (sortie.Json()) {
        TJson doc{{"command", "info"}, {"line", JsonLigne(o)}};
        doc.update(JsonIdentite(identite));
        doc.update(JsonConfiguration(configuration));
        sortie.Ecrit(doc);
    } else {
        for (const auto& l : LignesIdentite(identite))
            sortie.Ligne(l);
        for (const auto& l : LignesConfiguration(configuration))
            sortie.Ligne(l);
    }
    return 0;
}
