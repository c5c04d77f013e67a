#include "UtilKorvane.h"

namespace {

constexpr TResultCode kCodes[14] = {0, -1, -2, -3, -4, -10, -11, -12, -13, -14, -20, -21, -22, -23};

const char* const kMessages[14] = {
    "",
    "I/O error.",
    "Frames exchange error",
    "No detected sensor",
    "Erroneous CRC",
    "invalid parity parameter",
    "Invalid Baud-Rate",
    "Invalid identifier",
    "Invalid com port",
    "Invalid parameter",
    "Modbus : unknown function",
    "Modbus : bad address",
    "Modbus : bad value",
    "Modbus : device failure",
};

}  // namespace

TMessageIndex ResultCodeToMessageIndex(TResultCode code)
{
    for (TMessageIndex i = 1; i < 14; ++i)
        if (kCodes[i] == code)
            return i;
    return 0;
}

std::string MessageText(TMessageIndex index)
{
    const unsigned i = index & 0x7F;
    return i < 14 ? kMessages[i] : "unknown error";
}

TResultCode ResultCodeFromIndex(TMessageIndex index)
{
    const unsigned i = index & 0x7F;
    return i < 14 ? kCodes[i] : 0;
}

TResultCode ExceptionToResultCode(std::uint8_t exception)
{
    if (exception >= 1 && exception <= 4)
        return kCodes[9 + exception];
    return kCodes[13];
}

std::array<std::uint8_t, 2> CrcOf(const std::uint8_t* octets, std::size_t n)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= octets[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    return {static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
}

std::array<std::uint8_t, 2> CrcOf(const TByteString& octets)
{
    return CrcOf(octets.data(), octets.size());
}

TByteString AppendCrc(TByteString octets)
{
    const auto crc = CrcOf(octets);
    octets.push_back(crc[0]);
    octets.push_back(crc[1]);
    return octets;
}

bool CheckCrc(const TByteString& trame)
{
    if (trame.size() < 3)
        return false;
    const auto crc = CrcOf(trame.data(), trame.size() - 2);
    return crc[0] == trame[trame.size() - 2] && crc[1] == trame[trame.size() - 1];
}
