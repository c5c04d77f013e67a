// Pure conversions of the sensor page: how raw register data become what the window shows,
// and how the operator's settings become register values. No widget and no driver call here,
// so every rule can be checked on its own.
#pragma once

#include <QColor>
#include <QLocale>
#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "TypesKorvane.h"

// ---------------------------------------------------------------------------------------------
// Measurement texts

// A value as the acceleration and temperature labels show it: rounded to 7 significant digits,
// then written with exactly `decimales` digits after the locale's decimal separator (half away
// from zero), a leading '-' when negative and at least one digit before the separator. A value
// needing more than 7 digits before the separator is written in scientific notation instead:
// up to 7 significant digits, trailing zeros dropped, then "E+" and the exponent
// ("1.234568E+10"). A value that has no number (NaN, infinity) reads "err".
QString TexteMesure(double valeur, int decimales, const QLocale& locale = QLocale());

// Acceleration in g: 5 decimals. Temperature in degrees Celsius: 1 decimal.
inline QString TexteAcceleration(double g) { return TexteMesure(g, 5); }
inline QString TexteTemperature(double degres) { return TexteMesure(degres, 1); }

// A sensor float read from the driver: the first `nbOctets` bytes of the data area as hex text,
// decoded as binary32 (a byte count other than 3 or 4 decodes as 1e38, as the text conversion
// does for any length but 6 or 8 digits).
double ValeurFlottante(const TDataArea& zone, int nbOctets);

// ---------------------------------------------------------------------------------------------
// Monitoring (input registers 4 to 11)

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
inline constexpr std::array<TEchelle, 7> kEchellesMonitoring = {
    EchelleIsupply, EchelleVcell, EchelleVref, EchelleVin, EchelleVdd, EchelleVss, EchelleVout};

// The seven values of a monitoring reply (registers 4 to 11 from data byte 0): reads the first
// 16 data bytes whatever the byte count.
std::array<double, 7> ValeursMonitoring(const TDataArea& zone);

// Status LEDs: a set bit shows red, a clear bit lime.
inline const QColor kCouleurBitActif{255, 0, 0};
inline const QColor kCouleurBitInactif{0, 255, 0};
QColor CouleurLed(std::uint8_t octet, int bit);

// ---------------------------------------------------------------------------------------------
// Low-pass filter (sampling at 50 Hz)

struct TCoefficientsFiltre {
    double K;  // 1 / tan(pi f / 50)
    double Q;  // 2 cos(pi / 4)
    double A;  // 1 / (K^2 + Q K + 1)
    double B;  // 2 (K^2 - 1)
    double C;  // -(K^2 - Q K + 1)
};
TCoefficientsFiltre CoefficientsFiltre(double frequence);

// The cut-off frequency from coefficient B: 50 arctan(1 / sqrt(B / 2 + 1)) / pi. Returns the
// result code of the check first: -2 when B is 0 or has no value (NaN), -14 when B <= -1,
// otherwise 0 and the frequency in `frequence`.
TResultCode FrequenceDeB(double b, double& frequence);

// ---------------------------------------------------------------------------------------------
// FIFO sampling rate (holding register 7, high byte: divider n, 0 standing for 256)

// n = 50 / rate rounded to the nearest integer, halves to even; below 1 gives 1, above 255
// gives 0 (read by the sensor as 256).
std::uint8_t DiviseurFifo(double frequence);

// 50 / n Hz, and 50 / 256 Hz for n = 0.
double FrequenceFifo(std::uint8_t diviseur);

// ---------------------------------------------------------------------------------------------
// Baud rate and address (holding register 6: high byte baud index, low byte address)

// Entry of "9600", "19200", "38400" for the baud index read: 0..2 as is, anything else 1.
int EntreeBaudLue(std::uint8_t index);

// Index to write: the selected entry when there is one (0..2), else the entry whose text is
// typed in the box; -1 when there is neither.
int EntreeBaudAEcrire(int entreeChoisie, const QString& texteTape);

// Address read: 1..127 as is, anything else 1.
int AdresseLue(std::uint8_t octet);

// ---------------------------------------------------------------------------------------------
// Identity

// Firmware revision "major.minor" in decimal without padding (0x010A gives "1.10").
QString TexteRevision(std::uint8_t majeur, std::uint8_t mineur);

// Serial number: the first 8 data bytes, each the character of that code.
QString TexteNumSerie(const TDataArea& zone);

// ---------------------------------------------------------------------------------------------
// System register writes

// Splits hex text into 16-bit words {high, low}, after padding it with '0' to a multiple of
// 4 digits.
std::vector<std::pair<std::uint8_t, std::uint8_t>> MotsHexa(std::string texte);
