// watch: the three polled displays of the window in one loop, one sample every period (counted
// from the start of the previous sample), until the count is reached or the operator
// interrupts. Several sensors are read in turn within one sample, the port held open, and
// share its time stamp. A failed read shows "err" and polling goes on; the CSV file gets one
// complete row per sample, written out at once.
#include <chrono>
#include <string_view>
#include <vector>

#include "CapteurCli.h"
#include "ChaineMesure.h"
#include "Commandes.h"
#include "FichierSortie.h"
#include "LigneCli.h"
#include "Plateforme.h"
#include "RegistresVantor.h"
#include "RenduCli.h"

namespace {

using THorloge = std::chrono::steady_clock;

struct TEchantillon {
    TLu<double> acceleration;
    TLu<double> temperature;
    TLu<TMonitoring> monitoring;

    bool Complet() const { return acceleration.Ok() && temperature.Ok() && monitoring.Ok(); }
    bool Vide() const { return !acceleration.Ok() && !temperature.Ok() && !monitoring.Ok(); }
    TResultCode PremierEchec() const
    {
        return !acceleration.Ok() ? acceleration.code : !temperature.Ok() ? temperature.code : monitoring.code;
    }
};

std::string EnteteCsv(const std::vector<int>& ids)
{
    // Field by field, without "," + text temporaries (GCC 12 misreads those at -O2).
    std::string entete = "time";
    for (const int id : ids) {
        // One sensor keeps the plain column names; several get theirs prefixed "s5_".
        std::string prefixe;
        if (ids.size() > 1) {
            prefixe = 's';
            prefixe += std::to_string(id);
            prefixe += '_';
        }
        const auto colonne = [&](std::string_view nom) {
            entete += ',';
            entete += prefixe;
            entete += nom;
        };
        for (const char* nom : {"acceleration_g", "temperature_c", "status"})
            colonne(nom);
        for (const auto& legende : kLegendesMonitoring)
            colonne(legende);
        colonne("error");
    }
    return entete;
}

void AjouteCsv(std::string& ligne, const TEchantillon& e)
{
    // Field by field, without "," + text temporaries (GCC 12 misreads those at -O2).
    const auto champ = [&ligne](const std::string& texte) {
        ligne += ',';
        ligne += texte;
    };
    champ(e.acceleration.Ok() ? ChaineMesure(e.acceleration.valeur, 5) : std::string());
    champ(e.temperature.Ok() ? ChaineMesure(e.temperature.valeur, 1) : std::string());
    champ(e.monitoring.Ok() ? TexteMot(e.monitoring.valeur.etat) : std::string());
    for (std::size_t i = 0; i < 7; ++i)
        champ(e.monitoring.Ok() ? ChaineMesure(e.monitoring.valeur.valeurs[i], 2) : std::string());
    ligne += ",";
    if (!e.Complet())
        ligne += TEchecCli::Message(e.PremierEchec());  // the driver's texts have no comma
}

TJson JsonEchantillon(const TEchantillon& e)
{
    TJson doc = TJson::object();
    doc["acceleration_g"] = e.acceleration.Ok() ? TJson(Decimal(e.acceleration.valeur)) : TJson();
    doc["temperature_c"] = e.temperature.Ok() ? TJson(Decimal(e.temperature.valeur)) : TJson();
    if (e.monitoring.Ok())
        doc.update(JsonMonitoring(e.monitoring.valeur));
    if (!e.Complet())
        doc["error"] = TEchecCli::Message(e.PremierEchec());
    return doc;
}

std::string TexteEchantillon(const TEchantillon& e)
{
    std::string ligne = (e.acceleration.Ok() ? ChaineMesure(e.acceleration.valeur, 5) : std::string("err")) + " g";
    ligne += "  " + (e.temperature.Ok() ? ChaineMesure(e.temperature.valeur, 1) : std::string("err")) + " \xC2\xB0" "C";
    if (e.monitoring.Ok()) {
        ligne += "  status " + TexteMot(e.monitoring.valeur.etat);
        for (std::size_t i = 0; i < 7; ++i)
            ligne += "  " + std::string(kLegendesMonitoring[i]) + " " + ChaineMesure(e.monitoring.valeur.valeurs[i], 2);
    } else {
        ligne += "  status err";
    }
    return ligne;
}

// What the polling has seen so far.
struct TBilan {
    long long nombre = 0;   // samples taken
    long long reussis = 0;  // reads of a sensor of which at least one value came
    TResultCode dernierEchec = kResOk;
};

// One sample: every sensor read in turn.
std::vector<TEchantillon> Echantillonne(const std::vector<int>& ids, TBilan& bilan)
{
    std::vector<TEchantillon> echantillons;
    for (const int id : ids) {
        if (ids.size() > 1)
            ChangeIdentifiant(id);
        TEchantillon e;
        e.acceleration = LitAcceleration();
        e.temperature = LitTemperature();
        e.monitoring = LitMonitoring();
        if (!e.Vide())
            ++bilan.reussis;
        if (!e.Complet())
            bilan.dernierEchec = e.PremierEchec();
        echantillons.push_back(e);
    }
    ++bilan.nombre;
    return echantillons;
}

std::string RangCsv(const std::string& horodatage, const std::vector<TEchantillon>& echantillons)
{
    std::string rang = horodatage;
    for (const auto& e : echantillons)
        AjouteCsv(rang, e);
    return rang + "\r\n";
}

// One sensor's values at the top level; several sensors' in a list.
TJson JsonRang(const std::string& horodatage, const std::vector<int>& ids,
               const std::vector<TEchantillon>& echantillons)
{
    TJson doc{{"time", horodatage}};
    if (ids.size() == 1) {
        doc.update(JsonEchantillon(echantillons[0]));
        return doc;
    }
    doc["sensors"] = TJson::array();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        TJson capteur{{"id", ids[i]}};
        capteur.update(JsonEchantillon(echantillons[i]));
        doc["sensors"].push_back(capteur);
    }
    return doc;
}

