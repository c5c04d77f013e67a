// Raw command tool against simulated sensors, end to end through the real driver library.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>


#include "BancVantor.h"
#include "RepondeurFixe.h"
#include "korvane.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& texte, std::ostream* flux)
{
    *flux << '"' << texte.toStdString() << '"';
}

namespace {

using vantor::sim::Bytes;
using vantor::test::RepondeurFixe;

// The tool's page stays hidden and disabled in the program; the tests enable it (without
// showing it), as the operator would find it if it were shown.
WidgetsFenetre& PageOuverte(BancVantor& banc)
{
    banc.Ui().TabCommande->setEnabled(true);
    // The register tool's send button, which periodic sending disables, lives on the other page.
    banc.Ui().TabLectureEcriture->setEnabled(true);
    return banc.Ui();
}

QStringList Journal(WidgetsFenetre& ui)
{
    const QString texte = ui.MemoCommande->toPlainText();
    return texte.isEmpty() ? QStringList() : texte.split('\n');
}

void Envoie(WidgetsFenetre& ui, const QString& commande)
{
    ui.EditCommande->setText(commande);
    ui.BoutEnvoiCmd->click();
}

// The address the next read goes to: the identifier in force in the driver.
int IdentifiantEnVigueur(vantor::sim::SimBus& bus)
{
    bus.ClearLog();
    std::uint8_t nombre = 0;
    TDataArea zone{};
    MODBUS_ReadInputRegisters(0, 1, &nombre, zone.data());
    bus.WaitForFrames(1, std::chrono::seconds(2));
    const auto trames = bus.ReceivedFrames();
    return trames.size() == 1 && !trames[0].empty() ? trames[0][0] : -1;
}

TEST(OutilCommande, LectureDUnRegistreAjouteUneLigne)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    // Holding 10 holds the 5th and 6th characters of the serial number "AB123456".
    Envoie(ui, "03000A0001");

    EXPECT_EQ(Journal(ui), QStringList({"03023334"}));
    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x01, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xA4, 0x08}}));
    EXPECT_TRUE(banc.Erreurs().isEmpty()) << banc.Erreurs().join('|').toStdString();

    // The log only grows.
    Envoie(ui, "03000A0001");
    EXPECT_EQ(Journal(ui), QStringList({"03023334", "03023334"}));
}

TEST(OutilCommande, VaAuCapteurDeEditId)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    banc.Capteur(5).SetHolding(2, 0x1234);
    ui.EditId->setValue(5);

    Envoie(ui, "0300020001");

    EXPECT_EQ(Journal(ui), QStringList({"03021234"}));
    EXPECT_EQ(banc.Capteur(5).RequestCount(0x03), 1);
    EXPECT_EQ(banc.Capteur(1).RequestCount(), 0);
}

TEST(OutilCommande, ReponseDExceptionMontreSonNumero)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    banc.Capteur(1).SetFaults({.exceptionCode = 4});

    Envoie(ui, "03000A0001");

    EXPECT_EQ(Journal(ui), QStringList({"8304"}));
    EXPECT_EQ(banc.Erreurs(), QStringList({"Erreur. Le numéro d'exception est : 04"}));
}

TEST(OutilCommande, TexteDeLongueurImpaireEnvoieDesZeros)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);

    // Three characters: one byte, left at zero; the sensor does not know function 0.
    Envoie(ui, "030");
    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x01, 0x00, 0x00, 0x20}}));
    EXPECT_EQ(Journal(ui), QStringList({"8001"}));
    EXPECT_EQ(banc.Erreurs(), QStringList({"Erreur. Le numéro d'exception est : 01"}));

    // One character: an empty request, address and CRC only, which no sensor answers.
    banc.Bus().ClearLog();
    banc.ViderErreurs();
    Envoie(ui, "0");
    banc.Bus().WaitForFrames(1, std::chrono::seconds(2));
    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x01, 0x7E, 0x80}}));
    EXPECT_EQ(Journal(ui), QStringList({"8001"}));
    EXPECT_EQ(banc.Erreurs(), QStringList({"No detected sensor"}));
}

