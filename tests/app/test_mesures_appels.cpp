// Measurement and monitoring handlers on the recording stand-in driver: the driver calls of each
// poll, the timers (intervals, stopped during their handler, restarted after), the displays of
// success and failure, the LED mapping and the check boxes.
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "AffichageVantor.h"
#include "FenetreEnregistree.h"

using enregistreur::TAppel;

namespace {

const QColor kRouge(255, 0, 0);
const QColor kVert(0, 255, 0);
const QColor kSarcelle(0, 128, 128);

// A monitoring reply: the status word, then raw values of registers 5 to 11.
std::vector<std::uint8_t> ReponseMonit(std::uint16_t statut, std::array<std::uint16_t, 7> bruts)
{
    std::vector<std::uint8_t> octets{static_cast<std::uint8_t>(statut >> 8), static_cast<std::uint8_t>(statut & 0xFF)};
    for (auto b : bruts) {
        octets.push_back(static_cast<std::uint8_t>(b >> 8));
        octets.push_back(static_cast<std::uint8_t>(b & 0xFF));
    }
    return octets;
}

}  // namespace

class Mesures : public FenetreEnregistree {
protected:
    std::array<TLed*, 16> Leds()
    {
        return {ui().JvLED1,  ui().JvLED2,  ui().JvLED3,  ui().JvLED4,  ui().JvLED5,  ui().JvLED6,
                ui().JvLED7,  ui().JvLED8,  ui().JvLED9,  ui().JvLED10, ui().JvLED11, ui().JvLED12,
                ui().JvLED13, ui().JvLED14, ui().JvLED15, ui().JvLED16};
    }

    // Numbers (1..16) of the LEDs whose on-colour is red.
    std::vector<int> LedsRouges()
    {
        std::vector<int> rouges;
        const auto leds = Leds();
        for (int i = 0; i < 16; ++i)
            if (leds[static_cast<std::size_t>(i)]->onColor() == kRouge)
                rouges.push_back(i + 1);
        return rouges;
    }

    int LedsAllumees()
    {
        int n = 0;
        for (TLed* led : Leds())
            n += led->isActive() ? 1 : 0;
        return n;
    }

    // Polls the monitoring once with the given status word.
    void PollStatut(std::uint16_t statut)
    {
        enregistreur::AjouteReponse("ReadInputRegisters", kResOk, ReponseMonit(statut, {0, 0, 0, 0, 0, 0, 0}));
        fenetre->TimerMonitTimer();
    }
};

TEST_F(Mesures, TimersAndDisplaysAtStart)
{
    EXPECT_EQ(ui().TimerAccel->interval(), 300);
    EXPECT_EQ(ui().TimerTempe->interval(), 1000);
    EXPECT_EQ(ui().TimerMonit->interval(), 319);
    EXPECT_FALSE(ui().TimerAccel->isActive());
    EXPECT_FALSE(ui().TimerTempe->isActive());
    EXPECT_FALSE(ui().TimerMonit->isActive());
    EXPECT_EQ(ui().LabelAccel->text(), "xxxx");
    EXPECT_EQ(ui().LabelTempe->text(), "xx");
    EXPECT_EQ(LedsAllumees(), 0);
}

TEST_F(Mesures, AccelerationPollAppliesIdentifierThenReadsWithItsTimerStopped)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ui().EditId->setValue(7);
    std::vector<bool> timerActif;
    enregistreur::PendantAppel([&](const TAppel&) { timerActif.push_back(ui().TimerAccel->isActive()); });
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk, {0x3F, 0x80, 0x00, 0x00});

    ui().ChoixAcceleration->setChecked(true);

    EXPECT_EQ(Appels(), (std::vector<TAppel>{AppelIdentifiant(7), {"ReadInputRegisters", {0, 2}}}));
    EXPECT_EQ(timerActif, (std::vector<bool>{false, false}));
    EXPECT_EQ(ui().LabelAccel->text(), "1.00000");
    EXPECT_TRUE(ui().TimerAccel->isActive());

    // A tick while the timer runs: stopped during the poll, running again after it.
    timerActif.clear();
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk, {0xC0, 0x00, 0x00, 0x00});
    fenetre->TimerAccelTimer();
    EXPECT_EQ(timerActif, (std::vector<bool>{false, false}));
    EXPECT_EQ(ui().LabelAccel->text(), "-2.00000");
    EXPECT_TRUE(ui().TimerAccel->isActive());

    ui().ChoixAcceleration->setChecked(false);
    EXPECT_EQ(Appels().size(), 4u);  // switching off sends nothing
    EXPECT_FALSE(ui().TimerAccel->isActive());
    EXPECT_EQ(ui().LabelAccel->text(), "xxxx");
}

