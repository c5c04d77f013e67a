// config: a sensor's settings as a file. save reads identity and settings and writes them;
// diff compares a file with the sensor; apply writes what differs (filter, FIFO rate, then
// register 6 with the baud rate and address last, the line following the sensor), reads every
// setting back and compares it with the file.
#include <algorithm>
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
    const TFicheCapteur fiche = LitFiche(o);
    const TJson document = JsonReglages(fiche.identite, fiche.configuration);
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

TJson JsonEcarts(const std::vector<TEcartReglage>& ecarts)
{
    TJson liste = TJson::array();
    for (const auto& e : ecarts)
        liste.push_back(JsonEcart(e));
    return liste;
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
        sortie.Ecrit(TJson{{"command", "config diff"},
                           {"line", JsonLigne(o)},
                           {"same", ecarts.empty()},
                           {"differences", JsonEcarts(ecarts)}});
    } else if (ecarts.empty()) {
        sortie.Ligne("sensor " + std::to_string(o.id) + " holds the settings of "
                     + TexteAffichable(Utf8Valide(chemin)));
    } else {
        for (const auto& e : ecarts)
            sortie.Ligne(TexteEcart(e));
    }
    return 0;
}

// What apply starts from: the file, the sensor's settings, and those of the file it holds otherwise.
struct TPlan {
    TReglagesFichier fichier;
    TConfiguration avant;
    std::vector<TEcartReglage> ecarts;

    // Whether the file's setting of this name is to be written.
    bool Ecrit(const char* nom) const
    {
        return std::any_of(ecarts.begin(), ecarts.end(), [nom](const TEcartReglage& e) { return e.nom == nom; });
    }
};

// The progress of apply: the first read is step 0, then filter, FIFO and register 6 one step
// each, then the read-back.
class TAvancement {
public:
    TAvancement(TSortieCli& sortie, const TPlan& plan)
        : sortie_(sortie),
          etapes_(static_cast<int>(plan.ecarts.size()) - (plan.Ecrit("sensor_baud") && plan.Ecrit("address") ? 1 : 0)
                  + 1)
    {
    }
    void Etape(const std::string& quoi)
    {
        sortie_.Progres("config apply: " + std::to_string(100 * etape_ / (etapes_ + 1)) + " %, " + quoi);
        ++etape_;
    }
    void Relecture(const std::string& quoi)
    {
        etape_ = etapes_;
        Etape(quoi);
    }

private:
    TSortieCli& sortie_;
    int etapes_;
    int etape_ = 1;
};

// Where the sensor answers: the address and baud rate the line follows it to.
struct TPosition {
    int id;
    int baud;
};

void ExigeEcriture(const char* nom, TResultCode code)
{
    if (code != kResOk)
        throw TEchecCli(std::string("writing ") + nom + ": " + TEchecCli::Message(code), code);
}

// Baud rate and address share register 6: written in one go, the line following the sensor.
void EcritBaudAdresse(const TPlan& plan, TAvancement& avancement, TPosition& position)
{
    const bool baud = plan.Ecrit("sensor_baud"), adresse = plan.Ecrit("address");
    avancement.Etape(baud && adresse ? "writing sensor_baud and address"
                     : adresse       ? "writing address"
                                     : "writing sensor_baud");
    const std::uint16_t registre6 = plan.avant.registre6;  // read a moment ago
    const int indexBaud = EntreeBaudDeTexte(std::to_string(plan.fichier.baud.value_or(plan.avant.baudCapteur)));
    const auto haut = static_cast<std::uint8_t>(baud ? indexBaud : registre6 >> 8);
    const auto bas = static_cast<std::uint8_t>(adresse ? *plan.fichier.adresse : registre6 & 0xFF);
    const TResultCode code = EcritRegistre6(haut, bas);
    if (Registre6Refuse(code))
        ExigeEcriture("register 6", code);
    if (adresse) {
        position.id = *plan.fichier.adresse;
        ChangeIdentifiant(position.id);
    }
    if (baud) {
        position.baud = *plan.fichier.baud;
        ChangeBaudLigne(CodeBaud(position.baud));
    }
}

