// What the sensor page shows: the window's texts and colours, made from the sensor's own
// conversions (sensor/), which this header brings along, so that every rule can be checked on
// its own. No widget and no driver call here.
#pragma once

#include <QColor>
#include <QLocale>
#include <QString>

#include <cstdint>

#include "ChaineMesure.h"
#include "IdentiteVantor.h"
#include "MesuresVantor.h"
#include "ReglagesVantor.h"
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
inline QString TexteAcceleration(double g)
{
    return TexteMesure(g, 5);
}
inline QString TexteTemperature(double degres)
{
    return TexteMesure(degres, 1);
}

// ---------------------------------------------------------------------------------------------
// Status LEDs: a set bit shows red, a clear bit lime.

inline const QColor kCouleurBitActif{255, 0, 0};
inline const QColor kCouleurBitInactif{0, 255, 0};
QColor CouleurLed(std::uint8_t octet, int bit);

// ---------------------------------------------------------------------------------------------
// Sensor baud rate box

// Index to write: the selected entry when there is one (0..2), else the entry whose text is
// typed in the box; -1 when there is neither.
int EntreeBaudAEcrire(int entreeChoisie, const QString& texteTape);

// ---------------------------------------------------------------------------------------------
// Identity

// Firmware revision "major.minor" in decimal without padding (0x010A gives "1.10").
QString TexteRevision(std::uint8_t majeur, std::uint8_t mineur);

// Serial number: the first 8 data bytes, each the character of that code.
QString TexteNumSerie(const TDataArea& zone);
