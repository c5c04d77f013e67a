// A main window on the recording stand-in driver, with its settings file in a folder of its own
// and its message boxes captured.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

#include "BoitesEnregistrees.h"
#include "KorvaneEnregistreur.h"
#include "UniteAppVantor.h"
#include "WidgetsFenetre.h"

struct FenetreEssai {
    QTemporaryDir dossier;
    BoitesEnregistrees boites;
    QStringList& erreurs = boites.erreurs;
    QStringList& avertissements = boites.avertissements;
    std::unique_ptr<TFenetrePrincipale> fenetre;

    QString Fichier() const { return dossier.filePath(QStringLiteral("AppVantor.xml")); }

    enum Boites { kBoitesEnregistrees, kBoitesReelles };

    // Builds the window; the calls of its start-up are recorded from a clean slate. Its message
    // boxes are recorded in erreurs and avertissements, or shown for real.
    TFenetrePrincipale& Cree(Boites sorte = kBoitesEnregistrees)
    {
        enregistreur::Reinitialise();
        widgets.reset();
        TBoitesMessage* boitesFenetre = sorte == kBoitesReelles ? nullptr : &boites;
        fenetre = std::make_unique<TFenetrePrincipale>(nullptr, Fichier(), boitesFenetre);
        widgets.emplace(*fenetre);
        return *fenetre;
    }

    // The widgets of the window last built, by name.
    WidgetsFenetre& ui() { return widgets.value(); }

private:
    std::optional<WidgetsFenetre> widgets;
};
