#include "NomAppVantor.h"

#include <QCoreApplication>

namespace NomAppVantor {

QString NomApplication()
{
    return QStringLiteral("KELDRA Vantor demo application");
}

void NommeApplication()
{
    // The application name, not the display name: Qt appends a display name that was set to
    // every caption it hands the window system ("caption - name"), while the application name
    // reaches the desktop as the class of the program's windows (WM_CLASS under X11) and stands
    // in for the display name wherever Qt shows one.
    QCoreApplication::setApplicationName(NomApplication());
}

}  // namespace NomAppVantor
