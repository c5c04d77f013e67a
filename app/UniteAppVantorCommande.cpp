#include "UniteAppVantor.h"

// Placeholder bodies; this area of the window is being built.
void TFenetrePrincipale::BoutEnvoiCmdClick() {}
void TFenetrePrincipale::ChoixPeriodiqueClick() {}
void TFenetrePrincipale::PeriodCommandeTimer() {}