TEST(OutilCommande, TexteVideEnvoieUneRequeteVide)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);

    Envoie(ui, "");

    banc.Bus().WaitForFrames(1, std::chrono::seconds(2));
    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x01, 0x7E, 0x80}}));
    EXPECT_TRUE(Journal(ui).isEmpty());
    EXPECT_EQ(banc.Erreurs(), QStringList({"No detected sensor"}));
}

TEST(OutilCommande, LesMinusculesNeSontPasRepliees)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);

    // "0a" reads as 0 * 16 + ('a' - 0x37) = 42: register 0x2A, outside the map (exception 2),
    // where a folded "0A" would have read register 10.
    Envoie(ui, "03000a0001");

    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x01, 0x03, 0x00, 0x2A, 0x00, 0x01, 0xA5, 0xC2}}));
    EXPECT_EQ(Journal(ui), QStringList({"8302"}));
    EXPECT_EQ(banc.Erreurs(), QStringList({"Erreur. Le numéro d'exception est : 02"}));
}

TEST(OutilCommande, DiffusionNeJournaliseRienEtRendLIdentifiant)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    ui.EditId->setValue(5);
    ui.ChoixBroadcast->setChecked(true);

    // Write 0x0A00 to holding 7 of every sensor.
    Envoie(ui, "0600070A00");
    // No answer comes back: wait until the sensors have taken the frame in.
    ASSERT_TRUE(banc.Bus().WaitForFrames(1, std::chrono::seconds(2)));

    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x00, 0x06, 0x00, 0x07, 0x0A, 0x00, 0x3F, 0x7A}}));
    EXPECT_TRUE(Journal(ui).isEmpty());
    EXPECT_TRUE(banc.Erreurs().isEmpty()) << banc.Erreurs().join('|').toStdString();
    EXPECT_EQ(banc.Capteur(1).Holding(7) >> 8, 0x0A);
    EXPECT_EQ(banc.Capteur(5).Holding(7) >> 8, 0x0A);
    EXPECT_EQ(IdentifiantEnVigueur(banc.Bus()), 5);
}

TEST(OutilCommande, DiffusionEnEchecRendAussiLIdentifiant)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    ui.EditId->setValue(5);
    ui.ChoixBroadcast->setChecked(true);
    // The box of the error is where the operator could untick "Broadcast"; the identifier 0 must
    // not stay in force all the same.
    banc.PendantErreur([&](const QString&) { ui.ChoixBroadcast->setChecked(false); });

    Envoie(ui, QString(512, '0'));

    EXPECT_EQ(IdentifiantEnVigueur(banc.Bus()), 5);
}

TEST(OutilCommande, RequeteDe256OctetsEstRefusee)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);

    Envoie(ui, QString(512, '0'));
    EXPECT_EQ(banc.Erreurs(), QStringList({"Invalid parameter"}));

    // Longer texts are refused the same way, and nothing goes on the line.
    banc.ViderErreurs();
    Envoie(ui, QString(1000, 'F'));
    EXPECT_EQ(banc.Erreurs(), QStringList({"Invalid parameter"}));
    EXPECT_EQ(banc.Bus().FrameCount(), 0u);
    EXPECT_TRUE(Journal(ui).isEmpty());
}

TEST(OutilCommande, RequeteTropLongueArreteLEnvoiPeriodique)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    ui.UpDownTimeOut->setPosition(10);
    ui.EditCommande->setText(QString(512, '0'));

    ui.ChoixPeriodique->setChecked(true);

    EXPECT_EQ(banc.Erreurs(), QStringList({"Invalid parameter"}));
    EXPECT_FALSE(ui.ChoixPeriodique->isChecked());
    // The controls come back at the next tick.
    EXPECT_FALSE(ui.BoutEnvoi->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.BoutEnvoi->isEnabled(); }, 2000));
    EXPECT_TRUE(ui.EditCommande->isEnabled());
    EXPECT_FALSE(banc.Ui().PeriodCommande->isActive());
    EXPECT_EQ(banc.Erreurs().size(), 1);
}

