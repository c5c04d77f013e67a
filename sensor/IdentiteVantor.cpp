#include "IdentiteVantor.h"

#include "UtilSerial.h"

std::string ChaineRevision(std::uint8_t majeur, std::uint8_t mineur)
{
    return std::to_string(majeur) + '.' + std::to_string(mineur);
}

std::string ChaineNumSerie(const TDataArea& zone)
{
    const TByteString octets = HexTextToBytes(BufferToHexText(zone, 8));
    return std::string(octets.begin(), octets.end());
}
