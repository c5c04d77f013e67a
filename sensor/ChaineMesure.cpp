#include "ChaineMesure.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Adds one unit at the last digit of a string of decimal digits; returns true when the carry
// runs out of the front (all digits were 9 and are now 0).
bool AjouteUnite(std::string& chiffres)
{
    for (auto i = chiffres.size(); i-- > 0;) {
        if (chiffres[i] != '9') {
            ++chiffres[i];
            return false;
        }
        chiffres[i] = '0';
    }
    return true;
}

}  // namespace

std::string ChaineMesure(double valeur, int decimales)
{
    if (!std::isfinite(valeur))
        return "err";
    if (decimales < 0)
        decimales = 0;

    // Seven significant digits d0 d1 ... d6 and the decimal exponent of d0.
    std::string chiffres = "0000000";
    int exposant = 0;
    if (valeur != 0.0) {
        char tampon[40];
        std::snprintf(tampon, sizeof tampon, "%.6e", std::fabs(valeur));
        chiffres = std::string(1, tampon[0]) + std::string(tampon + 2, 6);
        exposant = std::atoi(tampon + 9);
    }
    const bool negatif = std::signbit(valeur) && valeur != 0.0;
    const std::string signe = negatif ? "-" : "";

    if (exposant + 1 > 7) {
        // Too many integer digits for the fixed form: d.ddddddE+xx, trailing zeros dropped.
        std::string fraction = chiffres.substr(1);
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
        std::string texte = signe + chiffres[0];
        if (!fraction.empty())
            texte += '.' + fraction;
        return texte + "E+" + std::to_string(exposant);
    }

    // Fixed form: place the separator, then round the seven digits to the wanted decimals.
    std::string tous;
    std::size_t entiers = 0;  // digits before the separator
    if (exposant >= 0) {
        tous = chiffres;
        entiers = static_cast<std::size_t>(exposant) + 1;
    } else {
        tous = std::string(static_cast<std::size_t>(-exposant), '0') + chiffres;
        entiers = 1;
    }
    const std::size_t voulus = entiers + static_cast<std::size_t>(decimales);
    if (tous.size() < voulus) {
        tous.append(voulus - tous.size(), '0');
    } else if (tous.size() > voulus) {
        const bool arrondiHaut = tous[voulus] >= '5';
        tous.resize(voulus);
        if (arrondiHaut && AjouteUnite(tous)) {
            tous.insert(tous.begin(), '1');
            ++entiers;
        }
    }
    const bool toutZero = tous.find_first_not_of('0') == std::string::npos;
    std::string texte = toutZero ? std::string() : signe;
    texte.append(tous, 0, entiers);
    if (decimales > 0)
        texte += '.' + tous.substr(entiers);
    return texte;
}
