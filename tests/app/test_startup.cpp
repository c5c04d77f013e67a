// Start-up and the communication settings as the driver sees them (recording stand-in library):
// the calls of creation and first showing, the change handlers, the settings restored before the
// first showing and saved at close or destruction, and the warning for an unreadable file.
#include <QCloseEvent>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "FenetreEssai.h"
#include "StockApp.h"
#include "WidgetsVantorChoix.h"

namespace {

using enregistreur::TAppel;
using Appels = std::vector<TAppel>;

TAppel Config(long port, long ligne, long baud, long id)
{
    return {"SetupConnect", {port, ligne, baud, id}};
}
const TAppel kOpen{"OpenPort", {}};

void Ecrit(const QString& chemin, const QByteArray& texte)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(texte);
}

QByteArray Lit(const QString& chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QByteArray Reglages(int port, int parite, int br, int id, int version = 0)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n"
               "  <FenetrePrincipale>\r\n    <FormVersion>%5</FormVersion>\r\n"
               "    <ChoixPort_ItemIndex>%1</ChoixPort_ItemIndex>\r\n"
               "    <ChoixParite_ItemIndex>%2</ChoixParite_ItemIndex>\r\n"
               "    <ChoixBR_ItemIndex>%3</ChoixBR_ItemIndex>\r\n"
               "    <EditId_Value>%4</EditId_Value>\r\n  </FenetrePrincipale>\r\n</Configuration>\r\n")
        .arg(port)
        .arg(parite)
        .arg(br)
        .arg(id)
        .arg(version)
        .toLatin1();
}

void Montre(TFenetrePrincipale& f)
{
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
}

TEST(Demarrage, FirstStartConfiguresOpensThenConfiguresAgainAtFirstShowing)
{
    FenetreEssai essai;
    TFenetrePrincipale& f = essai.Cree();
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, 2, 3, 1), kOpen}));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Vantor user application software. V1.0"));
    EXPECT_EQ(essai.ui().TabControleFonctions->currentIndex(), 0);
    EXPECT_EQ(essai.ui().EditId->text(), QStringLiteral("1"));

    Montre(f);
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, 2, 3, 1), kOpen, Config(-1, 2, 3, 1)}));
    EXPECT_TRUE(f.ReglagesRestaures());
    EXPECT_TRUE(essai.avertissements.isEmpty());

    // Later showings hand the widgets to the driver again, without restoring anything.
    f.hide();
    essai.ui().ChoixParite->setCurrentIndex(0);
    Montre(f);
    EXPECT_EQ(enregistreur::Appels().back(), Config(-1, 0, 3, 1));
    EXPECT_EQ(enregistreur::AppelsDe("SetupConnect").size(), 3u);
    EXPECT_EQ(enregistreur::AppelsDe("OpenPort").size(), 1u);
}

TEST(Demarrage, RestoredSettingsReachTheDriverAtFirstShowingWithoutChangeEvents)
{
    FenetreEssai essai;
    Ecrit(essai.Fichier(), Reglages(2, 0, 5, 7));
    TFenetrePrincipale& f = essai.Cree();
    // Creation still sees the design values.
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, 2, 3, 1), kOpen}));
    QSignalSpy changePort(essai.ui().ChoixPort, &TComboChoix::change);
    Montre(f);
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, 2, 3, 1), kOpen, Config(2, 0, 5, 7)}));
    EXPECT_EQ(changePort.count(), 0);
    EXPECT_EQ(essai.ui().ChoixPort->currentText(), QStringLiteral("COM3"));
    EXPECT_EQ(essai.ui().ChoixParite->currentText(), QStringLiteral("Even"));
    EXPECT_EQ(essai.ui().ChoixBR->currentText(), QStringLiteral("57600"));
    EXPECT_EQ(essai.ui().EditId->value(), 7);
}

TEST(Demarrage, ChangeHandlersHandOneSettingEach)
{
    FenetreEssai essai;
    TFenetrePrincipale& f = essai.Cree();
    Montre(f);
    auto& u = essai.ui();
    enregistreur::Reinitialise();

    QTest::keyClick(u.ChoixPort, Qt::Key_Down);  // no selection -> COM1
    QTest::keyClick(u.ChoixPort, Qt::Key_Down);  // COM2
    QTest::keyClick(u.ChoixBR, Qt::Key_Up);      // 9600
    QTest::keyClick(u.ChoixParite, Qt::Key_Up);  // Odd
    EXPECT_EQ(enregistreur::Appels(),
              (Appels{Config(0, -1, -1, -1), Config(1, -1, -1, -1), Config(-1, -1, 2, -1), Config(-1, 1, -1, -1)}));

    // An edit that names no item hands -1.
    enregistreur::Reinitialise();
    u.ChoixParite->lineEdit()->selectAll();
    QTest::keyClicks(u.ChoixParite->lineEdit(), QStringLiteral("X"));
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, -1, -1, -1)}));

    // The sensor-side baud rate hands the PC-side one.
    enregistreur::Reinitialise();
    u.ChoixBRCapteur->setEnabled(true);
    QTest::keyClick(u.ChoixBRCapteur, Qt::Key_Down);
    EXPECT_EQ(u.ChoixBRCapteur->currentIndex(), 0);
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, -1, 2, -1)}));

    // Item changes from code reach nobody.
    enregistreur::Reinitialise();
    u.ChoixPort->setCurrentIndex(5);
    u.ChoixBR->setCurrentIndex(0);
    u.ChoixParite->setCurrentIndex(2);
    u.ChoixBRCapteur->setCurrentIndex(2);
    EXPECT_TRUE(enregistreur::Appels().empty());
}

