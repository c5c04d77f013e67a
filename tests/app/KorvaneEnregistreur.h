// A stand-in for the korvane library in the handler tests that need no serial line: the nine
// exports the program uses record each call and answer what the test scripted. It lets a test
// see the exact order of driver calls, their arguments, and the window's state while a call is
// in progress (for instance whether a timer is stopped), without any transaction time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TypesKorvane.h"

namespace enregistreur {

// One call of an export: its name without the MODBUS_ prefix ("SetupConnect", "OpenPort",
// "ClosePort", "ReadHoldingRegisters", "ReadInputRegisters", "ReadSystemRegisters",
// "WriteSingleRegister", "WriteSystemRegister", "exchange") and its numeric arguments in order
// (for "exchange": the length, then the request PDU bytes).
struct TAppel {
    std::string fonction;
    std::vector<long> arguments;
    bool operator==(const TAppel&) const = default;
};

// Calls recorded since the last Reinitialise().
const std::vector<TAppel>& Appels();
// Only the calls of one export.
std::vector<TAppel> AppelsDe(const std::string& fonction);

// Forgets the calls, the scripted answers and the hook.
void Reinitialise();

// Scripts the answer of the next call of an export (answers of one export are used in the order
// they were added): the result code and, for a successful read or exchange, the data bytes (the
// byte count of a read is their number; a read without scripted answer succeeds with 2 zero
// bytes per register, a write or exchange without one succeeds).
void AjouteReponse(const std::string& fonction, TResultCode code, std::vector<std::uint8_t> donnees = {});

// Called during each export, after the call is recorded and before it returns.
void PendantAppel(std::function<void(const TAppel&)> crochet);

}  // namespace enregistreur
