// Bus scan against simulated sensors, end to end through the real driver library.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

#include "BancVantor.h"
#include "UtilKorvane.h"
#include "WidgetsVantorListeImages.h"
#include "korvane.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& texte, std::ostream* flux)
{
    *flux << '"' << texte.toStdString() << '"';
}

namespace {

using vantor::sim::Bytes;
using vantor::sim::SensorFaults;

// The frame of one scan read, input register 0, one register, at this address (CRC appended).
Bytes TrameScrutation(std::uint8_t adresse)
{
    Bytes trame{adresse, 0x04, 0x00, 0x00, 0x00, 0x01};
    const auto crc = CrcOf(trame);
    trame.push_back(crc[0]);
    trame.push_back(crc[1]);
    return trame;
}

// Addresses of the frames the line carried, in order, once it has carried at least `attendues`
// (the simulator logs a frame as soon as it has handled it, which may be a moment after the
// driver gave up waiting for an answer).
std::vector<int> AdressesEssayees(const vantor::sim::SimBus& bus, std::size_t attendues)
{
    bus.WaitForFrames(attendues, std::chrono::seconds(2));
    std::vector<int> adresses;
    for (const Bytes& trame : bus.ReceivedFrames())
        adresses.push_back(trame.empty() ? -1 : trame[0]);
    return adresses;
}

std::vector<int> Suite(int premiere, int derniere)
{
    std::vector<int> suite;
    for (int a = premiere; a <= derniere; ++a)
        suite.push_back(a);
    return suite;
}

QStringList Textes(const QListWidget& liste)
{
    QStringList textes;
    for (int i = 0; i < liste.count(); ++i)
        textes << liste.item(i)->text();
    return textes;
}

// Position of the progress bar after an address: 100 x address / 127, rounded.
int PositionApres(int adresse)
{
    return static_cast<int>(std::lround(100.0 * adresse / 127.0));
}

// Runs `action` from inside the scan's message processing, once, right after the scan has tried
// `adresse` (seen from the progress bar, which moves by at most one step per address; the
// address must be the first to reach its position). `espion`, if given, runs at every dispatch
// with the bar's position.
class PendantScrutation {
public:
    PendantScrutation(WidgetsFenetre& ui, int adresse, std::function<void()> action,
                      std::function<void(int)> espion = {})
    {
        EXPECT_LT(PositionApres(adresse - 1), PositionApres(adresse)) << "address " << adresse;
        const int position = PositionApres(adresse);
        m_minuterie.setInterval(0);
        QObject::connect(&m_minuterie, &QTimer::timeout, [this, &ui, position, action, espion] {
            const int vue = ui.PositionScrute->value();
            if (espion)
                espion(vue);
            if (!m_fait && vue >= position) {
                m_fait = true;
                action();
            }
        });
        m_minuterie.start();
    }
    bool Fait() const { return m_fait; }

private:
    QTimer m_minuterie;
    bool m_fait = false;
};

// Duration of one read at the identifier in force, and the address it went to.
struct LectureTemoin {
    qint64 dureeMs;
    int adresse;
    TResultCode resultat;
};

LectureTemoin LitAvecIdentifiantEnVigueur(vantor::sim::SimBus& bus)
{
    bus.ClearLog();
    std::uint8_t nombre = 0;
    TDataArea zone{};
    QElapsedTimer chrono;
    chrono.start();
    const TResultCode resultat = MODBUS_ReadInputRegisters(0, 1, &nombre, zone.data());
    const qint64 duree = chrono.elapsed();
    const auto adresses = AdressesEssayees(bus, 1);
    return {duree, adresses.size() == 1 ? adresses[0] : -1, resultat};
}

// A read on an open port takes a few tens of milliseconds; one that has to open the port first
// adds the driver's 200 ms pause.
constexpr qint64 kDureeAvecOuverture = 190;

TEST(Scrutation, TrouveLesCapteurs1Et5EtRendLePortEtLIdentifiant)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    ui.EditId->setValue(5);
    ui.PositionScrute->setValue(42);
    ui.ListeScrute->addItem(QStringLiteral("left over from an earlier scan"));

    // The selected row at each dispatch, by position of the bar.
    std::map<int, int> selectionA;
    PendantScrutation espion(
        ui, 127, [] {}, [&](int position) { selectionA[position] = ui.ListeScrute->currentRow(); });

    ui.BoutScrute->click();

