#include "UniteAppVantor.h"

// Placeholder bodies; this area of the window is being built.
void TFenetrePrincipale::BoutLitFiltreClick() {}
void TFenetrePrincipale::BoutEcritFiltreClick() {}
void TFenetrePrincipale::BoutLitFifoClick() {}
void TFenetrePrincipale::BoutEcritFifoClick() {}
void TFenetrePrincipale::BoutLitBaudRateClick() {}
void TFenetrePrincipale::BoutEcritBaudRateClick() {}
void TFenetrePrincipale::BoutLitIdClick() {}
void TFenetrePrincipale::BoutEcritIdClick() {}
void TFenetrePrincipale::BoutLitVersionClick() {}
void TFenetrePrincipale::BoutLitNumSerieClick() {}
void TFenetrePrincipale::BoutAutoTestClick() {}
void TFenetrePrincipale::BoutResetClick() {}
std::int32_t TFenetrePrincipale::EcritRegistresSysteme(const std::string&, std::uint8_t) { return 0; }
