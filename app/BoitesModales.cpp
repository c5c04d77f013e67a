// The real message boxes: each one runs its own event loop until the operator closes it, so
// handlers of the window's timers may run while it is open.
#include "BoitesModales.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

void TBoitesModales::Erreur(const QString& texte)
{
    QMessageBox boite(QMessageBox::Critical, QStringLiteral("Erreur"), texte, QMessageBox::Ok, &m_fenetre);
    boite.exec();
}

void TBoitesModales::Avertissement(const QString& texte)
{
    QMessageBox boite(QMessageBox::Warning, m_fenetre.windowTitle(), texte, QMessageBox::Ok, &m_fenetre);
    boite.exec();
}
