// The line's health: every transaction with a sensor (operation, address, register or function,
// the driver's result code, duration), counted for the report's "Line" section and, with --log,
// written to a file as one JSON line each.
#pragma once

#include <string>
#include <vector>

#include "SortieCli.h"
#include "TypesKorvane.h"

// Kinds of failure of a transaction.
enum class TTypeEchec { Aucun, SansReponse, Crc, Trame, Exception, Autre };
TTypeEchec TypeEchec(TResultCode code);

struct TStatsLigne {
    long long transactions = 0;
    long long sansReponse = 0, crc = 0, trame = 0, exception = 0, autres = 0;
    // Response times of the transactions that got an answer (success or exception), in ms.
    std::vector<double> dureesMs;
};

// Min, median, 95th percentile (nearest rank) and max of durations; zeros when there are none.
struct TRepartition {
    double min = 0, mediane = 0, p95 = 0, max = 0;
};
TRepartition Repartition(std::vector<double> valeurs);

// Opens the log file (--log); until then transactions are only counted.
void OuvreJournal(const std::string& chemin);
// Closes the log file, flushing it; throws TEchecCli on a write error.
void FermeJournal();

// One transaction: what it did, its register or function, its result and how long it took.
void NoteTransaction(const char* operation, int adresse, const char* champ, int valeur, TResultCode code,
                     double dureeMs);

TStatsLigne StatsLigne();
TJson JsonStatsLigne(const TStatsLigne& stats);
