// Hexadecimal text conversions: integers, byte strings, the data area and single-precision
// floats travel as text of two upper-case hexadecimal digits per byte, most significant first.
#pragma once

#include <string>
#include <string_view>

#include "TypesKorvane.h"

// Weights the characters from the last (16^0) to the first. A character whose code is at most
// '9' counts as its code minus 0x30, any other as its code minus 0x37; nothing is validated,
// so 'a' counts 42. The sum is kept modulo 2^32; the empty text gives 0.
std::int32_t HexTextToInt(std::string_view texte);

// Whole bytes, most significant first, without leading zero bytes but at least one byte.
std::string IntToHexText(std::int32_t valeur);

// Pairs of digits to bytes; an empty or odd-length text gives an empty string.
TByteString HexTextToBytes(std::string_view texte);

// Two digits per byte, concatenated.
std::string BytesToHexText(const TByteString& octets);

void ClearBuffer(TDataArea& zone);

// Clears the area, then fills it from an even, non-empty text, at most 256 bytes.
void HexTextToBuffer(std::string_view texte, TDataArea& zone);

// The first n bytes of the area (n is limited to 0..256) as hex text.
std::string BufferToHexText(const TDataArea& zone, int n);

// Decodes the binary32 layout from 8 digits, or its upper three bytes from 6 digits. Any other
// length gives 1e38. Every pattern gets the forced leading mantissa bit, exponent 0 included;
// a pattern whose exponent field is 255 has no value and gives a quiet NaN.
float HexTextToSingle(std::string_view texte);

// Writes the binary32 pattern of x with its mantissa truncated (not rounded); magnitudes below
// 1e-15 give "00000000". Magnitudes of 2^128 or more are written as the largest finite value of
// their sign, and a NaN as "00000000".
std::string SingleToHexText(double x);
