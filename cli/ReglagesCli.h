// A sensor's settings as a file: what 'config save' writes and 'report' includes, what 'config
// diff' and 'config apply' read, and how a file's settings compare with the sensor's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CapteurCli.h"
#include "SortieCli.h"

// The document: format and version, firmware and serial number (for the record; never
// written to a sensor), filter cut-off and FIFO rate in Hz as the sensor holds them, the
// sensor's baud rate and address.
TJson JsonReglages(const TIdentite& identite, const TConfiguration& configuration);

// The settings of a file; a setting the file leaves out is left as the sensor holds it.
struct TReglagesFichier {
    std::optional<double> filtreHz;
    std::optional<std::uint8_t> diviseurFifo;  // 0 stands for 256
    std::optional<int> baud;                   // 9600, 19200 or 38400
    std::optional<int> adresse;                // 1..127
};

// Reads and checks a settings document; throws TEntreeInvalide naming what is wrong.
TReglagesFichier LitReglages(const std::string& texte, const std::string& nomFichier);

// A settings file or command-line input that cannot be used (exit status 2).
class TEntreeInvalide : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One setting the sensor holds otherwise than the file: its name as in the file, and both values
// as text and as JSON.
struct TEcartReglage {
    std::string nom;
    std::string texteCapteur, texteFichier;
    TJson capteur, fichier;
};
// How far a filter cut-off may lie from the file's and still be the same setting: the
// coefficients travel as truncated binary32 values, which moves the cut-off by far less.
inline constexpr double kToleranceFiltreHz = 1e-3;

std::vector<TEcartReglage> EcartsReglages(const TReglagesFichier& fichier, const TConfiguration& capteur);
// "address: sensor 5, file 17".
std::string TexteEcart(const TEcartReglage& ecart);
TJson JsonEcart(const TEcartReglage& ecart);