TEST_F(Mesures, TemperaturePollShowsOneDecimalAtOnce)
{
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    std::vector<bool> timerActif;
    enregistreur::PendantAppel([&](const TAppel&) { timerActif.push_back(ui().TimerTempe->isActive()); });
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk, {0x41, 0xB4, 0x00, 0x00});

    ui().ChoixTempe->setChecked(true);

    EXPECT_EQ(Appels(), (std::vector<TAppel>{AppelIdentifiant(1), {"ReadInputRegisters", {2, 2}}}));
    EXPECT_EQ(timerActif, (std::vector<bool>{false, false}));
    EXPECT_EQ(ui().LabelTempe->text(), "22,5");
    EXPECT_TRUE(ui().TimerTempe->isActive());

    timerActif.clear();
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk, {0xC1, 0xA0, 0x00, 0x00});
    fenetre->TimerTempeTimer();
    EXPECT_EQ(timerActif, (std::vector<bool>{false, false}));
    EXPECT_EQ(ui().LabelTempe->text(), "-20,0");
    EXPECT_TRUE(ui().TimerTempe->isActive());

    ui().ChoixTempe->setChecked(false);
    EXPECT_FALSE(ui().TimerTempe->isActive());
    EXPECT_EQ(ui().LabelTempe->text(), "xx");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST_F(Mesures, FailedOrValuelessReadsShowErrAndPollingGoesOn)
{
    enregistreur::AjouteReponse("ReadInputRegisters", kResNoAnswer);
    ui().ChoixAcceleration->setChecked(true);
    EXPECT_EQ(ui().LabelAccel->text(), "err");
    EXPECT_TRUE(ui().TimerAccel->isActive());

    enregistreur::AjouteReponse("ReadInputRegisters", kResCrcError);
    ui().ChoixTempe->setChecked(true);
    EXPECT_EQ(ui().LabelTempe->text(), "err");
    EXPECT_TRUE(ui().TimerTempe->isActive());

    // A float whose exponent field is 255 has no value.
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk, {0x7F, 0xC0, 0x00, 0x00});
    fenetre->TimerTempeTimer();
    EXPECT_EQ(ui().LabelTempe->text(), "err");
    EXPECT_TRUE(ui().TimerTempe->isActive());
    EXPECT_TRUE(erreurs.isEmpty());  // polling never opens a box
}

TEST_F(Mesures, TimerTicksPollAgainAfterTheInterval)
{
    ui().ChoixAcceleration->setChecked(true);
    ASSERT_EQ(enregistreur::AppelsDe("ReadInputRegisters").size(), 1u);
    QElapsedTimer chrono;
    chrono.start();
    ASSERT_TRUE(QTest::qWaitFor([] { return enregistreur::AppelsDe("ReadInputRegisters").size() >= 3; }, 5000));
    EXPECT_GE(chrono.elapsed(), 2 * 300 - 20);  // two full intervals
    ui().ChoixAcceleration->setChecked(false);
}

