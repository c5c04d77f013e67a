// Every file the tool writes (records, configurations, CSV rows, transaction logs) goes through
// here, under one rule: a symbolic link is followed and its target written; a regular target
// (or one that does not exist yet) is replaced whole and atomically by a complete file, or
// written row by row for a stream; anything else (a terminal, a pipe, /dev/stdout, a device) is
// written directly as it stands, never replaced. Any write error ends the command with status 1.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// Writes the whole content to the path under the rule above; "-" is standard output.
void EcritFichier(const std::string& chemin, const std::string& contenu);

// A regular target (or one that does not exist yet) is replaced through a temporary beside it,
// ".NAME.N.part" for a number N drawn (at random for EcritFichier): the temporary is created only
// where nothing stands under its name (a file or link found there is left alone and another N
// drawn), written whole, then renamed over the target, and removed on any failure.
using TTirage = std::function<std::uint32_t()>;
std::string NomProvisoire(const std::string& nomCible, std::uint32_t tirage);
// That replacement alone, with the draws of N taken from tirage.
void RemplaceFichier(const std::string& cible, const std::string& contenu, const TTirage& tirage);

// A file written piece by piece (CSV rows, log lines), each piece flushed at once.
class TFichierFlux {
public:
    TFichierFlux() = default;
    ~TFichierFlux();
    TFichierFlux(const TFichierFlux&) = delete;
    TFichierFlux& operator=(const TFichierFlux&) = delete;

    // Opens the path for writing (a regular file is truncated, a link followed); throws
    // TEchecCli when it cannot be opened.
    void Ouvre(const std::string& chemin);
    bool Ouvert() const { return fichier_ != nullptr; }
    // Writes and flushes; throws TEchecCli on a write error.
    void Ecrit(const std::string& texte);
    // Closes; throws TEchecCli when the last bytes could not be written.
    void Ferme();

private:
    std::FILE* fichier_ = nullptr;
    std::string chemin_;
};

// Where a path leads: the file the links end at, and whether it is to be written directly
// (it exists and is not a regular file, or it is reached through a process's descriptor link
// such as /dev/stdout).
struct TCibleFichier {
    std::string chemin;
    bool direct = false;
};
TCibleFichier CibleFichier(const std::string& chemin);
