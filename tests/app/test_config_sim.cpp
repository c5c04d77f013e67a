// Configuration, identity, self test and reset end to end: the window's buttons against
// simulated sensors through the real driver. What the sensor holds must appear in the fields,
// writes must land in the sensor's registers word for word, and faults of the line must give
// the placeholder first, then the message of the box.
#include <QLocale>

#include <gtest/gtest.h>

#include "BancVantor.h"

namespace {

class ConfigSim : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

}  // namespace

TEST_F(ConfigSim, FilterReadWriteRoundTrip)
{
    BancVantor banc;
    auto& capteur = banc.Capteur(1);
    for (int r = 64; r <= 69; ++r)
        capteur.SetSystem(r, 0);
    capteur.SetSystem(66, 0x3F80);  // B = 1.0: about 10.9 Hz, shown as the field's 10.0

    banc.Ui().BoutLitFiltre->click();
    EXPECT_TRUE(banc.Ui().EditFiltre->isEnabled());
    EXPECT_DOUBLE_EQ(banc.Ui().EditFiltre->value(), 10.0);

    banc.Ui().EditFiltre->setValue(5.0);
    banc.Ui().BoutEcritFiltre->click();
    const std::uint16_t attendus[] = {0x3D8A, 0x25FD, 0x4187, 0x8DDE, 0xC0C3, 0xD40B};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(capteur.System(64 + i), attendus[i]) << "register " << 64 + i;
    EXPECT_EQ(capteur.RequestCount(0x42), 6);

    banc.Ui().EditFiltre->setValue(1.0);
    banc.Ui().BoutLitFiltre->click();
    EXPECT_DOUBLE_EQ(banc.Ui().EditFiltre->value(), 5.0);
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST_F(ConfigSim, FilterWriteStopsAtTheFirstRefusal)
{
    BancVantor banc;
    auto& capteur = banc.Capteur(1);
    banc.Ui().EditFiltre->setEnabled(true);
    banc.Ui().EditFiltre->setValue(2.0);
    capteur.SetFaults({.exceptionCode = 4});
    banc.Ui().BoutEcritFiltre->click();
    EXPECT_EQ(capteur.RequestCount(0x42), 1);
    EXPECT_EQ(capteur.System(64), 0x3D8A);  // unchanged
    EXPECT_EQ(banc.Erreurs(), QStringList{"Modbus : device failure"});
}

TEST_F(ConfigSim, FifoWriteAndReadBack)
{
    BancVantor banc;
    auto& capteur = banc.Capteur(1);
    capteur.SetHolding(7, 0x0312);
    banc.Ui().BoutLitFifo->click();
    EXPECT_DOUBLE_EQ(banc.Ui().EditFifo->value(), 16.667);

    banc.Ui().EditFifo->setValue(20.0);
    banc.Ui().BoutEcritFifo->click();
    EXPECT_EQ(capteur.Holding(7), 0x02FF);

    banc.Ui().BoutLitFifo->click();
    EXPECT_DOUBLE_EQ(banc.Ui().EditFifo->value(), 25.0);
    EXPECT_EQ(banc.Ui().EditFifo->text(), "25.000");
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST_F(ConfigSim, Register6ReadsAndReadModifyWrites)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    auto& capteur = banc.Capteur(5);
    capteur.SetHolding(6, 0x0105);
    capteur.SetFirmware(2, 3);
    // The settings talk to the identifier in force: an identity read applies EditId = 5.
    ui.EditId->setValue(5);
    ui.BoutLitVersion->click();
    EXPECT_EQ(ui.LabelVersion->text(), "2.3");

    ui.BoutLitBaudRate->click();
    EXPECT_EQ(ui.ChoixBRCapteur->currentText(), "19200");
    EXPECT_EQ(ui.ChoixBRCapteur->currentIndex(), 1);
    ui.BoutLitId->click();
    EXPECT_EQ(ui.EditIdCapteur->text(), "5");

    ui.ChoixBRCapteur->setCurrentIndex(2);  // "38400"
    ui.BoutEcritBaudRate->click();
    EXPECT_EQ(capteur.Holding(6), 0x0205);

    ui.EditIdCapteur->setText("17");
    ui.BoutEcritId->click();
    EXPECT_EQ(capteur.Holding(6), 0x0211);
    EXPECT_EQ(banc.Bus().SensorAt(17), &capteur);
    EXPECT_EQ(banc.Capteur(1).RequestCount(), 0);
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST_F(ConfigSim, IdentityReadsRevisionAndSerialNumber)
{
    BancVantor banc;
    auto& capteur = banc.Capteur(1);
    capteur.SetFirmware(1, 10);
    capteur.SetSerial("AB123456");
    ASSERT_EQ(capteur.Holding(8), 0x4142);
    ASSERT_EQ(capteur.Holding(11), 0x3536);
    banc.Ui().BoutLitVersion->click();
    banc.Ui().BoutLitNumSerie->click();
    EXPECT_EQ(banc.Ui().LabelVersion->text(), "1.10");
    EXPECT_EQ(banc.Ui().LabelNumSerie->text(), "AB123456");
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST_F(ConfigSim, IdentityFailuresShowPlaceholderThenMessage)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    auto& capteur = banc.Capteur(1);
    ui.LabelVersion->setText("1.10");
    ui.LabelNumSerie->setText("AB123456");
    QStringList vus;
    banc.PendantErreur(
        [&](const QString& texte) { vus << ui.LabelVersion->text() + " " + ui.LabelNumSerie->text() + ": " + texte; });

    capteur.SetFaults({.silent = true});
    ui.BoutLitVersion->click();
    capteur.SetFaults({.wrongCrc = true});
    ui.BoutLitNumSerie->click();
    capteur.SetFaults({.exceptionCode = 2});
    ui.BoutLitVersion->click();
    EXPECT_EQ(vus, (QStringList{"X.X AB123456: No detected sensor", "X.X XXXX: Erroneous CRC",
                                "X.X XXXX: Modbus : bad address"}));
}

TEST_F(ConfigSim, SettingsFailuresAreReportedAndWriteNothing)
{
    BancVantor banc;
    auto& ui = banc.Ui();
    auto& capteur = banc.Capteur(1);
    const std::uint16_t registre6 = capteur.Holding(6);
    ui.ChoixBRCapteur->setEnabled(true);
    ui.ChoixBRCapteur->setCurrentIndex(2);
    capteur.SetFaults({.wrongAddress = true});
    ui.BoutEcritBaudRate->click();  // the read fails: no write
    capteur.SetFaults({.exceptionCode = 3});
    ui.BoutLitFifo->click();
    EXPECT_EQ(capteur.RequestCount(0x06), 0);
    EXPECT_EQ(capteur.Holding(6), registre6);
    EXPECT_TRUE(ui.EditFifo->isEnabled());
    EXPECT_EQ(banc.Erreurs(), (QStringList{"Frames exchange error", "Modbus : bad value"}));
}

TEST_F(ConfigSim, SelfTestAndResetReachTheSensorAndShowNothing)
{
    BancVantor banc;
    auto& capteur = banc.Capteur(5);
    capteur.SetRebootTime(std::chrono::milliseconds(0));
    banc.Ui().EditId->setValue(5);
    banc.Ui().BoutAutoTest->click();
    banc.Ui().BoutReset->click();
    EXPECT_EQ(capteur.SelfTestCount(), 1);
    EXPECT_EQ(capteur.ResetCount(), 1);
    EXPECT_EQ(banc.Capteur(1).RequestCount(), 0);

    // With no answer at all, still nothing is shown.
    capteur.SetFaults({.silent = true});
    banc.Ui().BoutAutoTest->click();
    EXPECT_EQ(capteur.RequestCount(0x64), 2);
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}
