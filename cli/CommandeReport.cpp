// report: the commissioning record. Identity, configuration and one monitoring reading first,
// then acceleration and temperature recorded for the given time, then the self test (which
// sets status bits while it runs, so it comes last). A sensor that fails on the way still gets
// its record, with the operation that failed and the driver's message, and the verdict "fail".
// The record is written whole, through the shared file writer; an interrupted report writes
// nothing.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>

#include "AutoTestCli.h"
#include "CapteurCli.h"
#include "Commandes.h"
#include "FichierSortie.h"
#include "JournalLigne.h"
#include "LigneCli.h"
#include "Plateforme.h"
#include "RapportHtml.h"
#include "ReglagesCli.h"
#include "RenduCli.h"
#include "TexteSur.h"

namespace {

using THorloge = std::chrono::steady_clock;

// Shares of the progress: the reads before the recording, the recording, the self test.
constexpr double kPartAvant = 5.0, kPartEnregistrement = 85.0;

std::string Pourcent(double p)
{
    return std::to_string(static_cast<int>(std::lround(p))) + " %";
}

// Count, mean, standard deviation (of the samples, n - 1), min and max of one measurement.
TJson Statistiques(const TJson& echantillons, const char* cle)
{
    double somme = 0.0, min = 0.0, max = 0.0;
    long long n = 0;
    for (const auto& e : echantillons) {
        if (!e[cle].is_number())
            continue;
        const double v = e[cle].get<double>();
        min = n == 0 ? v : std::min(min, v);
        max = n == 0 ? v : std::max(max, v);
        somme += v;
        ++n;
    }
    if (n == 0)
        return TJson{{"count", 0}, {"mean", nullptr}, {"sd", nullptr}, {"min", nullptr}, {"max", nullptr}};
    const double moyenne = somme / static_cast<double>(n);
    double carres = 0.0;
    for (const auto& e : echantillons)
        if (e[cle].is_number())
            carres += (e[cle].get<double>() - moyenne) * (e[cle].get<double>() - moyenne);
    const double ecart = n > 1 ? std::sqrt(carres / static_cast<double>(n - 1)) : 0.0;
    return TJson{{"count", n}, {"mean", Decimal(moyenne)}, {"sd", Decimal(ecart)}, {"min", min}, {"max", max}};
}

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
            char texte[96];
            std::snprintf(texte, sizeof texte, "report: recording %d of %.0f s (%s)", secondeAffichee, secondes,
                          Pourcent(kPartAvant + kPartEnregistrement * t / secondes).c_str());
            sortie.Progres(texte);
        }
    }
    return TJson{{"seconds", secondes},
                 {"duration_s", std::round(derniere * 1000.0) / 1000.0},
                 {"failed_reads", echecs},
                 {"statistics",
                  {{"acceleration_g", Statistiques(echantillons, "acceleration_g")},
                   {"temperature_c", Statistiques(echantillons, "temperature_c")}}},
                 {"samples", echantillons}};
}

struct TEchecEtape {
    // cppcheck-suppress unusedStructMember ; read through the optional that holds it
    std::string operation;
    // cppcheck-suppress unusedStructMember ; read through the optional that holds it
    std::string message;
    TResultCode code = kResOk;
};

// What the record is made of, gathered step by step.
struct TReleve {
    TJson identite, configuration, monitoring, enregistrement, autoTest;
    std::uint16_t etat = 0;
    std::optional<TEchecEtape> echec;  // the first step that failed
};

struct TVerdicts {
    bool etatSain = false;
    bool autoTestReussi = false;
    bool enregistrementReussi = false;
    bool reussi = false;
};

// Opens the line and reads identity, configuration and one monitoring reading; each step runs
// only while every earlier one succeeded, and the first failure is kept.
void LitCapteur(const TOptionsCli& o, TSortieCli& sortie, std::optional<TLigneOuverte>& ligne, TReleve& releve)
{
    int numero = 0;
    const auto etape = [&](const char* operation, const std::function<void()>& action) {
        if (releve.echec)
            return;
        sortie.Progres(std::string("report: ") + operation + " (" + Pourcent(kPartAvant * numero++ / 4.0) + ")");
        try {
            action();
        } catch (const TEchecCli& e) {
            releve.echec = TEchecEtape{operation, e.what(), e.Code()};
        }
    };
    TIdentite lue;
    etape("opening the port", [&] { ligne.emplace(o); });
    etape("reading the identity", [&] {
        lue = LitIdentite();
        releve.identite = JsonIdentite(lue);
    });
    etape("reading the configuration", [&] { releve.configuration = JsonReglages(lue, LitConfiguration()); });
    etape("reading the monitoring values", [&] {
        const TMonitoring m = Exige(LitMonitoring());
        releve.etat = m.etat;
        releve.monitoring = JsonMonitoring(m);
    });
}

