// The sensor's write operations that the window and the command-line tool share, written once.
// Each goes through the caller's own way of reaching the driver (its export, or a wrapper that
// times and logs the transaction), so this library stays free of driver calls.
#pragma once

#include <cstdint>
#include <string>

#include "RegistresVantor.h"
#include "ReglagesVantor.h"
#include "TypesKorvane.h"
#include "UtilSerial.h"

// Hex text into consecutive system registers, one 16-bit word per request through
// ecrit(register, high byte, low byte), the register number kept in 8 bits; stops at the first
// failure and gives its code.
template <class TEcrit>
TResultCode EcritMotsSysteme(const std::string& texte, std::uint8_t premierRegistre, TEcrit&& ecrit)
{
    TResultCode code = kResOk;
    std::uint8_t registre = premierRegistre;
    for (const auto& [haut, bas] : MotsHexa(texte)) {
        code = ecrit(registre, haut, bas);
        if (code != kResOk)
            break;
        ++registre;  // kept in 8 bits
    }
    return code;
}

// The low-pass filter for a cut-off: coefficients A, B and C, each as the hex text of its
// binary32 pattern (truncated), into system registers 64, 66 and 68 in that order; stops at the
// first failure (the registers already written keep their new values) and gives its code.
template <class TEcrit>
TResultCode EcritFiltreSysteme(double frequence, TEcrit&& ecrit)
{
    const TCoefficientsFiltre c = CoefficientsFiltre(frequence);
    const struct {
        double valeur;
        std::uint8_t registre;
    } ecritures[] = {{c.A, kRegistreCoefA}, {c.B, kRegistreCoefB}, {c.C, kRegistreCoefC}};
    for (const auto& e : ecritures) {
        const TResultCode code = EcritMotsSysteme(SingleToHexText(e.valeur), e.registre, ecrit);
        if (code != kResOk)
            return code;
    }
    return kResOk;
}
