// The sensor's values as JSON and as lines of text, the same for every command that shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CapteurCli.h"
#include "OptionsCli.h"
#include "SortieCli.h"

TJson JsonIdentite(const TIdentite& identite);
TJson JsonConfiguration(const TConfiguration& configuration);
TJson JsonEtat(std::uint16_t etat);
TJson JsonMonitoring(const TMonitoring& monitoring);
TJson JsonLigne(const TOptionsCli& options);

std::vector<std::string> LignesIdentite(const TIdentite& identite);
std::vector<std::string> LignesConfiguration(const TConfiguration& configuration);
std::vector<std::string> LignesEtat(std::uint16_t etat);
std::vector<std::string> LignesMonitoring(const TMonitoring& monitoring);

// "0x0F00".
std::string TexteMot(std::uint16_t mot);
// Status pass: no bit of the word set.
inline bool EtatSain(std::uint16_t etat)
{
    return etat == 0;
}
// The captions of the set bits, "LED 5 sensitive elmnt test, LED 9 Isupp".
std::string BitsActifs(std::uint16_t etat);
