// The window's message boxes recorded instead of shown: the texts in the order the window would
// have shown them, and an action run where the modal error box would be open (the operator, or a
// handler nested in the box's event loop, acting while it is up).
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "BoitesMessage.h"

class BoitesEnregistrees final : public TBoitesMessage {
public:
    void Erreur(const QString& texte) override
    {
        erreurs << texte;
        if (pendantErreur)
            pendantErreur(texte);
    }

    void Avertissement(const QString& texte) override { avertissements << texte; }

    QStringList erreurs;
    QStringList avertissements;
    std::function<void(const QString&)> pendantErreur;
};