TEST_F(Mesures, MonitoringShowsLedsAndTheSevenValues)
{
    std::vector<bool> timerActif;
    enregistreur::PendantAppel([&](const TAppel&) { timerActif.push_back(ui().TimerMonit->isActive()); });
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk,
                                ReponseMonit(0x0100, {1024, 1536, 1024, 0, 1024, 100, 0}));

    ui().ChoixMonitor->setChecked(true);

    EXPECT_EQ(Appels(), (std::vector<TAppel>{AppelIdentifiant(1), {"ReadInputRegisters", {4, 8}}}));
    EXPECT_EQ(timerActif, (std::vector<bool>{false, false}));
    EXPECT_TRUE(ui().TimerMonit->isActive());
    EXPECT_EQ(LedsAllumees(), 16);
    EXPECT_EQ(LedsRouges(), std::vector<int>{1});
    EXPECT_EQ(ui().JvLED1->displayedColor(), kRouge);
    EXPECT_EQ(ui().JvLED2->displayedColor(), kVert);
    EXPECT_EQ(ui().MonitIsupply->text(), "50.00");
    EXPECT_EQ(ui().MonitVcell->text(), "5.00");
    EXPECT_EQ(ui().MonitVref->text(), "5.00");
    EXPECT_EQ(ui().MonitVin->text(), "0.70");
    EXPECT_EQ(ui().MonitVdd->text(), "10.00");
    EXPECT_EQ(ui().MonitVss->text(), "-1.04");
    EXPECT_EQ(ui().MonitVout->text(), "-5.00");

    // A failed read darkens the LEDs, keeps the values, and polling goes on; the timer is
    // stopped during the poll of a tick.
    timerActif.clear();
    enregistreur::AjouteReponse("ReadInputRegisters", kResNoAnswer);
    fenetre->TimerMonitTimer();
    EXPECT_EQ(timerActif, (std::vector<bool>{false, false}));
    EXPECT_EQ(LedsAllumees(), 0);
    EXPECT_EQ(ui().JvLED1->displayedColor(), kSarcelle);
    EXPECT_EQ(ui().MonitIsupply->text(), "50.00");
    EXPECT_EQ(ui().MonitVss->text(), "-1.04");
    EXPECT_TRUE(ui().TimerMonit->isActive());
    EXPECT_TRUE(erreurs.isEmpty());

    // The next good read lights them again with fresh colours.
    enregistreur::AjouteReponse("ReadInputRegisters", kResOk, ReponseMonit(0x0001, {0, 0, 0, 0, 0, 0, 512}));
    fenetre->TimerMonitTimer();
    EXPECT_EQ(LedsAllumees(), 16);
    EXPECT_EQ(LedsRouges(), std::vector<int>{9});
    EXPECT_EQ(ui().MonitVout->text(), "0.00");
    EXPECT_EQ(ui().MonitVin->text(), "0.70");

    // Switching off darkens the LEDs and stops the timer; the values stay.
    ui().ChoixMonitor->setChecked(false);
    EXPECT_EQ(LedsAllumees(), 0);
    EXPECT_FALSE(ui().TimerMonit->isActive());
    EXPECT_EQ(ui().MonitVout->text(), "0.00");
}

TEST_F(Mesures, StatusWordBitsDriveTheirLeds)
{
    PollStatut(0x0000);
    EXPECT_TRUE(LedsRouges().empty());
    PollStatut(0xFFFF);
    EXPECT_EQ(LedsRouges().size(), 16u);
    PollStatut(0x0100);
    EXPECT_EQ(LedsRouges(), std::vector<int>{1});
    PollStatut(0x8000);
    EXPECT_EQ(LedsRouges(), std::vector<int>{8});
    PollStatut(0x0001);
    EXPECT_EQ(LedsRouges(), std::vector<int>{9});
    PollStatut(0x0080);
    EXPECT_EQ(LedsRouges(), std::vector<int>{16});
    PollStatut(0x1422);  // high byte bits 2 and 4, low byte bits 1 and 5
    EXPECT_EQ(LedsRouges(), (std::vector<int>{3, 5, 10, 14}));
}

TEST_F(Mesures, LedMethods)
{
    fenetre->AllumeLeds();
    EXPECT_EQ(LedsAllumees(), 16);
    fenetre->ColoreLeds1a8(0x81);
    fenetre->ColoreLeds9a16(0x02);
    EXPECT_EQ(LedsRouges(), (std::vector<int>{1, 8, 10}));
    fenetre->EteintLeds();
    EXPECT_EQ(LedsAllumees(), 0);
    // Colouring does not switch a LED on.
    fenetre->ColoreLeds1a8(0xFF);
    EXPECT_EQ(LedsAllumees(), 0);
    EXPECT_EQ(ui().JvLED4->onColor(), kRouge);
    EXPECT_EQ(ui().JvLED4->displayedColor(), kSarcelle);
    EXPECT_TRUE(Appels().empty());
}
