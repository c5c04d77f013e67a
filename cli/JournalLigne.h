// The line's health: every transaction with a sensor (operation, address, register or function,
// the driver's result code, duration), counted for the report's "Line" section and, with --log,
// written to a file as one JSON line each.
#pragma once

#include <string>

#include "SortieCli.h"
#include "StatsLigne.h"

// Opens the log file (--log); until then transactions are only counted.
void OuvreJournal(const std::string& chemin);
// Closes the log file, flushing it; throws TEchecCli on a write error.
void FermeJournal();

// One transaction: what it did, its register or function, its result and how long it took.
void NoteTransaction(const char* operation, int adresse, const char* champ, int valeur, TResultCode code,
                     double dureeMs);

TStatsLigne StatsLigne();
TJson JsonStatsLigne(const TStatsLigne& stats);
