#include "ReglagesVantor.h"

#include <cmath>
#include <numbers>

#include "RegistresVantor.h"
#include "UtilSerial.h"

TCoefficientsFiltre CoefficientsFiltre(double frequence)
{
    TCoefficientsFiltre c{};
    c.K = 1.0 / std::tan(std::numbers::pi * frequence / 50.0);
    c.Q = 2.0 * std::cos(std::numbers::pi / 4.0);
    c.A = 1.0 / (c.K * c.K + c.Q * c.K + 1.0);
    c.B = (1.0 - c.K * c.K) * -2.0;
    c.C = -(c.K * c.K - c.Q * c.K + 1.0);
    return c;
}

TResultCode FrequenceDeB(double b, double& frequence)
{
    if (std::isnan(b) || b == 0.0)
        return kResFrameError;
    if (b <= -1.0)
        return kResBadParam;
    const double d = std::sqrt(b / 2.0 + 1.0);
    frequence = 50.0 * std::atan(1.0 / d) / std::numbers::pi;
    return kResOk;
}

std::uint8_t DiviseurFifo(double frequence)
{
    const double quotient = 50.0 / frequence;
    // Nearest integer, a value exactly halfway going to the even neighbour.
    double n = std::floor(quotient);
    const double reste = quotient - n;
    if (reste > 0.5 || (reste == 0.5 && std::fmod(n, 2.0) != 0.0))
        n += 1.0;
    if (!(n >= 1.0))  // also a rate that is not a number
        return 1;
    if (n > 255.0)
        return 0;
    return static_cast<std::uint8_t>(n);
}

double FrequenceFifo(std::uint8_t diviseur)
{
    return diviseur == 0 ? 50.0 / 256.0 : 50.0 / diviseur;
}

int EntreeBaudLue(std::uint8_t index)
{
    return index <= 2 ? index : 1;
}

int EntreeBaudDeTexte(std::string_view texte)
{
    for (std::size_t i = 0; i < kBaudsCapteur.size(); ++i)
        if (texte == std::to_string(kBaudsCapteur[i]))
            return static_cast<int>(i);
    return -1;
}

int AdresseLue(std::uint8_t octet)
{
    return octet >= kAdresseMin && octet <= kAdresseMax ? octet : 1;
}

std::vector<std::pair<std::uint8_t, std::uint8_t>> MotsHexa(std::string texte)
{
    while (texte.size() % 4 != 0)
        texte.push_back('0');
    std::vector<std::pair<std::uint8_t, std::uint8_t>> mots;
    for (std::size_t i = 0; i < texte.size() / 4; ++i) {
        const auto haut = static_cast<std::uint8_t>(HexTextToInt(std::string_view(texte).substr(4 * i, 2)));
        const auto bas = static_cast<std::uint8_t>(HexTextToInt(std::string_view(texte).substr(4 * i + 2, 2)));
        mots.emplace_back(haut, bas);
    }
    return mots;
}
