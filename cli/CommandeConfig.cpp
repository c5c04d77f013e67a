// config: a sensor's settings as a file. save reads identity and settings and writes them;
// diff compares a file with the sensor; apply writes what differs (filter, FIFO rate, then
// register 6 with the baud rate and address last, the line following the sensor), reads every
// setting back and compares it with the file.
#include <fstream>
#include <sstream>

#include "CapteurCli.h"
#include "ChaineMesure.h"
#include "Commandes.h"
#include "FichierSortie.h"
#include "LigneCli.h"
#include "ReglagesCli.h"
#include "ReglagesVantor.h"
#include "RegistresVantor.h"
#include "RenduCli.h"
#include "TexteSur.h"

namespace {

TReglagesFichier LitFichierReglages(const std::string& chemin)
{
    std::ifstream f(chemin, std::ios::binary);
    if (!f)
        throw TEntreeInvalide("cannot read " + chemin);
    std::stringstream texte;
    texte << f.rdbuf();
    return LitReglages(texte.str(), chemin);
}

int Sauve(const TOptionsCli& o, TSortieCli& sortie)
{
    TIdentite identite;
    TConfiguration configuration;
    {
        const TLigneOuverte ligne(o);
        identite = LitIdentite();
        configuration = LitConfiguration();
    }
    const TJson document = JsonReglages(identite, configuration);
    EcritFichier(o.sortie, document.dump(2) + "\n");
    if (o.sortie == "-")
        return 0;  // the document is the output
    if (sortie.Json())
        sortie.Ecrit(TJson{{"command", "config save"}, {"out", Utf8Valide(o.sortie)}, {"configuration", document}});
    else
        sortie.Ligne("configuration of sensor " + std::to_string(o.id) + " written to "
                     + TexteAffichable(Utf8Valide(o.sortie)));
    return 0;
}

int Compare(const TOptionsCli& o, TSortieCli& sortie, const std::string& chemin)
{
    const TReglagesFichier fichier = LitFichierReglages(chemin);
    TConfiguration configuration;
    {
        const TLigneOuverte ligne(o);
        configuration = LitConfiguration();
    }
    const auto ecarts = EcartsReglages(fichier, configuration);
    if (sortie.Json()) {
        TJson liste = TJson::array();
        for (const auto& e : ecarts)
            liste.push_back(JsonEcart(e));
        sortie.Ecrit(TJson{
            {"command", "config diff"}, {"line", JsonLigne(o)}, {"same", ecarts.empty()}, {"differences", liste}});
    } else if (ecarts.empty()) {
        sortie.Ligne("sensor " + std::to_string(o.id) + " holds the settings of "
                     + TexteAffichable(Utf8Valide(chemin)));
    } else {
        for (const auto& e : ecarts)
            sortie.Ligne(TexteEcart(e));
    }
    return 0;
}

bool EstException(TResultCode code)
{
    return code <= kResExcFunction && code >= kResExcDevice;
}

int Applique(const TOptionsCli& o, TSortieCli& sortie, const std::string& chemin)
{
    const TReglagesFichier fichier = LitFichierReglages(chemin);
    const TLigneOuverte ligne(o);
    sortie.Progres("config apply: 0 %, reading the settings of sensor " + std::to_string(o.id));
    const TConfiguration avant = LitConfiguration();
    const auto ecarts = EcartsReglages(fichier, avant);

    std::vector<std::string> ecrits;
    const auto ecrit = [&](const std::string& nom) {
        return std::find(ecrits.begin(), ecrits.end(), nom) != ecrits.end();
    };
    for (const auto& e : ecarts)
        ecrits.push_back(e.nom);
    // Filter, FIFO, register 6: one step each, then the read-back.
    const int etapes = static_cast<int>(ecarts.size()) - (ecrit("sensor_baud") && ecrit("address") ? 1 : 0) + 1;
    int etape = 1;  // the first read is step 0
    const auto progres = [&](const std::string& quoi) {
        sortie.Progres("config apply: " + std::to_string(100 * etape / (etapes + 1)) + " %, " + quoi);
        ++etape;
    };

    int id = o.id, baud = o.baud;
    if (!o.essai) {
        if (ecrit("filter_hz")) {
            progres("writing filter_hz");
            const TResultCode code = EcritFiltre(*fichier.filtreHz);
            if (code != kResOk)
                throw TEchecCli("writing filter_hz: " + TEchecCli::Message(code), code);
        }
        if (ecrit("fifo_hz")) {
            progres("writing fifo_hz");
            const TResultCode code = EcritFifo(*fichier.diviseurFifo);
            if (code != kResOk)
                throw TEchecCli("writing fifo_hz: " + TEchecCli::Message(code), code);
        }
        if (ecrit("sensor_baud") || ecrit("address")) {
            progres(ecrit("sensor_baud") && ecrit("address") ? "writing sensor_baud and address"
                    : ecrit("address")                       ? "writing address"
                                                             : "writing sensor_baud");
            const std::uint16_t registre6 = avant.registre6;  // read a moment ago
            const int indexBaud = EntreeBaudDeTexte(std::to_string(fichier.baud.value_or(avant.baudCapteur)));
            const auto haut = static_cast<std::uint8_t>(ecrit("sensor_baud") ? indexBaud : registre6 >> 8);
            const auto bas = static_cast<std::uint8_t>(ecrit("address") ? *fichier.adresse : registre6 & 0xFF);
            const TResultCode code = EcritRegistre6(haut, bas);
            // A refusal is final. A missing or garbled answer may come from a sensor that switched
            // to its new address or rate before answering: the read-back decides.
            if (code != kResOk && (EstException(code) || code == kResIoError))
                throw TEchecCli("writing register 6: " + TEchecCli::Message(code), code);
            if (ecrit("address")) {
                id = *fichier.adresse;
                ChangeIdentifiant(id);
            }
            if (ecrit("sensor_baud")) {
                baud = *fichier.baud;
                ChangeBaudLigne(CodeBaud(baud));
            }
        }
    }
    etape = etapes;
    progres("reading back sensor " + std::to_string(id) + " at " + std::to_string(baud) + " baud");
    const TConfiguration apres = LitConfiguration();
    sortie.FinProgres();
    const auto restent = o.essai ? std::vector<TEcartReglage>{} : EcartsReglages(fichier, apres);

    if (sortie.Json()) {
        TJson aEcrire = TJson::array();
        for (const auto& e : ecarts)
            aEcrire.push_back(JsonEcart(e));
        TJson difference = TJson::array();
        for (const auto& e : restent)
            difference.push_back(JsonEcart(e));
        TJson doc{{"command", "config apply"},
                  {"line", JsonLigne(o)},
                  {"dry_run", o.essai},
                  {"written", aEcrire},
                  {"read_back", JsonConfiguration(apres)},
                  {"match", restent.empty()},
                  {"mismatches", difference}};
        doc["line"]["id"] = id;
        doc["line"]["baud"] = baud;
        sortie.Ecrit(doc);
    } else {
        if (ecarts.empty())
            sortie.Ligne("nothing to write: sensor " + std::to_string(o.id) + " holds the settings of "
                         + TexteAffichable(Utf8Valide(chemin)));
        for (const auto& e : ecarts)
            sortie.Ligne((o.essai ? "would write " : "written ") + e.nom + ": " + e.texteCapteur + " -> "
                         + e.texteFichier);
        if (!o.essai && (id != o.id || baud != o.baud))
            sortie.Ligne("the sensor now answers with --baud " + std::to_string(baud) + " --id " + std::to_string(id));
    }
    if (!restent.empty()) {
        std::string message = "read-back differs from " + Utf8Valide(chemin) + ":";
        for (std::size_t i = 0; i < restent.size(); ++i)
            message += (i ? "; " : " ") + TexteEcart(restent[i]);
        throw TEchecCli(message);
    }
    return 0;
}

}  // namespace

int CommandeConfig(const TOptionsCli& o, TSortieCli& sortie)
{
    const std::string& action = o.arguments.at(0);
    if (action == "save")
        return Sauve(o, sortie);
    if (action == "diff")
        return Compare(o, sortie, o.arguments.at(1));
    return Applique(o, sortie, o.arguments.at(1));
}
