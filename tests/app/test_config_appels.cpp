// Configuration, identity, self test and reset handlers on the recording stand-in driver: the
// exact driver calls (and which operations apply EditId first), the enabling rule, the filter
// words and where a failing write stops, the FIFO divider, the read-modify-writes of register 6,
// the displays of failure before the error box, and the one real error box.
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AffichageVantor.h"
#include "FenetreEnregistree.h"

using enregistreur::TAppel;

namespace {

TAppel Ecrit(long registre, long haut, long bas)
{
    return {"WriteSingleRegister", {registre, haut, bas}};
}
TAppel EcritSysteme(long registre, long haut, long bas)
{
    return {"WriteSystemRegister", {registre, haut, bas}};
}
TAppel LitMaintien(long debut, long nombre)
{
    return {"ReadHoldingRegisters", {debut, nombre}};
}

}  // namespace

using Config = FenetreEnregistree;

// --- enabling rule and the identifier rule ---------------------------------------------------

TEST_F(Config, WriteButtonsDoNothingBeforeTheirReadButton)
{
    EXPECT_FALSE(ui().EditFiltre->isEnabled());
    EXPECT_FALSE(ui().EditFifo->isEnabled());
    EXPECT_FALSE(ui().ChoixBRCapteur->isEnabled());
    EXPECT_FALSE(ui().EditIdCapteur->isEnabled());
    fenetre->BoutEcritFiltreClick();
    fenetre->BoutEcritFifoClick();
    fenetre->BoutEcritBaudRateClick();
    fenetre->BoutEcritIdClick();
    EXPECT_TRUE(Appels().empty());
    EXPECT_TRUE(erreurs.isEmpty());
}

TEST_F(Config, ReadButtonsEnableTheirFieldEvenWhenTheReadFails)
{
    for (int i = 0; i < 4; ++i)
        enregistreur::AjouteReponse("ReadHoldingRegisters", kResNoAnswer);
    ui().EditFiltre->setValue(3.0);
    fenetre->BoutLitFiltreClick();
    fenetre->BoutLitFifoClick();
    fenetre->BoutLitBaudRateClick();
    fenetre->BoutLitIdClick();
    EXPECT_TRUE(ui().EditFiltre->isEnabled());
    EXPECT_TRUE(ui().EditFifo->isEnabled());
    EXPECT_TRUE(ui().ChoixBRCapteur->isEnabled());
    EXPECT_TRUE(ui().EditIdCapteur->isEnabled());
    EXPECT_DOUBLE_EQ(ui().EditFiltre->value(), 3.0);
    EXPECT_EQ(erreurs, QStringList(4, "No detected sensor"));
    // The settings use the identifier in force: no SetupConnect.
    EXPECT_EQ(Appels(),
              (std::vector<TAppel>{LitMaintien(2, 2), LitMaintien(7, 1), LitMaintien(6, 1), LitMaintien(6, 1)}));
}

TEST_F(Config, IdentityOperationsApplyEditIdFirst)
{
    ui().EditId->setValue(5);
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk, {0x01, 0x0A});
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x41, 0x42, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36});
    fenetre->BoutLitVersionClick();
    fenetre->BoutLitNumSerieClick();
    fenetre->BoutAutoTestClick();
    fenetre->BoutResetClick();
    EXPECT_EQ(Appels(), (std::vector<TAppel>{AppelIdentifiant(5),
                                             {"ReadInputRegisters", {12, 1}},
                                             AppelIdentifiant(5),
                                             LitMaintien(8, 4),
                                             AppelIdentifiant(5),
                                             {"exchange", {1, 0x64}},
                                             AppelIdentifiant(5),
                                             {"exchange", {1, 0x46}}}));
    EXPECT_EQ(ui().LabelVersion->text(), "1.10");
    EXPECT_EQ(ui().LabelNumSerie->text(), "AB123456");
    EXPECT_TRUE(erreurs.isEmpty());
}

