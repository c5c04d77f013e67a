// Port names that end in a port number: "COMn" as the command line and the window name ports,
// "\\.\COMn" as the driver builds them from a port index.
#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <string_view>

// Prefix of the port names built from a port index: backslash, backslash, full stop, backslash, COM.
inline constexpr std::string_view kComPrefix = "\\\\.\\COM";

// How a port name is written: the prefix, then the number in decimal digits and nothing after.
struct TComForm {
    std::string_view prefix;
    bool anyCase = false;  // the prefix's letters in either case
    bool signs = false;    // a '+' (when more follows), then a '-', may stand before the digits
    std::int64_t min = 1;
    std::int64_t max = INT_MAX;
};

// n of a name "<prefix>n" written in the form, within min..max; nothing for any other name.
std::optional<std::int64_t> ComNumber(std::string_view name, const TComForm& form);
