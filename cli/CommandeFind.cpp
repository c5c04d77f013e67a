// find: a sensor whose baud rate, line mode and address are unknown. The settings are tried
// from the likeliest: the sensor's own rates (its factory rate 19200 first, then 9600 and
// 38400), then the driver's other rates (57600, 4800, 2400), each with the line modes none
// (the factory mode), even and odd. At each setting every address 1..127 gets the bus scan's
// probe, the port held open. The scan's 10 ms pause only follows an answer: after a time-out
// the line has been silent for longer than that already.
#include <chrono>
#include <vector>

#include "CapteurCli.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "LineCodes.h"
#include "Plateforme.h"
#include "RegistresVantor.h"
#include "RenduCli.h"
#include "TexteSur.h"
#include "UtilKorvane.h"

namespace {

constexpr std::chrono::milliseconds kPauseApresReponse{10};

struct TReglageLigne {
    int baud;
    int codeBaud;
    const char* parite;
    int codeParite;
};

std::vector<TReglageLigne> ReglagesEssayes()
{
    static const int kBauds[] = {19200, 9600, 38400, 57600, 4800, 2400};
    static const int kModes[] = {2, 0, 1};  // none, even, odd
    std::vector<TReglageLigne> reglages;
    for (const int baud : kBauds)
        for (const int code : kModes)
            reglages.push_back({baud, CodeBaud(baud), kLineModes[static_cast<std::size_t>(code)].word, code});
    return reglages;
}

struct TTrouve {
    TReglageLigne reglage;
    int adresse;
};

// The search so far.
struct TRecherche {
    std::vector<TTrouve> trouves;
    int essayes = 0;  // settings tried
    bool interrompu = false;
    int total = 0;  // probes of the whole search, for the progress
};

// Every address at the setting in force (the r-th), until a sensor answers (with --all, to the
// last address) or the operator interrupts.
void EssaieReglage(const TOptionsCli& o, TSortieCli& sortie, std::size_t r, const TReglageLigne& reglage,
                   TRecherche& recherche)
{
    ++recherche.essayes;
    for (int adresse = o.de; adresse <= o.a; ++adresse) {
        ChangeIdentifiant(adresse);
        const TResultCode code = Sonde();
        if (code == kResIoError)
            throw TEchecCli(code);  // the port failed: silence would mean nothing
        if (code != kResNoAnswer)
            Attends(kPauseApresReponse);
        if (ResultCodeToMessageIndex(code) == 0)
            recherche.trouves.push_back({reglage, adresse});
        const int fait = static_cast<int>(r) * (o.a - o.de + 1) + adresse - o.de;
        sortie.Progres("find: " + std::to_string(100 * fait / recherche.total) + " %, " + std::to_string(reglage.baud)
                       + " baud, parity " + reglage.parite + ", address " + std::to_string(adresse) + ", "
                       + std::to_string(recherche.trouves.size()) + " found");
        if (Interrompu()) {
            recherche.interrompu = true;
            return;
        }
        if (!recherche.trouves.empty() && !o.tous)
            return;
    }
}

// Every setting in turn, the port held open, until a sensor is found (with --all, to the last).
TRecherche Cherche(const TOptionsCli& o, TSortieCli& sortie)
{
    const std::vector<TReglageLigne> reglages = ReglagesEssayes();
    TRecherche recherche;
    recherche.total = static_cast<int>(reglages.size()) * (o.a - o.de + 1);
    TOptionsCli premier = o;
    premier.codeBaud = reglages.front().codeBaud;
    premier.codeParite = reglages.front().codeParite;
    premier.id = o.de;
    const TLigneOuverte ligne(premier);
    for (std::size_t r = 0; r < reglages.size() && !recherche.interrompu; ++r) {
        if (r > 0)
            ChangeReglageLigne(reglages[r].codeParite, reglages[r].codeBaud);
        EssaieReglage(o, sortie, r, reglages[r], recherche);
        if (!recherche.trouves.empty() && !o.tous)
            break;
    }
    return recherche;
}

void Rapporte(const TOptionsCli& o, TSortieCli& sortie, const TRecherche& recherche)
{
    if (sortie.Json()) {
        TJson liste = TJson::array();
        for (const auto& t : recherche.trouves)
            liste.push_back({{"port", Utf8Valide(o.port)},
                             {"baud", t.reglage.baud},
                             {"parity", t.reglage.parite},
                             {"id", t.adresse}});
        sortie.Ecrit(TJson{{"command", "find"},
                           {"found", liste},
                           {"settings_tried", recherche.essayes},
                           {"interrupted", recherche.interrompu}});
    } else {
        for (const auto& t : recherche.trouves)
            sortie.Ligne("sensor found: --port " + TexteAffichable(Utf8Valide(o.port)) + " --baud "
                         + std::to_string(t.reglage.baud) + " --parity " + t.reglage.parite + " --id "
                         + std::to_string(t.adresse));
    }
}

}  // namespace

int CommandeFind(const TOptionsCli& o, TSortieCli& sortie)
{
    InstalleInterruption();
    const TRecherche recherche = Cherche(o, sortie);
    sortie.FinProgres();
    Rapporte(o, sortie, recherche);
    if (recherche.interrompu)
        return kSortieInterrompue;
    if (recherche.trouves.empty())
        throw TEchecCli("no sensor answered at any baud rate, line mode and address");
    return 0;
}
