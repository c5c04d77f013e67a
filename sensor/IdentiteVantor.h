// Identity of the sensor: firmware revision and serial number as texts.
#pragma once

#include <cstdint>
#include <string>

#include "TypesKorvane.h"

// Firmware revision "major.minor" in decimal without padding (0x010A gives "1.10").
std::string ChaineRevision(std::uint8_t majeur, std::uint8_t mineur);

// Serial number: the first 8 data bytes, each the character of that code (8-bit, Latin-1).
std::string ChaineNumSerie(const TDataArea& zone);