// The identity labels grow to the left to show the whole value read, their right edge fixed.
TEST_F(Config, IdentityValuesAreShownWholeBesideTheirButtons)
{
    const int droiteVersion = ui().LabelVersion->geometry().right();
    const int droiteSerie = ui().LabelNumSerie->geometry().right();
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk, {0x01, 0x0A});
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x41, 0x42, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36});
    QTest::mouseClick(ui().BoutLitVersion, Qt::LeftButton);
    QTest::mouseClick(ui().BoutLitNumSerie, Qt::LeftButton);
    for (TLabelDroite* label : {ui().LabelVersion, ui().LabelNumSerie}) {
        SCOPED_TRACE(label->objectName().toStdString());
        const QFontMetrics mesure(label->font());
        EXPECT_GE(label->width(), mesure.horizontalAdvance(label->text()));
        EXPECT_EQ(label->size(), label->sizeHint());
    }
    EXPECT_EQ(ui().LabelVersion->geometry().right(), droiteVersion);
    EXPECT_EQ(ui().LabelNumSerie->geometry().right(), droiteSerie);
    EXPECT_TRUE(erreurs.isEmpty());
}

// --- filter ----------------------------------------------------------------------------------

TEST_F(Config, FilterWriteSendsSixTruncatedWordsInOrder)
{
    fenetre->BoutLitFiltreClick();  // enables the field (B = 0 is refused, the value stays 5.0)
    erreurs.clear();
    enregistreur::Reinitialise();
    ui().EditFiltre->setValue(5.0);
    fenetre->BoutEcritFiltreClick();
    EXPECT_EQ(Appels(), (std::vector<TAppel>{EcritSysteme(64, 0x3D, 0x8A), EcritSysteme(65, 0x25, 0xFD),
                                             EcritSysteme(66, 0x41, 0x87), EcritSysteme(67, 0x8D, 0xDE),
                                             EcritSysteme(68, 0xC0, 0xC3), EcritSysteme(69, 0xD4, 0x0B)}));
    EXPECT_TRUE(erreurs.isEmpty());
}

TEST_F(Config, FilterWriteStopsAtTheFirstFailure)
{
    fenetre->BoutLitFiltreClick();
    erreurs.clear();
    enregistreur::Reinitialise();
    // 64, 65 and 66 succeed, 67 fails: nothing more is written.
    for (int i = 0; i < 3; ++i)
        enregistreur::AjouteReponse("WriteSystemRegister", kResOk);
    enregistreur::AjouteReponse("WriteSystemRegister", kResExcValue);
    fenetre->BoutEcritFiltreClick();
    const auto appels = Appels();
    ASSERT_EQ(appels.size(), 4u);
    EXPECT_EQ(appels.back(), EcritSysteme(67, 0x8D, 0xDE));
    EXPECT_EQ(erreurs, QStringList{"Modbus : bad value"});
}

TEST_F(Config, FilterReadShowsTheCutOffOrReportsTheCoefficient)
{
    // B = 16.944272 (5 Hz).
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x41, 0x87, 0x8D, 0xDE});
    ui().EditFiltre->setValue(2.0);
    fenetre->BoutLitFiltreClick();
    EXPECT_EQ(ui().EditFiltre->text(), "5.0");
    EXPECT_TRUE(erreurs.isEmpty());

    // B = 1.0 gives about 10.9 Hz, limited to 10.0 by the field.
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x3F, 0x80, 0x00, 0x00});
    fenetre->BoutLitFiltreClick();
    EXPECT_DOUBLE_EQ(ui().EditFiltre->value(), 10.0);

    // B = 0, B = -1 and a B without value are reported; the field keeps its value.
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x00, 0x00, 0x00, 0x00});
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0xBF, 0x80, 0x00, 0x00});
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x7F, 0x80, 0x00, 0x00});
    fenetre->BoutLitFiltreClick();
    fenetre->BoutLitFiltreClick();
    fenetre->BoutLitFiltreClick();
    EXPECT_EQ(erreurs, (QStringList{"Frames exchange error", "Invalid parameter", "Frames exchange error"}));
    EXPECT_DOUBLE_EQ(ui().EditFiltre->value(), 10.0);
}

// --- FIFO ------------------------------------------------------------------------------------

