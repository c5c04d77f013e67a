// read: one reading of acceleration, temperature and monitoring, with the window's requests.
#include "CapteurCli.h"
#include "ChaineMesure.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "RenduCli.h"

int CommandeRead(const TOptionsCli& o, TSortieCli& sortie)
{
    double acceleration = 0.0, temperature = 0.0;
    TMonitoring monitoring;
    {
        const TLigneOuverte ligne(o);
        acceleration = Exige(LitAcceleration());
        temperature = Exige(LitTemperature());
        monitoring = Exige(LitMonitoring());
    }

    if (sortie.Json()) {
        TJson doc{{"command", "read"},
                  {"line", JsonLigne(o)},
                  {"acceleration_g", Decimal(acceleration)},
                  {"temperature_c", Decimal(temperature)}};
        doc.update(JsonMonitoring(monitoring));
        sortie.Ecrit(doc);
    } else {
        sortie.Ligne("acceleration  " + ChaineMesure(acceleration, 5) + " g");
        sortie.Ligne("temperature   " + ChaineMesure(temperature, 1) + " \xC2\xB0" "C");
        for (const auto& l : LignesMonitoring(monitoring))
            sortie.Ligne(l);
    }
    return 0;
}
