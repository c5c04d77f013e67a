// The line settings as the driver's exports number them: the baud code 0..5 of
// MODBUS_SetupConnect with its rate, and the line mode code 0..2 with its parity and stop bits.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// One line speed: the rate, and the read and write allowances per byte in milliseconds that the
// driver adds to its time limits at that rate.
struct TRateRow {
    std::uint32_t baud;
    int readAllowance;
    int writeAllowance;
};

// Indexed by baud code (the driver's rate rows 1 to 6 are codes 0 to 5).
inline constexpr std::array<TRateRow, 6> kRates = {{
    {2400, 8, 32},
    {4800, 4, 16},
    {9600, 2, 8},
    {19200, 1, 4},
    {38400, 1, 2},
    {57600, 1, 1},
}};

// The baud code of a rate of the table; nothing for any other rate.
constexpr std::optional<int> BaudCode(long long baud)
{
    for (std::size_t code = 0; code < kRates.size(); ++code)
        if (kRates[code].baud == baud)
            return static_cast<int>(code);
    return std::nullopt;
}

// One line mode: the word the command line takes for it, and parity (0 none, 1 odd, 2 even) and
// stop bits (0 one, 1 two) as the port takes them. Parity goes with two stop bits.
struct TLineMode {
    const char* word;
    std::uint8_t parity;
    std::uint8_t stopBits;
};

// Indexed by line mode code.
inline constexpr std::array<TLineMode, 3> kLineModes = {{
    {"even", 2, 1},
    {"odd", 1, 1},
    {"none", 0, 0},
}};

// The line mode code of a word of the table; nothing for any other text.
constexpr std::optional<int> LineModeCode(std::string_view word)
{
    for (std::size_t code = 0; code < kLineModes.size(); ++code)
        if (word == kLineModes[code].word)
            return static_cast<int>(code);
    return std::nullopt;
}
