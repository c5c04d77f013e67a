#include "UniteAppVantor.h"

// Placeholder bodies; this area of the window is being built.
void TFenetrePrincipale::BoutEnvoiClick() {}
void TFenetrePrincipale::RadioGrpLecEcrClick() {}
