// The commands of vantor-cli. Each returns the program's exit status (0 success, 1 the sensor
// or line failed) and throws TEchecCli for a failure of the sensor or the line.
#pragma once

#include "OptionsCli.h"
#include "SortieCli.h"

int CommandePorts(const TOptionsCli& options, TSortieCli& sortie);
int CommandeScan(const TOptionsCli& options, TSortieCli& sortie);
int CommandeInfo(const TOptionsCli& options, TSortieCli& sortie);
int CommandeRead(const TOptionsCli& options, TSortieCli& sortie);
int CommandeWatch(const TOptionsCli& options, TSortieCli& sortie);
int CommandeSet(const TOptionsCli& options, TSortieCli& sortie);
int CommandeSelfTest(const TOptionsCli& options, TSortieCli& sortie);
int CommandeReset(const TOptionsCli& options, TSortieCli& sortie);
int CommandeReport(const TOptionsCli& options, TSortieCli& sortie);
int CommandeFind(const TOptionsCli& options, TSortieCli& sortie);
int CommandeConfig(const TOptionsCli& options, TSortieCli& sortie);

// Exit status of an interrupted command (128 + SIGINT, as shells report it).
inline constexpr int kSortieInterrompue = 130;
