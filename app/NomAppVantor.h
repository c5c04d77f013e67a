// The names under which the desktop shows AppVantor.
#pragma once

#include <QString>

namespace NomAppVantor {

// The name of the running program (task bar, window class), not part of any window caption.
QString NomApplication();

// Gives the running program its name. To be called once the application object exists and
// before the first window is created.
void NommeApplication();

}  // namespace NomAppVantor