    EXPECT_EQ(Textes(*ui.ListeScrute), QStringList({"Address 1 : sensor detected", "Address 5 : sensor detected"}));
    for (int i = 0; i < ui.ListeScrute->count(); ++i)
        EXPECT_EQ(ui.ListeScrute->item(i)->icon().cacheKey(), banc.Ui().ListeImages->image(0).cacheKey());
    EXPECT_EQ(ui.ListeScrute->currentRow(), 1);
    EXPECT_EQ(ui.PositionScrute->value(), 100);
    EXPECT_TRUE(banc.Erreurs().isEmpty()) << banc.Erreurs().join('|').toStdString();

    // Every address once, in increasing order, each with one read of input register 0.
    banc.Bus().WaitForFrames(127, std::chrono::seconds(2));
    const auto trames = banc.Bus().ReceivedFrames();
    ASSERT_EQ(trames.size(), 127u);
    EXPECT_EQ(trames[0], Bytes({0x01, 0x04, 0x00, 0x00, 0x00, 0x01, 0x31, 0xCA}));
    for (std::size_t i = 0; i < trames.size(); ++i)
        EXPECT_EQ(trames[i], TrameScrutation(static_cast<std::uint8_t>(i + 1))) << "address " << i + 1;
    EXPECT_EQ(banc.Capteur(1).RequestCount(0x04), 1);
    EXPECT_EQ(banc.Capteur(5).RequestCount(0x04), 1);

    // The selection follows the last sensor found: address 1's item from address 1 on, address
    // 5's from address 5 on (the bar stands at 4 after address 5, at 3 after address 4).
    ASSERT_GT(selectionA.size(), 90u);
    for (const auto& [position, ligne] : selectionA)
        EXPECT_EQ(ligne, position < PositionApres(5) ? 0 : 1) << "bar at " << position;

    // Afterwards the identifier of EditId is in force and the port is closed again.
    const LectureTemoin temoin = LitAvecIdentifiantEnVigueur(banc.Bus());
    EXPECT_EQ(temoin.adresse, 5);
    EXPECT_EQ(temoin.resultat, kResOk);
    EXPECT_GE(temoin.dureeMs, kDureeAvecOuverture);
}

TEST(Scrutation, SansCapteurLaListeResteVideEtLaBarrePleine)
{
    BancVantor banc;
    banc.Capteur(1).SetFaults({.silent = true});
    banc.Capteur(5).SetFaults({.silent = true});
    auto& ui = banc.Ui();
    ui.ListeScrute->addItem(QStringLiteral("left over from an earlier scan"));
    ui.ListeScrute->setCurrentRow(0);

    ui.BoutScrute->click();

    EXPECT_EQ(ui.ListeScrute->count(), 0);
    EXPECT_EQ(ui.ListeScrute->currentRow(), -1);
    EXPECT_EQ(ui.PositionScrute->value(), 100);
    EXPECT_TRUE(banc.Erreurs().isEmpty()) << banc.Erreurs().join('|').toStdString();
    EXPECT_EQ(AdressesEssayees(banc.Bus(), 127), Suite(1, 127));
}

TEST(Scrutation, StopPendantLAdresse10TermineApresLAdresse11)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    ui.EditId->setValue(5);
    PendantScrutation stop(ui, 10, [&] { ui.BoutArreteScrute->click(); });

    ui.BoutScrute->click();

    ASSERT_TRUE(stop.Fait());
    EXPECT_EQ(AdressesEssayees(banc.Bus(), 11), Suite(1, 11));
    EXPECT_EQ(ui.PositionScrute->value(), 9);
    EXPECT_EQ(Textes(*ui.ListeScrute), QStringList({"Address 1 : sensor detected", "Address 5 : sensor detected"}));
    EXPECT_TRUE(banc.Erreurs().isEmpty());

    const LectureTemoin temoin = LitAvecIdentifiantEnVigueur(banc.Bus());
    EXPECT_EQ(temoin.adresse, 5);
    EXPECT_GE(temoin.dureeMs, kDureeAvecOuverture);

    // The next scan starts afresh although "Stop" was pressed during the last one.
    PendantScrutation stopSuivant(ui, 2, [&] { ui.BoutArreteScrute->click(); });
    banc.Bus().ClearLog();
    ui.BoutScrute->click();
    EXPECT_EQ(AdressesEssayees(banc.Bus(), 3), Suite(1, 3));
    EXPECT_EQ(Textes(*ui.ListeScrute), QStringList({"Address 1 : sensor detected"}));
}

TEST(Scrutation, StopHorsScrutationNeLaBloquePas)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    ui.BoutArreteScrute->click();
    PendantScrutation stop(ui, 6, [&] { ui.BoutArreteScrute->click(); });

    ui.BoutScrute->click();

    EXPECT_EQ(AdressesEssayees(banc.Bus(), 7), Suite(1, 7));
}

