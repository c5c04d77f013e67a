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
    static const std::pair<const char*, int> kModes[] = {{"none", 2}, {"even", 0}, {"odd", 1}};
    std::vector<TReglageLigne> reglages;
    for (const int baud : kBauds)
        for (const auto& [nom, code] : kModes)
            reglages.push_back({baud, CodeBaud(baud), nom, code});
    return reglages;
}

struct TTrouve {
    TReglageLigne reglage;
    int adresse;
};

}  // namespace

int CommandeFind(const TOptionsCli& o, TSortieCli& sortie)
{
    InstalleInterruption();
    const std::vector<TReglageLigne> reglages = ReglagesEssayes();
    const int parReglage = o.a - o.de + 1;
    const int total = static_cast<int>(reglages.size()) * parReglage;

    std::vector<TTrouve> trouves;
    int essayes = 0;
    bool interrompu = false;
    TOptionsCli premier = o;
    premier.codeBaud = reglages.front().codeBaud;
    premier.codeParite = reglages.front().codeParite;
    premier.id = o.de;
    {
        const TLigneOuverte ligne(premier);
        for (std::size_t r = 0; r < reglages.size() && !interrompu; ++r) {
            const TReglageLigne& reglage = reglages[r];
            if (r > 0)
                ChangeReglageLigne(reglage.codeParite, reglage.codeBaud);
            ++essayes;
            for (int adresse = o.de; adresse <= o.a; ++adresse) {
                ChangeIdentifiant(adresse);
                const TResultCode code = Sonde();
                if (code == kResIoError)
                    throw TEchecCli(code);  // the port failed: silence would mean nothing
                if (code != kResNoAnswer)
                    Attends(kPauseApresReponse);
                if (ResultCodeToMessageIndex(code) == 0)
                    trouves.push_back({reglage, adresse});
                const int fait = static_cast<int>(r) * parReglage + adresse - o.de;
                sortie.Progres("find: " + std::to_string(100 * fait / total) + " %, " + std::to_string(reglage.baud)
                               + " baud, parity " + reglage.parite + ", address " + std::to_string(adresse) + ", "
                               + std::to_string(trouves.size()) + " found");
                if (Interrompu()) {
                    interrompu = true;
                    break;
                }
                if (!trouves.empty() && !o.tous)
                    break;
            }
            if (!trouves.empty() && !o.tous)
                break;
        }
    }
    sortie.FinProgres();

    if (sortie.Json()) {
        TJson liste = TJson::array();
        for (const auto& t : trouves)
            liste.push_back({{"port", Utf8Valide(o.port)},
                             {"baud", t.reglage.baud},
                             {"parity", t.reglage.parite},
                             {"id", t.adresse}});
        sortie.Ecrit(
            TJson{{"command", "find"}, {"found", liste}, {"settings_tried", essayes}, {"interrupted", interrompu}});
    } else {
        for (const auto& t : trouves)
            sortie.Ligne("sensor found: --port " + TexteAffichable(Utf8Valide(o.port)) + " --baud "
                         + std::to_string(t.reglage.baud) + " --parity " + t.reglage.parite + " --id "
                         + std::to_string(t.adresse));
    }
    if (interrompu)
        return kSortieInterrompue;
    if (trouves.empty())
        throw TEchecCli("no sensor answered at any baud rate, line mode and address");
    return 0;
}
