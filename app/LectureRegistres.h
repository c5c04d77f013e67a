// One read request of the window through the driver's exports: the registers' data area and its
// byte count, with the driver's result code.
#pragma once

#include <cstdint>

#include "DefKorvane.h"
#include "RegistresVantor.h"

struct TRegistresLus {
    TResultCode res = kResOk;
    TDataArea zone{};
    std::uint8_t nbOctets = 0;
};

// Input registers (function 4).
inline TRegistresLus LitEntrees(const TRequete& requete)
{
    TRegistresLus lu;
    lu.res = MODBUS_ReadInputRegisters(requete.debut, requete.nombre, &lu.nbOctets, lu.zone.data());
    return lu;
}

// Holding registers (function 3).
inline TRegistresLus LitMaintien(const TRequete& requete)
{
    TRegistresLus lu;
    lu.res = MODBUS_ReadHoldingRegisters(requete.debut, requete.nombre, &lu.nbOctets, lu.zone.data());
    return lu;
}
