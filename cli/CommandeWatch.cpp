// watch: the three polled displays of the window in one loop, one sample every period (counted
// from the start of the previous sample), until the count is reached or the operator
// interrupts. A failed read shows "err" and polling goes on; the CSV file gets one complete
// row per sample, written out at once.
#include <chrono>
#include <fstream>

#include "CapteurCli.h"
#include "ChaineMesure.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "Plateforme.h"
#include "RegistresVantor.h"
#include "RenduCli.h"

namespace {

using THorloge = std::chrono::steady_clock;

struct TEchantillon {
    std::string horodatage;
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

std::string EnteteCsv()
{
    std::string entete = "time,acceleration_g,temperature_c,status";
    for (const auto& legende : kLegendesMonitoring) {
        entete += ',';
        entete += legende;
    }
    return entete + ",error";
}

std::string LigneCsv(const TEchantillon& e)
{
    std::string ligne = e.horodatage;
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
    return ligne;
}

TJson JsonEchantillon(const TEchantillon& e)
{
    TJson doc{{"time", e.horodatage}};
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
    std::string ligne = e.horodatage;
    ligne += "  " + (e.acceleration.Ok() ? ChaineMesure(e.acceleration.valeur, 5) : std::string("err")) + " g";
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

}  // namespace

int CommandeWatch(const TOptionsCli& o, TSortieCli& sortie)
{
    std::ofstream csv;
    if (!o.csv.empty()) {
        csv.open(o.csv, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!csv)
            throw TEchecCli("cannot write " + o.csv);
        csv << EnteteCsv() << "\r\n" << std::flush;
    }
    InstalleInterruption();
    OuvreLigne(o);

    long long nombre = 0, reussis = 0;
    TResultCode dernierEchec = kResOk;
    const auto periode = std::chrono::milliseconds(o.periodeMs);
    auto prochain = THorloge::now();
    while (!Interrompu() && (o.nombre == 0 || nombre < o.nombre)) {
        TEchantillon e;
        e.horodatage = HorodatageIso(std::chrono::system_clock::now());
        e.acceleration = LitAcceleration();
        e.temperature = LitTemperature();
        e.monitoring = LitMonitoring();
        ++nombre;
        if (!e.Vide())
            ++reussis;
        if (!e.Complet())
            dernierEchec = e.PremierEchec();

        if (csv.is_open()) {
            csv << LigneCsv(e) << "\r\n" << std::flush;
            if (!csv)
                throw TEchecCli("cannot write " + o.csv);
        }
        if (sortie.Json())
            sortie.Ecrit(JsonEchantillon(e));
        else
            sortie.Ligne(TexteEchantillon(e));

        sortie.Progres("watch: " + std::to_string(nombre)
                       + (o.nombre ? " of " + std::to_string(o.nombre) : std::string()) + " samples"
                       + (o.csv.empty() ? std::string() : ", " + std::to_string(nombre) + " rows written"));
        if (o.nombre != 0 && nombre >= o.nombre)
            break;
        prochain += periode;
        const auto maintenant = THorloge::now();
        if (prochain < maintenant)
            prochain = maintenant;  // a late sample does not make the next ones come in a burst
        Attends(std::chrono::duration_cast<std::chrono::milliseconds>(prochain - maintenant));
    }
    sortie.FinProgres();
    FermeLigne();
    if (csv.is_open())
        csv.close();
    if (reussis == 0 && nombre > 0)
        throw TEchecCli(dernierEchec);
    return 0;
}
