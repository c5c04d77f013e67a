#include "ReglagesCli.h"

#include <cmath>

#include "ChaineMesure.h"
#include "ReglagesVantor.h"
#include "RegistresVantor.h"
#include "TexteSur.h"

namespace {

constexpr const char* kFormat = "vantor-configuration";
constexpr int kVersion = 1;

std::string TexteHz(double hz)
{
    return TJson(Decimal(hz)).dump() + " Hz";
}

[[noreturn]] void Refuse(const std::string& fichier, const std::string& raison)
{
    throw TEntreeInvalide(fichier + ": " + raison);
}

double Nombre(const TJson& doc, const char* cle, const std::string& fichier)
{
    const TJson& v = doc.at(cle);
    if (!v.is_number())
        Refuse(fichier, std::string(cle) + ": a number expected");
    return v.get<double>();
}

int Entier(const TJson& doc, const char* cle, const std::string& fichier)
{
    const TJson& v = doc.at(cle);
    if (!v.is_number_integer())
        Refuse(fichier, std::string(cle) + ": a whole number expected");
    const auto n = v.get<long long>();
    if (n < -1000000000LL || n > 1000000000LL)
        Refuse(fichier, std::string(cle) + ": " + v.dump() + " is out of range");
    return static_cast<int>(n);
}

}  // namespace

TJson JsonReglages(const TIdentite& identite, const TConfiguration& c)
{
    return TJson{{"format", kFormat},
                 {"version", kVersion},
                 {"firmware", identite.revision},
                 {"serial", Latin1VersUtf8(identite.numSerie)},
                 {"filter_hz", Decimal(c.filtreHz)},
                 {"fifo_hz", c.fifoHz},
                 {"sensor_baud", c.baudCapteur},
                 {"address", c.adresse}};
}

TReglagesFichier LitReglages(const std::string& texte, const std::string& fichier)
{
    const TJson doc = TJson::parse(texte, nullptr, false);
    if (doc.is_discarded() || !doc.is_object())
        Refuse(fichier, "not a JSON object");
    if (!doc.contains("format") || doc["format"] != kFormat)
        Refuse(fichier, std::string("not a settings file (\"format\": \"") + kFormat + "\" expected)");
    if (!doc.contains("version") || doc["version"] != kVersion)
        Refuse(fichier, "version " + std::to_string(kVersion) + " expected");
    static const char* const kConnues[] = {"format",    "version", "firmware",    "serial",
                                           "filter_hz", "fifo_hz", "sensor_baud", "address"};
    for (const auto& [cle, valeur] : doc.items()) {
        bool connue = false;
        for (const char* k : kConnues)
            connue = connue || cle == k;
        if (!connue)
            Refuse(fichier, "unknown setting '" + Utf8Valide(cle) + "'");
    }

    TReglagesFichier r;
    if (doc.contains("filter_hz")) {
        const double f = Nombre(doc, "filter_hz", fichier);
        if (!(f >= kFiltreMin && f <= kFiltreMax))
            Refuse(fichier, "filter_hz: cut-off 0.1..10 Hz expected, got " + doc["filter_hz"].dump());
        r.filtreHz = f;
    }
    if (doc.contains("fifo_hz")) {
        const double f = Nombre(doc, "fifo_hz", fichier);
        if (!(f >= kFifoMin && f <= kFifoMax))
            Refuse(fichier, "fifo_hz: rate 0.1..50 Hz expected, got " + doc["fifo_hz"].dump());
        const std::uint8_t n = DiviseurFifo(f);
        // Only 50 / n Hz can be stored: a rate the sensor would hold as another one is refused.
        if (std::fabs(FrequenceFifo(n) - f) > 5e-4)
            Refuse(fichier, "fifo_hz: " + doc["fifo_hz"].dump() + " Hz cannot be stored; the nearest rate is "
                                + TexteHz(FrequenceFifo(n)));
        r.diviseurFifo = n;
    }
    if (doc.contains("sensor_baud")) {
        const int b = Entier(doc, "sensor_baud", fichier);
        if (EntreeBaudDeTexte(std::to_string(b)) < 0)
            Refuse(fichier, "sensor_baud: 9600, 19200 or 38400 expected, got " + doc["sensor_baud"].dump());
        r.baud = b;
    }
    if (doc.contains("address")) {
        const int a = Entier(doc, "address", fichier);
        if (a < kAdresseMin || a > kAdresseMax)
            Refuse(fichier, "address: 1..127 expected, got " + doc["address"].dump());
        r.adresse = a;
    }
    return r;
}

std::vector<TEcartReglage> EcartsReglages(const TReglagesFichier& f, const TConfiguration& c)
{
    std::vector<TEcartReglage> ecarts;
    if (f.filtreHz && std::fabs(c.filtreHz - *f.filtreHz) > kToleranceFiltreHz)
        ecarts.push_back(
            {"filter_hz", TexteHz(c.filtreHz), TexteHz(*f.filtreHz), Decimal(c.filtreHz), Decimal(*f.filtreHz)});
    if (f.diviseurFifo && *f.diviseurFifo != c.diviseurFifo) {
        const double voulu = FrequenceFifo(*f.diviseurFifo);
        ecarts.push_back({"fifo_hz", TexteHz(c.fifoHz), TexteHz(voulu), c.fifoHz, voulu});
    }
    if (f.baud && *f.baud != c.baudCapteur)
        ecarts.push_back(
            {"sensor_baud", std::to_string(c.baudCapteur), std::to_string(*f.baud), c.baudCapteur, *f.baud});
    if (f.adresse && *f.adresse != c.adresse)
        ecarts.push_back({"address", std::to_string(c.adresse), std::to_string(*f.adresse), c.adresse, *f.adresse});
    return ecarts;
}

std::string TexteEcart(const TEcartReglage& e)
{
    return e.nom + ": sensor " + e.texteCapteur + ", file " + e.texteFichier;
}

TJson JsonEcart(const TEcartReglage& e)
{
    return TJson{{"setting", e.nom}, {"sensor", e.capteur}, {"file", e.fichier}};
}
