// Test bench for the window's handlers, end to end: the real main window, the real korvane
// library and an in-process simulated bus with sensors at addresses 1 and 5.
//
//     BancVantor banc;                              // needs nothing else (creates the QApplication)
//     banc.Capteur(1).SetInput(0, 0x3F80);          // what the sensor will answer
//     banc.Ui().BoutLitVersion->click();            // run a handler as the operator would
//                                                   // (widgets by name: WidgetsFenetre.h)
//     EXPECT_EQ(banc.Ui().LabelVersion->text(), "1.10");
//     EXPECT_TRUE(banc.Erreurs().isEmpty());        // error boxes are captured, never shown
//
// What the bench sets up:
// - a QApplication on the "offscreen" platform unless QT_QPA_PLATFORM is already set (created
//   once per process, never destroyed);
// - the window `TFenetrePrincipale`, built with a settings file in a temporary folder that the
//   bench deletes (the window is not shown, so FormShow does not run);
// - every text the window would show in its error box is appended to Erreurs() instead, and the
//   action given to PendantErreur runs where the box would be open;
// - the driver points at the simulator's pseudo-terminal through MODBUS_SetupDevice while
//   ChoixPort has no selection (so nothing renames the device); the slave identifier in force is
//   1 (EditId is 1). With Options::portOuvert (the default) the port is opened once and stays
//   open, which spares each transaction the 200 ms pause of an opening; with false the port is
//   closed, as the program normally runs, and every transaction opens and closes it.
//
// One bench per test: the driver has a single global connection, so do not keep two benches
// alive at the same time. The destructor closes the port, destroys the window, then the bus.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "BoitesEnregistrees.h"
#include "SimVantor.h"
#include "UniteAppVantor.h"
#include "WidgetsFenetre.h"

class BancVantor {
public:
    struct Options {
        bool portOuvert = true;
    };

    BancVantor();
    explicit BancVantor(Options options);
    ~BancVantor();
    BancVantor(const BancVantor&) = delete;
    BancVantor& operator=(const BancVantor&) = delete;

    TFenetrePrincipale& Fenetre() { return *m_fenetre; }
    WidgetsFenetre& Ui() { return *m_widgets; }

    vantor::sim::SimBus& Bus() { return *m_bus; }
    // The sensor now at this address (1 and 5 at the start); the test fails if there is none.
    vantor::sim::SimSensor& Capteur(std::uint8_t adresse = 1);

    // Texts of the error boxes shown since the start (or since ViderErreurs), in order.
    const QStringList& Erreurs() const { return m_boites.erreurs; }
    void ViderErreurs() { m_boites.erreurs.clear(); }
    // Runs with the text of each error box, where the modal box would be open.
    void PendantErreur(std::function<void(const QString&)> action) { m_boites.pendantErreur = std::move(action); }

    // Path of the window's settings file (in the bench's temporary folder).
    QString CheminReglages() const;

    // Creates the process's QApplication if there is none yet.
    static void AssureApplication();

private:
    QTemporaryDir m_dossier;
    std::unique_ptr<vantor::sim::SimBus> m_bus;
    BoitesEnregistrees m_boites;  // outlives the window
    std::unique_ptr<TFenetrePrincipale> m_fenetre;
    std::optional<WidgetsFenetre> m_widgets;
};