TEST_F(Config, FifoWriteSendsTheDividerAndFF)
{
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x03, 0xFF});
    fenetre->BoutLitFifoClick();
    EXPECT_EQ(ui().EditFifo->text(), "16.667");
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x00, 0x12});
    fenetre->BoutLitFifoClick();
    EXPECT_EQ(ui().EditFifo->text(), "0.195");
    enregistreur::Reinitialise();

    for (double hz : {5.0, 50.0, 20.0, 0.1}) {
        ui().EditFifo->setValue(hz);
        fenetre->BoutEcritFifoClick();
    }
    EXPECT_EQ(Appels(), (std::vector<TAppel>{Ecrit(7, 0x0A, 0xFF), Ecrit(7, 0x01, 0xFF), Ecrit(7, 0x02, 0xFF),
                                             Ecrit(7, 0x00, 0xFF)}));
    enregistreur::AjouteReponse("WriteSingleRegister", kResCrcError);
    fenetre->BoutEcritFifoClick();
    EXPECT_EQ(erreurs, QStringList{"Erroneous CRC"});
}

// --- register 6 ------------------------------------------------------------------------------

TEST_F(Config, Register6ReadsSelectTheBaudEntryAndShowTheAddress)
{
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x02, 0x05});
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x07, 0x80});
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x02, 0x11});
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x02, 0x00});
    fenetre->BoutLitBaudRateClick();
    EXPECT_EQ(ui().ChoixBRCapteur->currentText(), "38400");
    fenetre->BoutLitBaudRateClick();
    EXPECT_EQ(ui().ChoixBRCapteur->currentIndex(), 1);  // 7 is not an entry: "19200"
    fenetre->BoutLitIdClick();
    EXPECT_EQ(ui().EditIdCapteur->text(), "17");
    fenetre->BoutLitIdClick();
    EXPECT_EQ(ui().EditIdCapteur->text(), "1");  // 0 is not an address
    EXPECT_TRUE(erreurs.isEmpty());
    // Selecting the entry from the program raises no change: the connection is left alone.
    EXPECT_TRUE(enregistreur::AppelsDe("SetupConnect").empty());
    EXPECT_EQ(enregistreur::AppelsDe("ReadHoldingRegisters").size(), 4u);
}

TEST_F(Config, Register6WritesKeepTheOtherByte)
{
    ui().ChoixBRCapteur->setEnabled(true);
    ui().EditIdCapteur->setEnabled(true);
    ui().ChoixBRCapteur->setCurrentIndex(2);
    ui().EditIdCapteur->setText("17");
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x01, 0x05});
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x01, 0x05});
    fenetre->BoutEcritBaudRateClick();
    fenetre->BoutEcritIdClick();
    EXPECT_EQ(Appels(),
              (std::vector<TAppel>{LitMaintien(6, 1), Ecrit(6, 0x02, 0x05), LitMaintien(6, 1), Ecrit(6, 0x01, 0x11)}));
    EXPECT_TRUE(erreurs.isEmpty());
}

TEST_F(Config, Register6WriteAfterAFailedReadWritesNothing)
{
    ui().ChoixBRCapteur->setEnabled(true);
    ui().EditIdCapteur->setEnabled(true);
    ui().ChoixBRCapteur->setCurrentIndex(0);
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResExcAddress);
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResNoAnswer);
    fenetre->BoutEcritBaudRateClick();
    fenetre->BoutEcritIdClick();
    EXPECT_EQ(Appels(), (std::vector<TAppel>{LitMaintien(6, 1), LitMaintien(6, 1)}));
    EXPECT_EQ(erreurs, (QStringList{"Modbus : bad address", "No detected sensor"}));
}

TEST_F(Config, BaudWriteWithoutSelectionUsesTheTypedEntryOrRefuses)
{
    ui().ChoixBRCapteur->setEnabled(true);
    ui().ChoixBRCapteur->setCurrentIndex(-1);
    ui().ChoixBRCapteur->setEditText("9600");
    ASSERT_EQ(ui().ChoixBRCapteur->currentIndex(), -1);
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResOk, {0x01, 0x05});
    fenetre->BoutEcritBaudRateClick();
    EXPECT_EQ(Appels(), (std::vector<TAppel>{LitMaintien(6, 1), Ecrit(6, 0x00, 0x05)}));
    EXPECT_TRUE(erreurs.isEmpty());

    enregistreur::Reinitialise();
    ui().ChoixBRCapteur->setEditText("57600");
    fenetre->BoutEcritBaudRateClick();
    EXPECT_TRUE(Appels().empty());  // nothing is sent
    EXPECT_EQ(erreurs, QStringList{"Invalid Baud-Rate"});
}

