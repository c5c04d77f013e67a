// The sensor's settings as register values: low-pass filter coefficients, FIFO divider, the
// baud-rate index and address of holding register 6, and system-register words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TypesKorvane.h"

// ---------------------------------------------------------------------------------------------
// Low-pass filter (sampling at 50 Hz)

// The range of cut-off frequencies the operator may set, in Hz.
inline constexpr double kFiltreMin = 0.1;
inline constexpr double kFiltreMax = 10.0;

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

// The range of FIFO rates the operator may set, in Hz.
inline constexpr double kFifoMin = 0.1;
inline constexpr double kFifoMax = 50.0;

// n = 50 / rate rounded to the nearest integer, halves to even; below 1 gives 1, above 255
// gives 0 (read by the sensor as 256).
std::uint8_t DiviseurFifo(double frequence);

// 50 / n Hz, and 50 / 256 Hz for n = 0.
double FrequenceFifo(std::uint8_t diviseur);

// ---------------------------------------------------------------------------------------------
// Baud rate and address (holding register 6: high byte baud index, low byte address)

// Entry of "9600", "19200", "38400" for the baud index read: 0..2 as is, anything else 1.
int EntreeBaudLue(std::uint8_t index);

// Index of the entry whose text is exactly "9600", "19200" or "38400"; -1 for any other text.
int EntreeBaudDeTexte(std::string_view texte);

// Address read: 1..127 as is, anything else 1.
int AdresseLue(std::uint8_t octet);

// ---------------------------------------------------------------------------------------------
// System register writes

// Splits hex text into 16-bit words {high, low}, after padding it with '0' to a multiple of
// 4 digits.
std::vector<std::pair<std::uint8_t, std::uint8_t>> MotsHexa(std::string texte);
