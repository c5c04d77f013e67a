// Types and constants shared by the korvane driver library and the AppVantor program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Size of the data area exchanged with the driver's register reads and raw exchange.
inline constexpr std::size_t kTailleZone = 256;

// Caller-owned data area: register data lie in it most significant byte first, in frame order.
using TDataArea = std::array<std::uint8_t, kTailleZone>;

// A plain string of bytes (a frame, a PDU).
using TByteString = std::vector<std::uint8_t>;

// Result code of every driver export: 0 for success, negative for a failure.
using TResultCode = std::int32_t;

// Index linking a result code to its message text (0 to 13 in use).
using TMessageIndex = std::uint8_t;

// Result codes that cross the library boundary.
enum : TResultCode {
    kResOk = 0,
    kResIoError = -1,     // port could not be opened, or an unexpected fault
    kResFrameError = -2,  // echo too short, or answer from another identifier
    kResNoAnswer = -3,    // no byte received
    kResCrcError = -4,    // wrong CRC, or answer shorter than 3 bytes
    kResBadLineMode = -10,
    kResBadBaud = -11,
    kResBadId = -12,
    kResBadPort = -13,
    kResBadParam = -14,
    kResExcFunction = -20,  // MODBUS exception 1
    kResExcAddress = -21,   // MODBUS exception 2
    kResExcValue = -22,     // MODBUS exception 3
    kResExcDevice = -23,    // MODBUS exception 4 and every other exception code
};
