// Result codes, their message texts, MODBUS exception mapping and the CRC-16 of RTU framing.
#pragma once

#include <array>
#include <string>

#include "TypesKorvane.h"

// -1 -> 1, -2 -> 2, -3 -> 3, -4 -> 4, -10..-14 -> 5..9, -20..-23 -> 10..13; anything else -> 0.
TMessageIndex ResultCodeToMessageIndex(TResultCode code);

// Only the low 7 bits of the index count: 0 gives the empty text, 1..13 the message table,
// 14..127 "unknown error".
std::string MessageText(TMessageIndex index);

// Index 0..13 to 0, -1, -2, -3, -4, -10, -11, -12, -13, -14, -20, -21, -22, -23 (low 7 bits;
// 14..127 give 0).
TResultCode ResultCodeFromIndex(TMessageIndex index);

// MODBUS exception code 1 -> -20, 2 -> -21, 3 -> -22, any other -> -23.
TResultCode ExceptionToResultCode(std::uint8_t exception);

// CRC-16/MODBUS of the bytes: {low byte, high byte}.
std::array<std::uint8_t, 2> CrcOf(const std::uint8_t* octets, std::size_t n);
std::array<std::uint8_t, 2> CrcOf(const TByteString& octets);

// The bytes followed by their CRC, low byte first.
TByteString AppendCrc(TByteString octets);

// False for fewer than 3 bytes; otherwise compares the last two bytes with the CRC of the rest.
bool CheckCrc(const TByteString& trame);
