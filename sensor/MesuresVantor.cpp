#include "MesuresVantor.h"

#include "UtilSerial.h"

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
        valeurs[static_cast<std::size_t>(i - 1)] =
            kEchellesMonitoring[static_cast<std::size_t>(i - 1)](MotRegistre(zone, 4, 4 + i));
    return valeurs;
}