std::string TexteRang(const std::string& horodatage, const std::vector<int>& ids,
                      const std::vector<TEchantillon>& echantillons)
{
    std::string texte = horodatage;
    for (std::size_t i = 0; i < ids.size(); ++i)
        texte += (ids.size() > 1 ? "  #" + std::to_string(ids[i]) + " " : std::string("  "))
                 + TexteEchantillon(echantillons[i]);
    return texte;
}

std::string TexteProgres(const TOptionsCli& o, long long nombre)
{
    return "watch: " + std::to_string(nombre) + (o.nombre ? " of " + std::to_string(o.nombre) : std::string())
           + " samples" + (o.csv.empty() ? std::string() : ", " + std::to_string(nombre) + " rows written");
}

// Waits until the next sample is due, one period after the start of the previous one.
void AttendsProchain(THorloge::time_point& prochain, std::chrono::milliseconds periode)
{
    prochain += periode;
    const auto maintenant = THorloge::now();
    if (prochain < maintenant)
        prochain = maintenant;  // a late sample does not make the next ones come in a burst
    Attends(std::chrono::duration_cast<std::chrono::milliseconds>(prochain - maintenant));
}

}  // namespace

int CommandeWatch(const TOptionsCli& o, TSortieCli& sortie)
{
    const std::vector<int> ids = o.ids.empty() ? std::vector<int>{o.id} : o.ids;
    TFichierFlux csv;
    if (!o.csv.empty()) {
        csv.Ouvre(o.csv);
        csv.Ecrit(EnteteCsv(ids) + "\r\n");
    }
    InstalleInterruption();
    const TLigneOuverte ligne(o);

    TBilan bilan;
    auto prochain = THorloge::now();
    while (!Interrompu() && (o.nombre == 0 || bilan.nombre < o.nombre)) {
        const std::string horodatage = HorodatageIso(std::chrono::system_clock::now());
        const std::vector<TEchantillon> echantillons = Echantillonne(ids, bilan);
        if (csv.Ouvert())
            csv.Ecrit(RangCsv(horodatage, echantillons));
        if (sortie.Json())
            sortie.Ecrit(JsonRang(horodatage, ids, echantillons));
        else
            sortie.Ligne(TexteRang(horodatage, ids, echantillons));
        sortie.Progres(TexteProgres(o, bilan.nombre));
        if (o.nombre != 0 && bilan.nombre >= o.nombre)
            break;
        AttendsProchain(prochain, std::chrono::milliseconds(o.periodeMs));
    }
    sortie.FinProgres();
    csv.Ferme();
    if (bilan.reussis == 0 && bilan.nombre > 0)
        throw TEchecCli(bilan.dernierEchec);
    return 0;
}
