// set: writes the given settings with the window's requests, then reads every setting back and
// compares. Filter and FIFO rate go first, at the address and rate in force; the baud rate and
// address share holding register 6 and go last in one read-modify-write, after which the line
// follows the sensor to its new address and rate for the read-back.
#include <cmath>
#include <vector>

#include "CapteurCli.h"
#include "ChaineMesure.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "ReglagesVantor.h"
#include "RegistresVantor.h"
#include "RenduCli.h"

namespace {

// How far the cut-off read back may lie from the one written: the coefficients travel as
// truncated binary32 values, which moves the cut-off by far less than this.
constexpr double kToleranceFiltre = 1e-3;

int IndexBaud(int baud)
{
    for (std::size_t i = 0; i < kBaudsCapteur.size(); ++i)
        if (kBaudsCapteur[i] == baud)
            return static_cast<int>(i);
    return -1;
}

// What set wrote, as the sensor is to hold it, and where it answers afterwards.
struct TEcrit {
    std::uint8_t diviseur = 0;
    bool registre6 = false;  // baud rate or address written
    std::uint16_t registre6Voulu = 0;
    int id = 0;
};

// Filter and FIFO rate, at the address and rate in force.
void EcritFiltreEtFifo(const TOptionsCli& o, TEcrit& ecrit)
{
    if (o.filtre) {
        const TResultCode code = EcritFiltre(*o.filtre);
        if (code != kResOk)
            throw TEchecCli(code);  // the registers already written keep their new values
    }
    if (o.fifo) {
        ecrit.diviseur = DiviseurFifo(*o.fifo);
        const TResultCode code = EcritFifo(ecrit.diviseur);
        if (code != kResOk)
            throw TEchecCli(code);
    }
}

// Baud rate and address in one read-modify-write of register 6, the line following the sensor.
void EcritBaudEtAdresse(const TOptionsCli& o, TEcrit& ecrit)
{
    ecrit.registre6 = true;
    const std::uint16_t avant = Exige(LitRegistre6());
    const auto haut = static_cast<std::uint8_t>(o.baudCapteur ? IndexBaud(*o.baudCapteur) : avant >> 8);
    const auto bas = static_cast<std::uint8_t>(o.adresse ? *o.adresse : avant & 0xFF);
    ecrit.registre6Voulu = static_cast<std::uint16_t>(haut << 8 | bas);
    const TResultCode code = EcritRegistre6(haut, bas);
    if (Registre6Refuse(code))
        throw TEchecCli(code);
    if (o.adresse && *o.adresse != o.id) {
        ecrit.id = *o.adresse;
        ChangeIdentifiant(ecrit.id);
    }
    if (o.baudCapteur && *o.baudCapteur != o.baud)
        ChangeBaudLigne(CodeBaud(*o.baudCapteur));
}

// The settings read back otherwise than written.
std::vector<std::string> Ecarts(const TOptionsCli& o, const TEcrit& ecrit, const TConfiguration& relu)
{
    std::vector<std::string> ecarts;
    if (o.filtre && std::fabs(relu.filtreHz - *o.filtre) > kToleranceFiltre)
        ecarts.push_back("filter " + ChaineMesure(relu.filtreHz, 3) + " Hz instead of " + ChaineMesure(*o.filtre, 3));
    if (o.fifo && relu.diviseurFifo != ecrit.diviseur)
        ecarts.push_back("fifo " + ChaineMesure(relu.fifoHz, 3) + " Hz instead of "
                         + ChaineMesure(FrequenceFifo(ecrit.diviseur), 3));
    if (ecrit.registre6 && relu.registre6 != ecrit.registre6Voulu)
        ecarts.push_back("register 6 " + TexteMot(relu.registre6) + " instead of " + TexteMot(ecrit.registre6Voulu));
    return ecarts;
}

TJson JsonSet(const TOptionsCli& o, const TEcrit& ecrit, const TConfiguration& relu, bool accord)
{
    TJson valeurs = TJson::object();
    if (o.filtre)
        valeurs["filter_hz"] = *o.filtre;
    if (o.fifo)
        valeurs["fifo_hz"] = FrequenceFifo(ecrit.diviseur);
    if (o.baudCapteur)
        valeurs["sensor_baud"] = *o.baudCapteur;
    if (o.adresse)
        valeurs["address"] = *o.adresse;
    TJson doc{{"command", "set"},
              {"line", JsonLigne(o)},
              {"written", valeurs},
              {"read_back", JsonConfiguration(relu)},
              {"match", accord}};
    if (ecrit.registre6) {
        doc["line"]["id"] = ecrit.id;
        doc["line"]["baud"] = o.baudCapteur ? *o.baudCapteur : o.baud;
    }
    return doc;
}

}  // namespace

int CommandeSet(const TOptionsCli& o, TSortieCli& sortie)
{
    TEcrit ecrit;
    ecrit.id = o.id;
    TConfiguration relu;
    {
        const TLigneOuverte ligne(o);
        EcritFiltreEtFifo(o, ecrit);
        if (o.baudCapteur || o.adresse)
            EcritBaudEtAdresse(o, ecrit);
        relu = LitConfiguration();
    }

    const std::vector<std::string> ecarts = Ecarts(o, ecrit, relu);
    if (sortie.Json()) {
        sortie.Ecrit(JsonSet(o, ecrit, relu, ecarts.empty()));
    } else {
        for (const auto& l : LignesConfiguration(relu))
            sortie.Ligne(l);
    }
    if (!ecarts.empty()) {
        std::string message = "read-back differs:";
        for (std::size_t i = 0; i < ecarts.size(); ++i)
            message += (i ? "; " : " ") + ecarts[i];
        throw TEchecCli(message);
    }
    return 0;
}