// The self test's part of the record; a failure of the line is its error.
TJson AutoTestRapport(TSortieCli& sortie)
{
    sortie.Progres("report: self test (" + Pourcent(kPartAvant + kPartEnregistrement) + ")");
    try {
        const TAutoTest t = LanceAutoTest(kDelaiAutoTest);
        return {
            {"pass", t.reussi}, {"bits_seen", t.vu}, {"duration_ms", t.duree.count()}, {"status", TexteMot(t.etat)}};
    } catch (const TEchecCli& e) {
        return {{"pass", false}, {"bits_seen", false}, {"duration_ms", 0}, {"status", ""}, {"error", e.what()}};
    }
}

// Every step of the record, the line held open for them; the recording and the self test only
// when the sensor answered the reads, and the self test only when the recording was not
// interrupted.
void Releve(const TOptionsCli& o, TSortieCli& sortie, TReleve& releve)
{
    std::optional<TLigneOuverte> ligne;
    LitCapteur(o, sortie, ligne, releve);
    if (releve.echec)
        return;
    releve.enregistrement = Enregistre(o.secondes, sortie);
    if (!Interrompu())
        releve.autoTest = AutoTestRapport(sortie);
}

TVerdicts Verdicts(const TReleve& r)
{
    TVerdicts v;
    v.etatSain = !r.echec && EtatSain(r.etat);
    v.autoTestReussi = !r.echec && r.autoTest["pass"].get<bool>();
    // A recording in which not one read of a measurement succeeded says nothing of the sensor.
    v.enregistrementReussi = !r.echec && r.enregistrement["statistics"]["acceleration_g"]["count"].get<long long>() > 0
                             && r.enregistrement["statistics"]["temperature_c"]["count"].get<long long>() > 0;
    v.reussi = v.etatSain && v.autoTestReussi && v.enregistrementReussi;
    return v;
}

TJson Document(const TOptionsCli& o, const std::string& date, const TReleve& r, const TVerdicts& v)
{
    TJson rapport{{"record", "Vantor commissioning record"},
                  {"date", date},
                  {"note", Utf8Valide(o.note)},
                  {"line", JsonLigne(o)},
                  {"identity", r.identite},
                  {"configuration", r.configuration},
                  {"monitoring", r.monitoring},
                  {"self_test", r.autoTest},
                  {"recording", r.enregistrement},
                  {"line_health", JsonStatsLigne(StatsLigne())},
                  {"verdict",
                   {{"pass", v.reussi},
                    {"status_pass", v.etatSain},
                    {"self_test_pass", v.autoTestReussi},
                    {"recording_pass", v.enregistrementReussi}}}};
    if (r.echec)
        rapport["failure"] = {
            {"operation", r.echec->operation}, {"message", Utf8Valide(r.echec->message)}, {"code", r.echec->code}};
    return rapport;
}

// The command's failure, when the sensor failed a step or a check.
void Conclut(const TReleve& r, const TVerdicts& v)
{
    if (r.echec)
        throw TEchecCli(r.echec->operation + ": " + r.echec->message, r.echec->code);
    if (v.reussi)
        return;
    std::string raison;
    if (!v.etatSain)
        raison = "status bits set (" + BitsActifs(r.etat) + ")";
    if (!v.autoTestReussi)
        raison += std::string(raison.empty() ? "" : ", ") + "self test failed";
    if (!v.enregistrementReussi)
        raison += std::string(raison.empty() ? "" : ", ") + "no measurement read while recording";
    throw TEchecCli("sensor failed: " + raison);
}

}  // namespace

int CommandeReport(const TOptionsCli& o, TSortieCli& sortie)
{
    InstalleInterruption();
    const std::string date = HorodatageIso(std::chrono::system_clock::now());
    TReleve releve{};
    Releve(o, sortie, releve);
    sortie.FinProgres();
    if (Interrompu()) {
        sortie.Erreur("interrupted, no record written");
        return kSortieInterrompue;
    }

    const TVerdicts verdicts = Verdicts(releve);
    const TJson rapport = Document(o, date, releve, verdicts);
    EcritFichier(o.sortie, o.json ? rapport.dump(2) + "\n" : HtmlRapport(rapport));
    if (o.sortie != "-") {
        if (sortie.Json())
            sortie.Ecrit(TJson{{"command", "report"}, {"out", Utf8Valide(o.sortie)}, {"pass", verdicts.reussi}});
        else
            sortie.Ligne("record written to " + TexteAffichable(Utf8Valide(o.sortie)) + ": "
                         + sortie.Verdict(verdicts.reussi));
    }
    Conclut(releve, verdicts);
    return 0;
}
