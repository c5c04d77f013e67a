// What the command-line tool needs of the operating system besides the serial line (which only
// the driver touches): terminals, interruption, waiting, the program's folder, the time of day.
// One implementation per platform: PlateformePosix.cpp and PlateformeWindows.cpp.
#pragma once

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

// Whether standard output (1) or standard error (2) is a terminal.
bool EstTerminal(int flux);

// From this call on, an interruption by the operator (Ctrl+C) only raises a flag that the
// long commands look at between two transactions; a second one ends the program at once.
void InstalleInterruption();
bool Interrompu();

// Waits for the given time, or less when the operator interrupts.
void Attends(std::chrono::milliseconds duree);

// The folder of the running program, without a trailing separator; empty when unknown.
std::string DossierProgramme();

// The value of an environment variable, if it is set.
inline std::optional<std::string> Environnement(const char* nom)
{
    const char* valeur = std::getenv(nom);
    if (valeur == nullptr)
        return std::nullopt;
    return std::string(valeur);
}

// A moment as ISO 8601 text in UTC with milliseconds: "2024-05-01T12:00:00.123Z".
std::string HorodatageIso(std::chrono::system_clock::time_point instant);