TEST(Scrutation, EchapAgitCommeStop)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    auto& fenetre = banc.Fenetre();
    fenetre.show();
    ui.TabControleFonctions->setCurrentWidget(ui.TabScrute);
    fenetre.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&fenetre));
    // Showing the window hands the settings to the driver again, which closes the port.
    MODBUS_OpenPort();
    banc.Bus().ClearLog();

    PendantScrutation echap(ui, 4, [&] { QTest::keyClick(ui.ListeScrute, Qt::Key_Escape); });
    ui.BoutScrute->setFocus();
    ui.BoutScrute->click();

    ASSERT_TRUE(echap.Fait());
    EXPECT_EQ(AdressesEssayees(banc.Bus(), 5), Suite(1, 5));
    EXPECT_EQ(ui.PositionScrute->value(), 4);
    fenetre.hide();
}

TEST(Scrutation, UnClicSurLesOngletsPendantLaScrutationNeFermePasLePort)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    auto& fenetre = banc.Fenetre();
    fenetre.show();
    fenetre.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&fenetre));
    QTabBar* barre = ui.TabControleFonctions->tabBar();
    QTest::mouseClick(barre, Qt::LeftButton, {}, barre->tabRect(3).center());
    // Showing the window hands the settings to the driver again, which closes the port.
    MODBUS_OpenPort();
    banc.Bus().ClearLog();

    // After address 2 the operator looks at the Vantor page and comes back; the focus, on
    // "Scruter", passes through the communication group on its way. "Stop" after address 13.
    QElapsedTimer chrono;
    PendantScrutation onglets(ui, 2, [&] {
        QTest::mouseClick(barre, Qt::LeftButton, {}, barre->tabRect(0).center());
        QTest::mouseClick(barre, Qt::LeftButton, {}, barre->tabRect(3).center());
        chrono.start();
    });
    PendantScrutation stop(ui, 13, [&] { ui.BoutArreteScrute->click(); });
    QTest::mouseClick(ui.BoutScrute, Qt::LeftButton);
    const qint64 dureeMs = chrono.elapsed();

    ASSERT_TRUE(onglets.Fait());
    EXPECT_EQ(AdressesEssayees(banc.Bus(), 14), Suite(1, 14));
    EXPECT_EQ(Textes(*ui.ListeScrute), QStringList({"Address 1 : sensor detected", "Address 5 : sensor detected"}));
    EXPECT_TRUE(banc.Erreurs().isEmpty()) << banc.Erreurs().join('|').toStdString();
    // Addresses 3 to 14 went over the port the scan holds open: none of them paid the 200 ms
    // pause of an opening.
    ::testing::Test::RecordProperty("dureeAdresses3a14Ms", static_cast<int>(dureeMs));
    EXPECT_LT(dureeMs, 12 * 200);
    EXPECT_EQ(ui.ChoixPort->currentIndex(), -1);
    fenetre.hide();
}

TEST(Scrutation, ExceptionEtTramesFautivesNeSontPasListees)
{
    BancVantor banc;
    auto& bus = banc.Bus();
    banc.Capteur(1).SetFaults({.exceptionCode = 4});
    bus.AddSensor(2).SetFaults({.wrongAddress = true});
    bus.AddSensor(3).SetFaults({.cutBytes = 1});
    bus.AddSensor(4).SetFaults({.corruptProbability = 1.0});
    banc.Capteur(5).SetFaults({.wrongCrc = true});
    bus.AddSensor(6);
    auto& ui = banc.Ui();
    PendantScrutation stop(ui, 6, [&] { ui.BoutArreteScrute->click(); });

    ui.BoutScrute->click();

    EXPECT_EQ(AdressesEssayees(bus, 7), Suite(1, 7));
    EXPECT_EQ(Textes(*ui.ListeScrute), QStringList({"Address 6 : sensor detected"}));
    EXPECT_TRUE(banc.Erreurs().isEmpty()) << banc.Erreurs().join('|').toStdString();
    for (std::uint8_t a = 1; a <= 6; ++a)
        EXPECT_EQ(banc.Capteur(a).RequestCount(0x04), 1) << "address " << int(a);
}

