// set: writes the given settings with the window's requests, then reads every setting back and
// compares. Filter and FIFO rate go first, at the address and rate in force; the baud rate and
// address share holding register 6 and go last in one read-modify-write, after which the line
// follows the sensor to its new address and rate for the read-back.
#include <cmath>
#include <optional>

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

bool EstException(TResultCode code)
{
    return code <= kResExcFunction && code >= kResExcDevice;
}

int IndexBaud(int baud)
{
    for (std::size_t i = 0; i < kBaudsCapteur.size(); ++i)
        if (kBaudsCapteur[i] == baud)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

int CommandeSet(const TOptionsCli& o, TSortieCli& sortie)
{
    std::optional<TLigneOuverte> ligne(std::in_place, o);

    if (o.filtre) {
        const TResultCode code = EcritFiltre(*o.filtre);
        if (code != kResOk)
            throw TEchecCli(code);  // the registers already written keep their new values
    }
    std::uint8_t diviseur = 0;
    if (o.fifo) {
        diviseur = DiviseurFifo(*o.fifo);
        const TResultCode code = EcritFifo(diviseur);
        if (code != kResOk)
            throw TEchecCli(code);
    }

    int id = o.id;
    std::uint16_t registre6Voulu = 0;
    const bool registre6 = o.baudCapteur || o.adresse;
    if (registre6) {
        const std::uint16_t avant = Exige(LitRegistre6());
        const auto haut = static_cast<std::uint8_t>(o.baudCapteur ? IndexBaud(*o.baudCapteur) : avant >> 8);
        const auto bas = static_cast<std::uint8_t>(o.adresse ? *o.adresse : avant & 0xFF);
        registre6Voulu = static_cast<std::uint16_t>(haut << 8 | bas);
        const TResultCode code = EcritRegistre6(haut, bas);
        // A refusal is final. A missing or garbled answer may come from a sensor that switched
        // to its new address or rate before answering: the read-back decides.
        if (code != kResOk && (EstException(code) || code == kResIoError))
            throw TEchecCli(code);
        if (o.adresse && *o.adresse != o.id) {
            id = *o.adresse;
            ChangeIdentifiant(id);
        }
        if (o.baudCapteur && *o.baudCapteur != o.baud)
            ChangeBaudLigne(CodeBaud(*o.baudCapteur));
    }

    const TConfiguration relu = LitConfiguration();
    ligne.reset();

    std::vector<std::string> ecarts;
    if (o.filtre && std::fabs(relu.filtreHz - *o.filtre) > kToleranceFiltre)
        ecarts.push_back("filter " + ChaineMesure(relu.filtreHz, 3) + " Hz instead of " + ChaineMesure(*o.filtre, 3));
    if (o.fifo && relu.diviseurFifo != diviseur)
        ecarts.push_back("fifo " + ChaineMesure(relu.fifoHz, 3) + " Hz instead of "
                         + ChaineMesure(FrequenceFifo(diviseur), 3));
    if (registre6 && relu.registre6 != registre6Voulu)
        ecarts.push_back("register 6 " + TexteMot(relu.registre6) + " instead of " + TexteMot(registre6Voulu));

    if (sortie.Json()) {
        TJson ecrit = TJson::object();
        if (o.filtre)
            ecrit["filter_hz"] = *o.filtre;
        if (o.fifo)
            ecrit["fifo_hz"] = FrequenceFifo(diviseur);
        if (o.baudCapteur)
            ecrit["sensor_baud"] = *o.baudCapteur;
        if (o.adresse)
            ecrit["address"] = *o.adresse;
        TJson doc{{"command", "set"},
                  {"line", JsonLigne(o)},
                  {"written", ecrit},
                  {"read_back", JsonConfiguration(relu)},
                  {"match", ecarts.empty()}};
        if (registre6) {
            doc["line"]["id"] = id;
            doc["line"]["baud"] = o.baudCapteur ? *o.baudCapteur : o.baud;
        }
        sortie.Ecrit(doc);
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
