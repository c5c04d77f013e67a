// Measurement and monitoring displays end to end: the window polls simulated sensors through
// the real driver on a pseudo-terminal. Values pinned in the simulator must appear; faults of
// the line must show "err" or dark LEDs while polling goes on.
#include <QLocale>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "BancVantor.h"

using vantor::sim::SensorFaults;

namespace {

// Pins a float into two input registers, high word first.
void PinFlottant(vantor::sim::SimSensor& capteur, int registre, std::uint16_t haut, std::uint16_t bas)
{
    capteur.SetInput(registre, haut);
    capteur.SetInput(registre + 1, bas);
}

int LedsAllumees(WidgetsFenetre& ui)
{
    int n = 0;
    for (TLed* led : {ui.JvLED1, ui.JvLED2, ui.JvLED3, ui.JvLED4, ui.JvLED5, ui.JvLED6, ui.JvLED7, ui.JvLED8, ui.JvLED9,
                      ui.JvLED10, ui.JvLED11, ui.JvLED12, ui.JvLED13, ui.JvLED14, ui.JvLED15, ui.JvLED16})
        n += led->isActive() ? 1 : 0;
    return n;
}

class MesuresSim : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

}  // namespace

TEST_F(MesuresSim, AccelerationShowsTheSensorAndPollingSurvivesSilence)
{
    BancVantor banc;
    auto& capteur = banc.Capteur(1);
    PinFlottant(capteur, 0, 0x3F80, 0x0000);  // 1.0 g

    banc.Ui().ChoixAcceleration->setChecked(true);
    EXPECT_EQ(banc.Ui().LabelAccel->text(), "1.00000");  // read at once
    EXPECT_EQ(capteur.RequestCount(0x04), 1);

    capteur.SetFaults({.silent = true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return banc.Ui().LabelAccel->text() == "err"; }, 10000));

    capteur.SetFaults({});
    PinFlottant(capteur, 0, 0xC000, 0x0000);  // -2.0 g
    ASSERT_TRUE(QTest::qWaitFor([&] { return banc.Ui().LabelAccel->text() == "-2.00000"; }, 10000));
    EXPECT_GE(capteur.RequestCount(0x04), 3);

    banc.Ui().ChoixAcceleration->setChecked(false);
    EXPECT_EQ(banc.Ui().LabelAccel->text(), "xxxx");
    EXPECT_FALSE(banc.Ui().TimerAccel->isActive());
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST_F(MesuresSim, TemperatureShowsErrOnWrongCrcAndComesBack)
{
    BancVantor banc;
    auto& capteur = banc.Capteur(1);
    PinFlottant(capteur, 2, 0x41B4, 0x0000);  // 22.5 degrees

    banc.Ui().ChoixTempe->setChecked(true);
    EXPECT_EQ(banc.Ui().LabelTempe->text(), "22.5");

    capteur.SetFaults({.wrongCrc = true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return banc.Ui().LabelTempe->text() == "err"; }, 10000));
    EXPECT_TRUE(banc.Ui().TimerTempe->isActive());

    capteur.SetFaults({});
    PinFlottant(capteur, 2, 0xC1A0, 0x0000);  // -20.0 degrees
    ASSERT_TRUE(QTest::qWaitFor([&] { return banc.Ui().LabelTempe->text() == "-20.0"; }, 10000));

    banc.Ui().ChoixTempe->setChecked(false);
    EXPECT_EQ(banc.Ui().LabelTempe->text(), "xx");
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST_F(MesuresSim, MonitoringShowsStatusAndValuesAndDarkensOnException)
{
    BancVantor banc;
    auto& capteur = banc.Capteur(1);
    const std::uint16_t registres[] = {0x8001, 1024, 1536, 1024, 0, 1024, 100, 1024};  // 4..11
    for (int i = 0; i < 8; ++i)
        capteur.SetInput(4 + i, registres[i]);

    banc.Ui().ChoixMonitor->setChecked(true);
    auto& ui = banc.Ui();
    EXPECT_EQ(LedsAllumees(ui), 16);
    EXPECT_EQ(ui.JvLED8->onColor(), QColor(255, 0, 0));
    EXPECT_EQ(ui.JvLED9->onColor(), QColor(255, 0, 0));
    EXPECT_EQ(ui.JvLED1->onColor(), QColor(0, 255, 0));
    EXPECT_EQ(ui.JvLED16->onColor(), QColor(0, 255, 0));
    EXPECT_EQ(ui.MonitIsupply->text(), "50.00");
    EXPECT_EQ(ui.MonitVcell->text(), "5.00");
    EXPECT_EQ(ui.MonitVref->text(), "5.00");
    EXPECT_EQ(ui.MonitVin->text(), "0.70");
    EXPECT_EQ(ui.MonitVdd->text(), "10.00");
    EXPECT_EQ(ui.MonitVss->text(), "-1.04");
    EXPECT_EQ(ui.MonitVout->text(), "5.00");

    capteur.SetFaults({.exceptionCode = 4});
    ASSERT_TRUE(QTest::qWaitFor([&] { return LedsAllumees(ui) == 0; }, 10000));
    EXPECT_EQ(ui.MonitVout->text(), "5.00");  // values kept
    EXPECT_TRUE(banc.Ui().TimerMonit->isActive());

    capteur.SetFaults({});
    capteur.SetInput(4, 0x0000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return LedsAllumees(ui) == 16; }, 10000));
    EXPECT_EQ(ui.JvLED8->onColor(), QColor(0, 255, 0));

    ui.ChoixMonitor->setChecked(false);
    EXPECT_EQ(LedsAllumees(ui), 0);
    EXPECT_FALSE(banc.Ui().TimerMonit->isActive());
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST_F(MesuresSim, EveryPollAddressesTheSensorOfEditIdThroughAClosedPort)
{
    // As the program normally runs: the port is closed and each transaction opens it.
    BancVantor banc(BancVantor::Options{.portOuvert = false});
    PinFlottant(banc.Capteur(1), 0, 0x3F80, 0x0000);
    PinFlottant(banc.Capteur(5), 0, 0x4040, 0x0000);  // 3.0 g
    banc.Ui().EditId->setValue(5);

    banc.Ui().ChoixAcceleration->setChecked(true);
    EXPECT_EQ(banc.Ui().LabelAccel->text(), "3.00000");
    EXPECT_EQ(banc.Capteur(5).RequestCount(0x04), 1);
    EXPECT_EQ(banc.Capteur(1).RequestCount(0x04), 0);

    // A change of EditId takes effect at the next tick.
    banc.Ui().EditId->setValue(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return banc.Ui().LabelAccel->text() == "1.00000"; }, 10000));
    banc.Ui().ChoixAcceleration->setChecked(false);
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}
