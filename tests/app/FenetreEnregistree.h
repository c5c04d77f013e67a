// Fixture of the handler tests that run on the recording stand-in driver (KorvaneEnregistreur):
// a fresh window per test with a settings file in a temporary folder, its error boxes captured,
// and the calls recorded from the end of start-up on.
#pragma once

#include <QApplication>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "ApplicationEssai.h"
#include "BoitesEnregistrees.h"
#include "KorvaneEnregistreur.h"
#include "UniteAppVantor.h"
#include "WidgetsFenetre.h"

class FenetreEnregistree : public ::testing::Test {
protected:
    void SetUp() override
    {
        AssureApplicationEssai();
        // Widgets take the default locale when they are built: full stop as decimal separator.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Construit(&boites);
    }

    // Builds the window (again) with these message boxes; nullptr: the real modal boxes.
    void Construit(TBoitesMessage* boitesFenetre)
    {
        widgets.reset();
        fenetre.reset();
        fenetre = std::make_unique<TFenetrePrincipale>(nullptr, dossier.filePath(QStringLiteral("AppVantor.xml")),
                                                       boitesFenetre);
        widgets.emplace(*fenetre);
        enregistreur::Reinitialise();
    }

    void TearDown() override
    {
        enregistreur::Reinitialise();
        widgets.reset();
        fenetre.reset();
    }

    // The window's widgets, by name.
    WidgetsFenetre& ui() { return widgets.value(); }

    // The calls of the stand-in, for comparisons.
    static std::vector<enregistreur::TAppel> Appels() { return enregistreur::Appels(); }

    QTemporaryDir dossier;
    BoitesEnregistrees boites;  // outlives the window
    std::unique_ptr<TFenetrePrincipale> fenetre;
    std::optional<WidgetsFenetre> widgets;
    QStringList& erreurs = boites.erreurs;
    std::function<void(const QString&)>& pendantErreur = boites.pendantErreur;  // runs when a box would be shown
};

// The call MODBUS_SetupConnect(-1, -1, -1, id).
inline enregistreur::TAppel AppelIdentifiant(long id)
{
    return {"SetupConnect", {-1, -1, -1, id}};
}
