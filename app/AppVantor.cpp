// Program entry of AppVantor: one application, one main window.
#include <QApplication>

#include "UniteAppVantor.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("KELDRA Vantor demo application"));

    TFenetrePrincipale FenetrePrincipale;
    FenetrePrincipale.show();
    return QApplication::exec();
}
