// report: the commissioning record. Identity, configuration and one monitoring reading first,
// then acceleration and temperature recorded for the given time, then the self test (which
// sets status bits while it runs, so it comes last). The record is written whole, through a
// temporary file renamed into place; an interrupted report writes nothing.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "AutoTestCli.h"
#include "CapteurCli.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "Plateforme.h"
#include "RapportHtml.h"
#include "RenduCli.h"
#include "TexteSur.h"

namespace {

using THorloge = std::chrono::steady_clock;

TJson Enregistre(double secondes, TSortieCli& sortie)
{
    TJson echantillons = TJson::array();
    int echecs = 0;
    const auto debut = THorloge::now();
    const auto fin = debut + std::chrono::duration_cast<THorloge::duration>(std::chrono::duration<double>(secondes));
    double derniere = 0.0;
    int secondeAffichee = -1;
    while (THorloge::now() < fin && !Interrompu()) {
        const double t = std::chrono::duration<double>(THorloge::now() - debut).count();
        const TLu<double> a = LitAcceleration();
        const TLu<double> c = LitTemperature();
        echecs += (a.Ok() ? 0 : 1) + (c.Ok() ? 0 : 1);
        echantillons.push_back({{"t", std::round(t * 1000.0) / 1000.0},
                                {"acceleration_g", a.Ok() ? TJson(Decimal(a.valeur)) : TJson()},
                                {"temperature_c", c.Ok() ? TJson(Decimal(c.valeur)) : TJson()}});
        derniere = t;
        if (static_cast<int>(t) != secondeAffichee) {
            secondeAffichee = static_cast<int>(t);
            char texte[64];
            std::snprintf(texte, sizeof texte, "report: recording %d of %.0f s", secondeAffichee, secondes);
            sortie.Progres(texte);
        }
    }
    sortie.FinProgres();
    return TJson{{"seconds", secondes},
                 {"duration_s", std::round(derniere * 1000.0) / 1000.0},
                 {"failed_reads", echecs},
                 {"samples", echantillons}};
}

void EcritFichier(const std::string& chemin, const std::string& contenu)
{
    const std::string provisoire = chemin + ".part";
    {
        std::ofstream f(provisoire, std::ios::out | std::ios::trunc | std::ios::binary);
        f << contenu;
        f.close();
        if (!f) {
            std::remove(provisoire.c_str());
            throw TEchecCli("cannot write " + chemin);
        }
    }
    std::error_code erreur;
    std::filesystem::rename(provisoire, chemin, erreur);
    if (erreur) {
        std::remove(provisoire.c_str());
        throw TEchecCli("cannot write " + chemin + ": " + erreur.message());
    }
}

}  // namespace

int CommandeReport(const TOptionsCli& o, TSortieCli& sortie)
{
    InstalleInterruption();
    const std::string date = HorodatageIso(std::chrono::system_clock::now());
    OuvreLigne(o);
    const TIdentite identite = LitIdentite();
    const TConfiguration configuration = LitConfiguration();
    const TMonitoring monitoring = Exige(LitMonitoring());
    TJson enregistrement = Enregistre(o.secondes, sortie);
    if (Interrompu()) {
        FermeLigne();
        std::fputs("vantor-cli: interrupted, no record written\n", stderr);
        return kSortieInterrompue;
    }

    TJson autoTest;
    try {
        const TAutoTest t = LanceAutoTest(kDelaiAutoTest);
        autoTest = {
            {"pass", t.reussi}, {"bits_seen", t.vu}, {"duration_ms", t.duree.count()}, {"status", TexteMot(t.etat)}};
    } catch (const TEchecCli& e) {
        autoTest = {{"pass", false}, {"bits_seen", false}, {"duration_ms", 0}, {"status", ""}, {"error", e.what()}};
    }
    FermeLigne();
    if (Interrompu()) {
        std::fputs("vantor-cli: interrupted, no record written\n", stderr);
        return kSortieInterrompue;
    }

    const bool etatSain = EtatSain(monitoring.etat);
    const bool autoTestReussi = autoTest["pass"].get<bool>();
    TJson ligne = JsonLigne(o);
    TJson rapport{
        {"record", "Vantor commissioning record"},
        {"date", date},
        {"note", Utf8Valide(o.note)},
        {"line", ligne},
        {"identity", JsonIdentite(identite)},
        {"configuration", JsonConfiguration(configuration)},
        {"monitoring", JsonMonitoring(monitoring)},
        {"self_test", autoTest},
        {"recording", enregistrement},
        {"verdict",
         {{"pass", etatSain && autoTestReussi}, {"status_pass", etatSain}, {"self_test_pass", autoTestReussi}}}};

    EcritFichier(o.sortie, o.json ? rapport.dump(2) + "\n" : HtmlRapport(rapport));

    const bool reussi = etatSain && autoTestReussi;
    if (sortie.Json())
        sortie.Ecrit(TJson{{"command", "report"}, {"out", Utf8Valide(o.sortie)}, {"pass", reussi}});
    else
        sortie.Ligne("record written to " + TexteAffichable(Utf8Valide(o.sortie)) + ": " + sortie.Verdict(reussi));
    if (!reussi) {
        std::string raison;
        if (!etatSain)
            raison = "status bits set (" + BitsActifs(monitoring.etat) + ")";
        if (!autoTestReussi)
            raison += std::string(raison.empty() ? "" : ", ") + "self test failed";
        throw TEchecCli("sensor failed: " + raison);
    }
    return 0;
}
