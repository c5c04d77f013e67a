#include "UtilSerial.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char kChiffres[] = "0123456789ABCDEF";

void AjouteOctet(std::string& texte, std::uint8_t octet)
{
    texte.push_back(kChiffres[octet >> 4]);
    texte.push_back(kChiffres[octet & 0x0F]);
}

std::uint8_t OctetDePaire(std::string_view texte, std::size_t i)
{
    return static_cast<std::uint8_t>(HexTextToInt(texte.substr(i, 2)) & 0xFF);
}

}  // namespace

std::int32_t HexTextToInt(std::string_view texte)
{
    std::uint32_t somme = 0;
    for (char c : texte) {
        const int code = static_cast<unsigned char>(c);
        const int chiffre = code <= 0x39 ? code - 0x30 : code - 0x37;
        somme = somme * 16u + static_cast<std::uint32_t>(chiffre);
    }
    return static_cast<std::int32_t>(somme);
}

std::string IntToHexText(std::int32_t valeur)
{
    const auto v = static_cast<std::uint32_t>(valeur);
    std::string texte;
    bool significatif = false;
    for (int decalage = 24; decalage >= 0; decalage -= 8) {
        const auto octet = static_cast<std::uint8_t>(v >> decalage);
        if (octet != 0 || significatif || decalage == 0) {
            AjouteOctet(texte, octet);
            significatif = true;
        }
    }
    return texte;
}

TByteString HexTextToBytes(std::string_view texte)
{
    TByteString octets;
    if (texte.empty() || texte.size() % 2 != 0)
        return octets;
    octets.reserve(texte.size() / 2);
    for (std::size_t i = 0; i < texte.size(); i += 2)
        octets.push_back(OctetDePaire(texte, i));
    return octets;
}

std::string BytesToHexText(const TByteString& octets)
{
    std::string texte;
    texte.reserve(octets.size() * 2);
    for (std::uint8_t octet : octets)
        AjouteOctet(texte, octet);
    return texte;
}

void ClearBuffer(TDataArea& zone)
{
    zone.fill(0);
}

void HexTextToBuffer(std::string_view texte, TDataArea& zone)
{
    ClearBuffer(zone);
    if (texte.empty() || texte.size() % 2 != 0)
        return;
    const std::size_t paires = std::min(texte.size() / 2, zone.size());
    for (std::size_t i = 0; i < paires; ++i)
        zone[i] = OctetDePaire(texte, 2 * i);
}

std::string BufferToHexText(const TDataArea& zone, int n)
{
    const std::size_t compte = n <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), zone.size());
    std::string texte;
    texte.reserve(compte * 2);
    for (std::size_t i = 0; i < compte; ++i)
        AjouteOctet(texte, zone[i]);
    return texte;
}

float HexTextToSingle(std::string_view texte)
{
    if (texte.size() != 6 && texte.size() != 8)
        return 1e38f;
    const bool huit = texte.size() == 8;
    const std::uint32_t b0 = OctetDePaire(texte, 0);
    const std::uint32_t b1 = OctetDePaire(texte, 2);
    const std::uint32_t b2 = OctetDePaire(texte, 4);
    const std::uint32_t b3 = huit ? OctetDePaire(texte, 6) : 0;
    if (b0 == 0 && b1 == 0 && b2 == 0 && b3 == 0)
        return 0.0f;
    const bool negatif = (b0 & 0x80) != 0;
    const int exposant = static_cast<int>(((b0 << 1) + (b1 >> 7)) & 0xFF);
    if (exposant == 255)
        return std::numeric_limits<float>::quiet_NaN();
    const double mantisse =
        huit ? static_cast<double>((b1 | 0x80) * 65536 + b2 * 256 + b3) : static_cast<double>((b1 | 0x80) * 256 + b2);
    double valeur = std::ldexp(mantisse, exposant - (huit ? 150 : 142));
    if (negatif)
        valeur = -valeur;
    return static_cast<float>(valeur);
}

std::string SingleToHexText(double x)
{
    if (std::isnan(x) || std::fabs(x) < 1e-15)
        return "00000000";
    const bool negatif = x < 0;
    if (std::fabs(x) >= std::ldexp(1.0, 128))
        return negatif ? "FF7FFFFF" : "7F7FFFFF";
    const double a = std::fabs(x);
    int p = 0;
    std::frexp(a, &p);    // a = m * 2^p with 0.5 <= m < 1
    const int e = p - 1;  // 1 <= a / 2^e < 2
    const int biaise = (e + 127) & 0xFF;
    const auto octet0 = static_cast<std::uint8_t>((biaise >> 1) | (negatif ? 0x80 : 0x00));
    double t = std::ldexp(a, -e) * 128.0;
    const double entier1 = std::floor(t);
    const auto octet1 = static_cast<std::uint8_t>((static_cast<unsigned>(entier1) & 0x7Fu)
                                                  | ((static_cast<unsigned>(biaise) & 1u) << 7));
    t = (t - entier1) * 256.0;
    const double entier2 = std::floor(t);
    t = (t - entier2) * 256.0;
    const double entier3 = std::floor(t);
    std::string texte;
    AjouteOctet(texte, octet0);
    AjouteOctet(texte, octet1);
    AjouteOctet(texte, static_cast<std::uint8_t>(entier2));
    AjouteOctet(texte, static_cast<std::uint8_t>(entier3));
    return texte;
}
