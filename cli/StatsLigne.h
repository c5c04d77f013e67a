// Counts of the line's transactions: failures by kind and the distribution of response times.
#pragma once

#include <vector>

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
