// The Vantor sensor's register map as the tools use it: which registers hold what, and the
// requests (start, count) that read them. Register numbers are MODBUS protocol addresses,
// zero-based, exactly as they are passed to the driver.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "ModbusFunctions.h"

// A read request: first register and number of registers.
struct TRequete {
    std::uint16_t debut;
    std::uint16_t nombre;
};

// Input registers (function 4).
inline constexpr TRequete kLectureAcceleration{0, 2};  // binary32, g
inline constexpr TRequete kLectureTemperature{2, 2};   // binary32, degrees Celsius
inline constexpr TRequete kLectureMonitoring{4, 8};    // status word, then registers 5..11
inline constexpr TRequete kLectureRevision{12, 1};     // high byte major, low byte minor
inline constexpr TRequete kLectureDetection{0, 1};     // the bus scan's probe

// Holding registers (function 3 to read, function 6 to write).
inline constexpr TRequete kLectureFiltre{2, 2};       // coefficient B, binary32
inline constexpr TRequete kLectureBaudAdresse{6, 1};  // high byte baud index, low byte address
inline constexpr TRequete kLectureFifo{7, 1};         // high byte FIFO divider
inline constexpr TRequete kLectureNumSerie{8, 4};     // 8 character codes
inline constexpr std::uint16_t kRegistreBaudAdresse = 6;
inline constexpr std::uint16_t kRegistreFifo = 7;
inline constexpr std::uint8_t kOctetBasFifo = 0xFF;  // written with every FIFO divider

// System registers (function 0x42, written one register per request): filter coefficients.
inline constexpr std::uint8_t kRegistreCoefA = 64;
inline constexpr std::uint8_t kRegistreCoefB = 66;
inline constexpr std::uint8_t kRegistreCoefC = 68;

// The sensor's own function codes, sent alone as one-byte PDUs.
inline constexpr std::uint8_t kFonctionAutoTest = modbus::kSelfTest;
inline constexpr std::uint8_t kFonctionReset = modbus::kReset;

// Addresses a sensor can hold, and that the bus scan tries.
inline constexpr int kAdresseMin = 1;
inline constexpr int kAdresseMax = 127;

// The sensor's own baud rates, by the index held in the high byte of holding register 6.
inline constexpr std::array<int, 3> kBaudsCapteur = {9600, 19200, 38400};

// Status word (input register 4): the self-test bits are bits 4 to 7 of its high byte.
inline constexpr std::uint16_t kBitsAutoTest = 0xF000;

// Captions of the 16 status LEDs in LED order: LEDs 1..8 are bits 0..7 of the high byte,
// LEDs 9..16 bits 0..7 of the low byte.
inline constexpr std::array<std::string_view, 16> kLegendesBits = {"Can",
                                                                   "E2P",
                                                                   "T\xC2\xB0",
                                                                   "-",
                                                                   "sensitive elmnt test",
                                                                   "sensitive elmnt test",
                                                                   "sensitive elmnt test",
                                                                   "sensitive elmnt test",
                                                                   "Isupp",
                                                                   "Vcell",
                                                                   "Vref",
                                                                   "-",
                                                                   "Vin",
                                                                   "V+",
                                                                   "V-",
                                                                   "Vout"};

// Captions of the seven monitoring values (input registers 5..11), in register order.
inline constexpr std::array<std::string_view, 7> kLegendesMonitoring = {"Isupply", "Icellule", "Vref", "Vin",
                                                                        "Vdd",     "Vss",      "Vout"};
