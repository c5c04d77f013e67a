// The real message boxes of the main window, modal over it: the error box with the caption
// "Erreur", the error icon and one "OK" button; the warning box with the window's caption, the
// warning icon and one "OK" button.
#pragma once

#include "BoitesMessage.h"

class QWidget;

class TBoitesModales final : public TBoitesMessage {
public:
    // fenetre: the window the boxes belong to; it must outlive this object.
    explicit TBoitesModales(QWidget& fenetre) : m_fenetre(fenetre) {}

    void Erreur(const QString& texte) override;
    void Avertissement(const QString& texte) override;

private:
    QWidget& m_fenetre;
};