TEST(Reglages, FirstRunClosedWithoutChangesWritesTheDesignValues)
{
    FenetreEssai essai;
    TFenetrePrincipale& f = essai.Cree();
    Montre(f);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(Lit(essai.Fichier()), Reglages(-1, 2, 3, 1));
    essai.fenetre.reset();
    EXPECT_EQ(Lit(essai.Fichier()), Reglages(-1, 2, 3, 1));
}

TEST(Reglages, APortWithoutSelectionShowsTheDriversDefaultAfterARestore)
{
    FenetreEssai essai;
    Ecrit(essai.Fichier(), Reglages(3, 2, 3, 1));
    TFenetrePrincipale& f = essai.Cree();
    auto& u = essai.ui();
    u.ChoixPort->setCurrentIndex(-1);
    EXPECT_EQ(u.ChoixPort->currentText(), QStringLiteral("COM1"));
    Ecrit(essai.Fichier(), Reglages(-1, 2, 9, 1));
    u.ChoixPort->setCurrentIndex(3);
    Montre(f);
    EXPECT_EQ(enregistreur::Appels().back(), Config(-1, 2, -1, 1));
    EXPECT_EQ(u.ChoixPort->currentIndex(), -1);
    EXPECT_EQ(u.ChoixPort->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(u.ChoixBR->currentIndex(), -1);  // beyond the list: no selection
}

TEST(Reglages, DestructionWithoutCloseStillSaves)
{
    FenetreEssai essai;
    Ecrit(essai.Fichier(), Reglages(2, 0, 5, 7));
    TFenetrePrincipale& f = essai.Cree();
    Montre(f);
    essai.ui().ChoixBR->setCurrentIndex(1);
    essai.ui().EditId->setValue(12);
    essai.fenetre.reset();
    EXPECT_EQ(Lit(essai.Fichier()), Reglages(2, 0, 1, 12));
}

TEST(Reglages, AWindowNeverShownKeepsTheStoredValues)
{
    FenetreEssai essai;
    Ecrit(essai.Fichier(), Reglages(4, 1, 0, 33));
    essai.Cree();
    essai.fenetre.reset();
    EXPECT_EQ(Lit(essai.Fichier()), Reglages(4, 1, 0, 33));
}

TEST(Reglages, ANegativeVersionRestoresNothingAndTheCloseWritesZero)
{
    FenetreEssai essai;
    Ecrit(essai.Fichier(), Reglages(4, 1, 0, 33, -5));
    TFenetrePrincipale& f = essai.Cree();
    Montre(f);
    EXPECT_EQ(enregistreur::Appels().back(), Config(-1, 2, 3, 1));
    EXPECT_TRUE(f.close());
    EXPECT_EQ(Lit(essai.Fichier()), Reglages(-1, 2, 3, 1));
}

TEST(Reglages, AnUnreadableFileIsReportedOnceAndKeptAside)
{
    FenetreEssai essai;
    const QByteArray casse = "<Configuration><FenetrePrincipale><EditId_Value>9</Edit";
    Ecrit(essai.Fichier(), casse);
    TFenetrePrincipale& f = essai.Cree();
    Montre(f);
    EXPECT_EQ(enregistreur::Appels().back(), Config(-1, 2, 3, 1));  // design values
    QTRY_COMPARE(essai.avertissements.size(), 1);
    EXPECT_TRUE(essai.avertissements.front().contains(QStringLiteral("\"AppVantor.xml.bad\"")))
        << essai.avertissements.front().toStdString();
    EXPECT_TRUE(essai.avertissements.front().contains(QStringLiteral("design values")));
    EXPECT_TRUE(essai.erreurs.isEmpty());
    f.hide();
    Montre(f);
    QTest::qWait(20);
    EXPECT_EQ(essai.avertissements.size(), 1);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(Lit(essai.Fichier() + QStringLiteral(".bad")), casse);
    EXPECT_EQ(Lit(essai.Fichier()), Reglages(-1, 2, 3, 1));
}

}  // namespace
