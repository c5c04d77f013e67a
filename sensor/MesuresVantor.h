// Measurements of the sensor: binary32 values, the monitoring scalings and the status word.
#pragma once

#include <array>
#include <cstdint>

#include "TypesKorvane.h"

// A sensor float read from the driver: the first `nbOctets` bytes of the data area as hex text,
// decoded as binary32 (a byte count other than 3 or 4 decodes as 1e38, as the text conversion
// does for any length but 6 or 8 digits).
double ValeurFlottante(const TDataArea& zone, int nbOctets);

// Unsigned 16-bit value of register k of a reply that starts at register `premier`.
std::uint16_t MotRegistre(const TDataArea& zone, int premier, int k);

// The seven analogue values, each from its raw 16-bit register. Integer factors are applied in
// 32-bit integer arithmetic before the floating-point part of the formula.
double EchelleIsupply(std::uint16_t brut);  // raw x 5000 x 0.01 / 1024
double EchelleVcell(std::uint16_t brut);    // raw x 5000 / (1024 x 1500)
double EchelleVref(std::uint16_t brut);     // raw x 5 / 1024
double EchelleVin(std::uint16_t brut);      // raw x 55 / 1024 + 0.7
double EchelleVdd(std::uint16_t brut);      // raw x 10 / 1024
double EchelleVss(std::uint16_t brut);      // raw x (-10.64) / 1024
double EchelleVout(std::uint16_t brut);     // (raw x 5 / 1024 - 2.5) x 2

// The scalings in register order (registers 5 to 11: Isupply, Vcell, Vref, Vin, Vdd, Vss, Vout).
using TEchelle = double (*)(std::uint16_t);
inline constexpr std::array<TEchelle, 7> kEchellesMonitoring = {EchelleIsupply, EchelleVcell, EchelleVref, EchelleVin,
                                                                EchelleVdd,     EchelleVss,   EchelleVout};

// The seven values of a monitoring reply (registers 4 to 11 from data byte 0): reads the first
// 16 data bytes whatever the byte count.
std::array<double, 7> ValeursMonitoring(const TDataArea& zone);

// Status word of a monitoring reply: data bytes 0 (high) and 1 (low).
inline std::uint16_t MotEtat(const TDataArea& zone)
{
    return MotRegistre(zone, 4, 4);
}

// State of status LED `led` (0..15 for LEDs 1..16): LEDs 1..8 show bits 0..7 of the high byte,
// LEDs 9..16 bits 0..7 of the low byte.
inline bool BitLed(std::uint16_t etat, int led)
{
    const int bitMot = led < 8 ? 8 + led : led - 8;
    return ((etat >> bitMot) & 1) != 0;
}

// Bit b of a status byte.
inline bool BitOctet(std::uint8_t octet, int bit)
{
    return ((octet >> bit) & 1) != 0;
}