// Writes what differs: filter, FIFO rate, then register 6.
void EcritEcarts(const TPlan& plan, TAvancement& avancement, TPosition& position)
{
    if (plan.Ecrit("filter_hz")) {
        avancement.Etape("writing filter_hz");
        ExigeEcriture("filter_hz", EcritFiltre(*plan.fichier.filtreHz));
    }
    if (plan.Ecrit("fifo_hz")) {
        avancement.Etape("writing fifo_hz");
        ExigeEcriture("fifo_hz", EcritFifo(*plan.fichier.diviseurFifo));
    }
    if (plan.Ecrit("sensor_baud") || plan.Ecrit("address"))
        EcritBaudAdresse(plan, avancement, position);
}

void RapporteJson(const TOptionsCli& o, TSortieCli& sortie, const TPlan& plan, const TConfiguration& apres,
                  const std::vector<TEcartReglage>& restent, const TPosition& position)
{
    TJson doc{{"command", "config apply"},
              {"line", JsonLigne(o)},
              {"dry_run", o.essai},
              {"written", JsonEcarts(plan.ecarts)},
              {"read_back", JsonConfiguration(apres)},
              {"match", restent.empty()},
              {"mismatches", JsonEcarts(restent)}};
    doc["line"]["id"] = position.id;
    doc["line"]["baud"] = position.baud;
    sortie.Ecrit(doc);
}

void RapporteTexte(const TOptionsCli& o, TSortieCli& sortie, const std::string& chemin, const TPlan& plan,
                   const TPosition& position)
{
    if (plan.ecarts.empty())
        sortie.Ligne("nothing to write: sensor " + std::to_string(o.id) + " holds the settings of "
                     + TexteAffichable(Utf8Valide(chemin)));
    for (const auto& e : plan.ecarts)
        sortie.Ligne((o.essai ? "would write " : "written ") + e.nom + ": " + e.texteCapteur + " -> " + e.texteFichier);
    if (!o.essai && (position.id != o.id || position.baud != o.baud))
        sortie.Ligne("the sensor now answers with --baud " + std::to_string(position.baud) + " --id "
                     + std::to_string(position.id));
}

// The read-back must hold the file's settings.
void ExigeAccord(const std::vector<TEcartReglage>& restent, const std::string& chemin)
{
    if (restent.empty())
        return;
    std::string message = "read-back differs from " + Utf8Valide(chemin) + ":";
    for (std::size_t i = 0; i < restent.size(); ++i)
        message += (i ? "; " : " ") + TexteEcart(restent[i]);
    throw TEchecCli(message);
}

int Applique(const TOptionsCli& o, TSortieCli& sortie, const std::string& chemin)
{
    TPlan plan;
    plan.fichier = LitFichierReglages(chemin);
    const TLigneOuverte ligne(o);
    sortie.Progres("config apply: 0 %, reading the settings of sensor " + std::to_string(o.id));
    plan.avant = LitConfiguration();
    plan.ecarts = EcartsReglages(plan.fichier, plan.avant);

    TAvancement avancement(sortie, plan);
    TPosition position{o.id, o.baud};
    if (!o.essai)
        EcritEcarts(plan, avancement, position);
    avancement.Relecture("reading back sensor " + std::to_string(position.id) + " at " + std::to_string(position.baud)
                         + " baud");
    const TConfiguration apres = LitConfiguration();
    sortie.FinProgres();
    const auto restent = o.essai ? std::vector<TEcartReglage>{} : EcartsReglages(plan.fichier, apres);

    if (sortie.Json())
        RapporteJson(o, sortie, plan, apres, restent, position);
    else
        RapporteTexte(o, sortie, chemin, plan, position);
    ExigeAccord(restent, chemin);
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