TEST_F(Config, AddressWriteWithAnEmptiedFieldSendsNothing)
{
    ui().EditIdCapteur->setEnabled(true);
    ui().EditIdCapteur->setText("");
    fenetre->BoutEcritIdClick();
    for (const TAppel& a : Appels())
        EXPECT_NE(a.fonction, "WriteSingleRegister");
    EXPECT_EQ(erreurs.size(), 1);
}

// --- identity, self test and reset ----------------------------------------------------------

TEST_F(Config, IdentityReadFailureShowsPlaceholderBeforeTheBox)
{
    ui().LabelVersion->setText("1.10");
    ui().LabelNumSerie->setText("AB123456");
    QStringList vusPendantLaBoite;
    pendantErreur = [&](const QString&) {
        vusPendantLaBoite << ui().LabelVersion->text() << ui().LabelNumSerie->text();
    };
    enregistreur::AjouteReponse("ReadInputRegisters", kResNoAnswer);
    fenetre->BoutLitVersionClick();
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResCrcError);
    fenetre->BoutLitNumSerieClick();
    EXPECT_EQ(erreurs, (QStringList{"No detected sensor", "Erroneous CRC"}));
    EXPECT_EQ(vusPendantLaBoite, (QStringList{"X.X", "AB123456", "X.X", "XXXX"}));
}

TEST_F(Config, SelfTestAndResetShowNothingWhateverHappens)
{
    enregistreur::AjouteReponse("exchange", kResNoAnswer);
    enregistreur::AjouteReponse("exchange", kResExcFunction);
    fenetre->BoutAutoTestClick();
    fenetre->BoutResetClick();
    EXPECT_EQ(enregistreur::AppelsDe("exchange").size(), 2u);
    EXPECT_TRUE(erreurs.isEmpty());
}

TEST_F(Config, SystemRegisterWritesWordByWord)
{
    EXPECT_EQ(fenetre->EcritRegistresSysteme("", 64), kResOk);
    EXPECT_TRUE(Appels().empty());
    EXPECT_EQ(fenetre->EcritRegistresSysteme("ABC", 10), kResOk);
    // The register number is kept in 8 bits.
    EXPECT_EQ(fenetre->EcritRegistresSysteme("11223344", 255), kResOk);
    EXPECT_EQ(Appels(), (std::vector<TAppel>{EcritSysteme(10, 0xAB, 0xC0), EcritSysteme(255, 0x11, 0x22),
                                             EcritSysteme(0, 0x33, 0x44)}));
    enregistreur::Reinitialise();
    enregistreur::AjouteReponse("WriteSystemRegister", kResNoAnswer);
    EXPECT_EQ(fenetre->EcritRegistresSysteme("1122334455667788", 64), kResNoAnswer);
    EXPECT_EQ(Appels().size(), 1u);
}

// --- the error box itself --------------------------------------------------------------------

TEST_F(Config, ErrorBoxIsModalWithCaptionIconAndOneOkButton)
{
    Construit(nullptr);  // the real box this time
    QString titre, texte;
    QMessageBox::Icon icone = QMessageBox::NoIcon;
    QStringList boutons;
    bool modale = false;
    bool vue = false;
    // Looks for the box while it is open, notes what it shows, and closes it with its button.
    QTimer cherche;
    cherche.setInterval(10);
    QObject::connect(&cherche, &QTimer::timeout, [&] {
        auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (boite == nullptr)
            return;
        cherche.stop();
        vue = true;
        titre = boite->windowTitle();
        texte = boite->text();
        icone = boite->icon();
        modale = boite->isModal();
        for (QAbstractButton* b : boite->buttons())
            boutons << b->text().remove('&');
        if (!boite->buttons().isEmpty())
            boite->buttons().first()->click();
        else
            boite->reject();
    });
    cherche.start();
    enregistreur::AjouteReponse("ReadHoldingRegisters", kResNoAnswer);
    fenetre->BoutLitFifoClick();  // returns once the box is closed
    cherche.stop();
    ASSERT_TRUE(vue);
    EXPECT_EQ(titre, "Erreur");
    EXPECT_EQ(texte, "No detected sensor");
    EXPECT_EQ(icone, QMessageBox::Critical);
    EXPECT_TRUE(modale);
    EXPECT_EQ(boutons, QStringList{"OK"});
}
