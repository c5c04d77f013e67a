#include "UniteAppVantor.h"

// Placeholder bodies; this area of the window is being built.
void TFenetrePrincipale::BoutScruteClick() {}
void TFenetrePrincipale::BoutArreteScruteClick() {}
