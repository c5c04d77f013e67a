#include "AffichageVantor.h"

#include <string>

QString TexteMesure(double valeur, int decimales, const QLocale& locale)
{
    // The sensor's text has a full stop as its only separator: put the locale's in its place.
    QString texte = QString::fromLatin1(ChaineMesure(valeur, decimales));
    texte.replace(QLatin1Char('.'), locale.decimalPoint());
    return texte;
}

QColor CouleurLed(std::uint8_t octet, int bit)
{
    return BitOctet(octet, bit) ? kCouleurBitActif : kCouleurBitInactif;
}

int EntreeBaudAEcrire(int entreeChoisie, const QString& texteTape)
{
    if (entreeChoisie >= 0 && entreeChoisie <= 2)
        return entreeChoisie;
    return EntreeBaudDeTexte(texteTape.toStdString());
}

QString TexteRevision(std::uint8_t majeur, std::uint8_t mineur)
{
    return QString::fromStdString(ChaineRevision(majeur, mineur));
}

QString TexteNumSerie(const TDataArea& zone)
{
    const std::string texte = ChaineNumSerie(zone);
    return QString::fromLatin1(texte.data(), static_cast<qsizetype>(texte.size()));
}
