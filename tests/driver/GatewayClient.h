// The driver's transaction engine pointed at a serial server, as the gateway tests use it.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "UniteKorvane.h"
#include "UtilSerial.h"

namespace gatewaytest {

inline constexpr int kBaud19200 = 3;  // baud code of the simulated sensors' own rate
inline constexpr int kNoParity = 2;   // line mode code: no parity, one stop bit

inline std::unique_ptr<TConnexion> Through(const std::string& url, int baudCode = kBaud19200)
{
    auto c = std::make_unique<TConnexion>();
    c->SetPortName(url);
    c->SetBaudCode(baudCode);
    c->SetLineMode(kNoParity);
    return c;
}

// The data bytes of a register read as hex text, or the failing result code as "result N".
inline std::string Read(TConnexion& c, std::uint8_t function, std::uint16_t address, std::uint16_t quantity)
{
    std::uint8_t count = 0;
    std::array<std::uint8_t, kTailleZone> data{};
    const TResultCode code = c.ReadRegisters(function, address, quantity, count, data);
    if (code != kResOk)
        return "result " + std::to_string(code);
    return BytesToHexText(TByteString(data.begin(), data.begin() + count));
}

}  // namespace gatewaytest
