// A main window on the recording stand-in driver, with its settings file in a folder of its own
// and its message boxes captured.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#include "KorvaneEnregistreur.h"
#include "UniteAppVantor.h"
#include "ui_UniteAppVantor.h"

struct FenetreEssai {
    QTemporaryDir dossier;
    QStringList erreurs;
    QStringList avertissements;
    std::unique_ptr<TFenetrePrincipale> fenetre;

    QString Fichier() const { return dossier.filePath(QStringLiteral("AppVantor.xml")); }

    // Builds the window; the calls of its start-up are recorded from a clean slate.
    TFenetrePrincipale& Cree()
    {
        enregistreur::Reinitialise();
        fenetre = std::make_unique<TFenetrePrincipale>(nullptr, Fichier());
        fenetre->captureErreur = [this](const QString& t) { erreurs << t; };
        fenetre->captureAvertissement = [this](const QString& t) { avertissements << t; };
        return *fenetre;
    }

    Ui::TFenetrePrincipale& ui() { return *fenetre->ui; }
};