TEST(OutilCommande, EnvoiPeriodiqueContinueSArreteSurErreurEtRendLesCommandes)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    ui.UpDownTimeOut->setPosition(10);
    ui.EditCommande->setText("03000A0001");

    // The first request goes out at once.
    ui.ChoixPeriodique->setChecked(true);
    EXPECT_EQ(Journal(ui), QStringList({"03023334"}));
    EXPECT_FALSE(ui.BoutEnvoi->isEnabled());
    EXPECT_FALSE(ui.EditCommande->isEnabled());
    EXPECT_TRUE(ui.BoutEnvoiCmd->isEnabled());
    EXPECT_EQ(banc.Ui().PeriodCommande->interval(), 10);

    // It keeps going, one line per answer.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Journal(ui).size() >= 6; }, 5000));
    EXPECT_EQ(Journal(ui).filter("03023334").size(), Journal(ui).size());
    EXPECT_TRUE(banc.Erreurs().isEmpty());

    // The sensor falls silent: one error, "Period" unticked, and the controls come back at the
    // next tick.
    banc.Capteur(1).SetFaults({.silent = true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !banc.Erreurs().isEmpty(); }, 5000));
    EXPECT_EQ(banc.Erreurs(), QStringList({"No detected sensor"}));
    EXPECT_FALSE(ui.ChoixPeriodique->isChecked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.BoutEnvoi->isEnabled(); }, 2000));
    EXPECT_TRUE(ui.EditCommande->isEnabled());
    EXPECT_FALSE(banc.Ui().PeriodCommande->isActive());

    // Nothing more is sent.
    const std::size_t trames = banc.Bus().FrameCount();
    QTest::qWait(100);
    EXPECT_EQ(banc.Bus().FrameCount(), trames);
    EXPECT_EQ(banc.Erreurs().size(), 1);
}

TEST(OutilCommande, DecocherPeriodeRendLesCommandesAuTopSuivant)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    ui.UpDownTimeOut->setPosition(300);
    ui.EditCommande->setText("03000A0001");

    ui.ChoixPeriodique->setChecked(true);
    ui.ChoixPeriodique->setChecked(false);

    // Not at once: at the next tick, one period later.
    EXPECT_FALSE(ui.BoutEnvoi->isEnabled());
    EXPECT_FALSE(ui.EditCommande->isEnabled());
    EXPECT_TRUE(banc.Ui().PeriodCommande->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.BoutEnvoi->isEnabled(); }, 2000));
    EXPECT_TRUE(ui.EditCommande->isEnabled());
    EXPECT_FALSE(banc.Ui().PeriodCommande->isActive());
    EXPECT_EQ(Journal(ui), QStringList({"03023334"}));
}

TEST(OutilCommande, ReponseSansCodeDeFonctionOuSansNumeroDException)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    {
        RepondeurFixe repondeur(Bytes{});
        MODBUS_SetupDevice(repondeur.Chemin().c_str());
        Envoie(ui, "03000A0001");
        EXPECT_EQ(repondeur.Requetes(), 1);
        EXPECT_EQ(banc.Erreurs(), QStringList({"Erreur. Réponse vide : aucun code de fonction reçu."}));
        MODBUS_ClosePort();
    }
    banc.ViderErreurs();
    ui.MemoCommande->clear();
    {
        RepondeurFixe repondeur(Bytes{0x83});
        MODBUS_SetupDevice(repondeur.Chemin().c_str());
        Envoie(ui, "03000A0001");
        EXPECT_EQ(repondeur.Requetes(), 1);
        EXPECT_EQ(Journal(ui), QStringList({"83"}));
        EXPECT_EQ(banc.Erreurs(), QStringList({"Erreur. Le numéro d'exception est absent de la réponse."}));
        MODBUS_ClosePort();
    }
}

}  // namespace