TEST(Scrutation, PortInaccessibleNiListeNiMessage)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    MODBUS_SetupDevice("/nonexistent/vantor-tty");
    MODBUS_ClosePort();
    PendantScrutation stop(ui, 2, [&] { ui.BoutArreteScrute->click(); });

    QElapsedTimer chrono;
    chrono.start();
    ui.BoutScrute->click();
    const qint64 dureeMs = chrono.elapsed();

    // The scan's own opening and the three reads each tried to open the port, 200 ms apiece.
    EXPECT_GE(dureeMs, 4 * 200 - 20);
    EXPECT_EQ(ui.ListeScrute->count(), 0);
    EXPECT_EQ(ui.PositionScrute->value(), PositionApres(3));
    EXPECT_TRUE(banc.Erreurs().isEmpty()) << banc.Erreurs().join('|').toStdString();
    EXPECT_EQ(banc.Bus().FrameCount(), 0u);
}

TEST(Scrutation, UnSecondClicPendantLaScrutationEstRefuse)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    int positionAvant = -1;
    int positionApres = -1;
    int elementsApres = -1;
    PendantScrutation second(ui, 4, [&] {
        positionAvant = ui.PositionScrute->value();
        ui.BoutScrute->click();
        positionApres = ui.PositionScrute->value();
        elementsApres = ui.ListeScrute->count();
        ui.BoutArreteScrute->click();
    });

    ui.BoutScrute->click();

    ASSERT_TRUE(second.Fait());
    // The second click touched neither the bar nor the list.
    EXPECT_EQ(positionApres, positionAvant);
    EXPECT_EQ(elementsApres, 1);
    // The first scan went on and stopped at the next address, with each address tried once: a
    // scan started from within it would have begun again at address 1.
    EXPECT_EQ(AdressesEssayees(banc.Bus(), 5), Suite(1, 5));
    EXPECT_EQ(Textes(*ui.ListeScrute), QStringList({"Address 1 : sensor detected", "Address 5 : sensor detected"}));

    // Once a scan has ended, "Scruter" works again.
    banc.Bus().ClearLog();
    PendantScrutation stop(ui, 1, [&] { ui.BoutArreteScrute->click(); });
    ui.BoutScrute->click();
    EXPECT_EQ(AdressesEssayees(banc.Bus(), 2), Suite(1, 2));
}

TEST(Scrutation, FermerLaFenetrePendantLaScrutationLaFermeEnsuiteEtGardeLesReglages)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    auto& fenetre = banc.Fenetre();
    fenetre.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fenetre));
    MODBUS_OpenPort();
    banc.Bus().ClearLog();
    QFile::remove(banc.CheminReglages());

    // A setting chosen by the operator before closing; it must reach the settings file.
    ui.ChoixParite->setCurrentIndex(1);
    ui.EditId->setValue(5);

    bool fermeeAuMomentDeLaDemande = true;
    bool visibleApresLaDemande = false;
    PendantScrutation fermeture(ui, 4, [&] {
        fermeeAuMomentDeLaDemande = fenetre.close();
        visibleApresLaDemande = fenetre.isVisible();
    });

    // The scan runs from the program's event loop, as a click would; the loop ends when the last
    // window has closed. The order of events shows that this happens after the scan returned.
    QStringList deroulement;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&] { deroulement << "fin du programme"; });
    QTimer::singleShot(0, [&] {
        ui.BoutScrute->click();
        deroulement << "scrutation rendue";
    });
    QTimer::singleShot(10000, [&] {
        deroulement << "délai dépassé";
        QCoreApplication::quit();
    });
    QApplication::exec();

    EXPECT_EQ(deroulement, QStringList({"scrutation rendue", "fin du programme"}));
    ASSERT_TRUE(fermeture.Fait());
    EXPECT_FALSE(fermeeAuMomentDeLaDemande);
    EXPECT_TRUE(visibleApresLaDemande);
    // The scan ended at the next address and then the window closed.
    EXPECT_EQ(AdressesEssayees(banc.Bus(), 5), Suite(1, 5));
    EXPECT_FALSE(fenetre.isVisible());
    EXPECT_TRUE(banc.Erreurs().isEmpty());

    // The port was released and the identifier of EditId put back before the window closed.
    const LectureTemoin temoin = LitAvecIdentifiantEnVigueur(banc.Bus());
    EXPECT_EQ(temoin.adresse, 5);
    EXPECT_GE(temoin.dureeMs, kDureeAvecOuverture);

    // The settings were written when the window closed: a new window restores them.
    ASSERT_TRUE(QFile::exists(banc.CheminReglages()));
    BoitesEnregistrees boitesRelue;
    TFenetrePrincipale relue(nullptr, banc.CheminReglages(), &boitesRelue);
    relue.show();
    const WidgetsFenetre ui2(relue);
    EXPECT_EQ(ui2.ChoixParite->currentIndex(), 1);
    EXPECT_EQ(ui2.EditId->value(), 5);
    relue.hide();
}

}  // namespace
