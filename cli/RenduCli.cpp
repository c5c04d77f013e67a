#include "RenduCli.h"

#include <cstdio>

#include "ChaineMesure.h"
#include "MesuresVantor.h"
#include "RegistresVantor.h"
#include "TexteSur.h"

namespace {

std::string Champ(const std::string& nom, const std::string& valeur)
{
    std::string ligne = nom;
    ligne.resize(std::max<std::size_t>(ligne.size() + 1, 14), ' ');
    return ligne + valeur;
}

}  // namespace

std::string TexteMot(std::uint16_t mot)
{
    char texte[8];
    std::snprintf(texte, sizeof texte, "0x%04X", mot);
    return texte;
}

TJson JsonIdentite(const TIdentite& identite)
{
    return TJson{{"firmware", identite.revision}, {"serial", Latin1VersUtf8(identite.numSerie)}};
}

TJson JsonConfiguration(const TConfiguration& c)
{
    return TJson{{"filter_hz", Decimal(c.filtreHz)},
                 {"filter_coefficient_b", Decimal(c.coefB)},
                 {"fifo_hz", c.fifoHz},
                 {"fifo_divider", c.diviseurFifo == 0 ? 256 : c.diviseurFifo},
                 {"sensor_baud", c.baudCapteur},
                 {"address", c.adresse},
                 {"register6", c.registre6}};
}

TJson JsonEtat(std::uint16_t etat)
{
    TJson bits = TJson::array();
    for (int led = 0; led < 16; ++led)
        bits.push_back({{"led", led + 1},
                        {"byte", led < 8 ? "high" : "low"},
                        {"bit", led % 8},
                        {"caption", std::string(kLegendesBits[static_cast<std::size_t>(led)])},
                        {"set", BitLed(etat, led)}});
    return TJson{{"word", etat}, {"hex", TexteMot(etat)}, {"pass", EtatSain(etat)}, {"bits", bits}};
}

TJson JsonMonitoring(const TMonitoring& m)
{
    TJson valeurs = TJson::object();
    TJson bruts = TJson::object();
    for (std::size_t i = 0; i < 7; ++i) {
        valeurs[std::string(kLegendesMonitoring[i])] = m.valeurs[i];
        bruts[std::string(kLegendesMonitoring[i])] = m.bruts[i];
    }
    return TJson{{"status", JsonEtat(m.etat)}, {"monitoring", valeurs}, {"monitoring_raw", bruts}};
}

TJson JsonLigne(const TOptionsCli& o)
{
    TJson ligne{{"port", Utf8Valide(o.port)}, {"baud", o.baud}, {"parity", o.parite}};
    if (o.id > 0)
        ligne["id"] = o.id;
    return ligne;
}

std::vector<std::string> LignesIdentite(const TIdentite& identite)
{
    return {Champ("firmware", identite.revision), Champ("serial", TexteAffichable(Latin1VersUtf8(identite.numSerie)))};
}

std::vector<std::string> LignesConfiguration(const TConfiguration& c)
{
    char diviseur[40];
    std::snprintf(diviseur, sizeof diviseur, " Hz (divider %d)", c.diviseurFifo == 0 ? 256 : c.diviseurFifo);
    return {Champ("filter", ChaineMesure(c.filtreHz, 1) + " Hz"), Champ("fifo", ChaineMesure(c.fifoHz, 3) + diviseur),
            Champ("sensor baud", std::to_string(c.baudCapteur)), Champ("address", std::to_string(c.adresse))};
}

std::string BitsActifs(std::uint16_t etat)
{
    std::string texte;
    for (int led = 0; led < 16; ++led)
        if (BitLed(etat, led)) {
            if (!texte.empty())
                texte += ", ";
            texte += "LED " + std::to_string(led + 1) + " " + std::string(kLegendesBits[static_cast<std::size_t>(led)]);
        }
    return texte;
}

std::vector<std::string> LignesEtat(std::uint16_t etat)
{
    std::vector<std::string> lignes{
        Champ("status", TexteMot(etat) + (EtatSain(etat) ? " (no bit set)" : " (bits set)"))};
    for (int led = 0; led < 16; ++led) {
        char debut[40];
        std::snprintf(debut, sizeof debut, "  LED %2d  %s bit %d  ", led + 1, led < 8 ? "high" : "low ", led % 8);
        std::string ligne = debut + std::string(kLegendesBits[static_cast<std::size_t>(led)]);
        ligne.resize(ligne.size() + 1, ' ');
        lignes.push_back(ligne + (BitLed(etat, led) ? "set" : "clear"));
    }
    return lignes;
}

std::vector<std::string> LignesMonitoring(const TMonitoring& m)
{
    std::vector<std::string> lignes = LignesEtat(m.etat);
    for (std::size_t i = 0; i < 7; ++i)
        lignes.push_back(Champ(std::string(kLegendesMonitoring[i]), ChaineMesure(m.valeurs[i], 2)));
    return lignes;
}
