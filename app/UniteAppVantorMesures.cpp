#include "UniteAppVantor.h"

// Placeholder bodies; this area of the window is being built.
void TFenetrePrincipale::ChoixAccelerationClick() {}
void TFenetrePrincipale::TimerAccelTimer() {}
void TFenetrePrincipale::ChoixTempeClick() {}
void TFenetrePrincipale::TimerTempeTimer() {}
void TFenetrePrincipale::ChoixMonitorClick() {}
void TFenetrePrincipale::TimerMonitTimer() {}
void TFenetrePrincipale::EteintLeds() {}
void TFenetrePrincipale::AllumeLeds() {}
void TFenetrePrincipale::ColoreLeds1a8(std::uint8_t) {}
void TFenetrePrincipale::ColoreLeds9a16(std::uint8_t) {}
