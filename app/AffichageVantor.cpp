#include "AffichageVantor.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "UtilSerial.h"

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

QString TexteMesure(double valeur, int decimales, const QLocale& locale)
{
    if (!std::isfinite(valeur))
        return QStringLiteral("err");
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
    const QString signe = negatif ? QStringLiteral("-") : QString();
    const QString separateur = locale.decimalPoint();

    if (exposant + 1 > 7) {
        // Too many integer digits for the fixed form: d.ddddddE+xx, trailing zeros dropped.
        std::string fraction = chiffres.substr(1);
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
        QString texte = signe + QChar(chiffres[0]);
        if (!fraction.empty())
            texte += separateur + QString::fromLatin1(fraction.data(), static_cast<qsizetype>(fraction.size()));
        return texte + QStringLiteral("E+") + QString::number(exposant);
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
    QString texte = toutZero ? QString() : signe;
    texte += QString::fromLatin1(tous.data(), static_cast<qsizetype>(entiers));
    if (decimales > 0)
        texte += separateur + QString::fromLatin1(tous.data() + entiers, decimales);
    return texte;
}

double ValeurFlottante(const TDataArea& zone, int nbOctets)
{
    return static_cast<double>(HexTextToSingle(BufferToHexText(zone, nbOctets)));
}

std::uint16_t MotRegistre(const TDataArea& zone, int premier, int k)
{
    const auto i = static_cast<std::size_t>(2 * (k - premier));
    return static_cast<std::uint16_t>(256 * zone[i] + zone[i + 1]);
}

double EchelleIsupply(std::uint16_t brut)
{
    const std::int32_t produit = static_cast<std::int32_t>(brut) * 5000;
    return produit * 0.01 / 1024.0;
}

double EchelleVcell(std::uint16_t brut)
{
    const std::int32_t produit = static_cast<std::int32_t>(brut) * 5000;
    return produit / (1024.0 * 1500.0);
}

double EchelleVref(std::uint16_t brut)
{
    const std::int32_t produit = static_cast<std::int32_t>(brut) * 5;
    return produit / 1024.0;
}

double EchelleVin(std::uint16_t brut)
{
    const std::int32_t produit = static_cast<std::int32_t>(brut) * 55;
    return produit / 1024.0 + 0.7;
}

double EchelleVdd(std::uint16_t brut)
{
    const std::int32_t produit = static_cast<std::int32_t>(brut) * 10;
    return produit / 1024.0;
}

double EchelleVss(std::uint16_t brut)
{
    return brut * -10.64 / 1024.0;
}

double EchelleVout(std::uint16_t brut)
{
    const std::int32_t produit = static_cast<std::int32_t>(brut) * 5;
    return (produit / 1024.0 - 2.5) * 2.0;
}

std::array<double, 7> ValeursMonitoring(const TDataArea& zone)
{
    std::array<double, 7> valeurs{};
    for (int i = 1; i <= 7; ++i)
        valeurs[static_cast<std::size_t>(i - 1)] = kEchellesMonitoring[static_cast<std::size_t>(i - 1)](MotRegistre(zone, 4, 4 + i));
    return valeurs;
}

QColor CouleurLed(std::uint8_t octet, int bit)
{
    return ((octet >> bit) & 1) != 0 ? kCouleurBitActif : kCouleurBitInactif;
}

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

int EntreeBaudAEcrire(int entreeChoisie, const QString& texteTape)
{
    if (entreeChoisie >= 0 && entreeChoisie <= 2)
        return entreeChoisie;
    static const QString entrees[] = {QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")};
    for (int i = 0; i < 3; ++i)
        if (texteTape == entrees[i])
            return i;
    return -1;
}

int AdresseLue(std::uint8_t octet)
{
    return octet >= 1 && octet <= 127 ? octet : 1;
}

QString TexteRevision(std::uint8_t majeur, std::uint8_t mineur)
{
    return QString::number(majeur) + QLatin1Char('.') + QString::number(mineur);
}

QString TexteNumSerie(const TDataArea& zone)
{
    const TByteString octets = HexTextToBytes(BufferToHexText(zone, 8));
    return QString::fromLatin1(reinterpret_cast<const char*>(octets.data()), static_cast<qsizetype>(octets.size()));
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
