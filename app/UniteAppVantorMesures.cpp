// Live measurements and monitoring of the Vantor page: the acceleration, temperature and
// monitoring displays, each switched by its check box and polled by its own timer.
//
// Every poll runs the same cycle: stop its timer, apply the slave identifier of EditId, make one
// read of input registers, show the result (or "err" / dark LEDs), and start its timer again, so
// the next tick comes one full interval after the poll ended. A failed poll never opens a box and
// never stops the polling.
#include <QTimer>

#include <array>

#include "AffichageVantor.h"
#include "DefKorvane.h"
#include "LectureRegistres.h"
#include "RegistresVantor.h"
#include "UniteAppVantor.h"
#include "ui_UniteAppVantor.h"

namespace {

// The 16 status LEDs in bit order: JvLED1..8 for the high byte, JvLED9..16 for the low byte.
std::array<TLed*, 16> Leds(Ui::TFenetrePrincipale* ui)
{
    return {ui->JvLED1, ui->JvLED2,  ui->JvLED3,  ui->JvLED4,  ui->JvLED5,  ui->JvLED6,  ui->JvLED7,  ui->JvLED8,
            ui->JvLED9, ui->JvLED10, ui->JvLED11, ui->JvLED12, ui->JvLED13, ui->JvLED14, ui->JvLED15, ui->JvLED16};
}

}  // namespace

void TFenetrePrincipale::Bascule(bool actif, QTimer* timer, void (TFenetrePrincipale::*sonde)(),
                                 const std::function<void()>& eteint)
{
    if (actif) {
        (this->*sonde)();
        timer->start();
    } else {
        timer->stop();
        eteint();
    }
}

void TFenetrePrincipale::Sonde(QTimer* timer, const TRequete& requete,
                               const std::function<void(const TRegistresLus&)>& montre)
{
    timer->stop();
    AppliqueIdentifiant();
    montre(LitEntrees(requete));
    timer->start();
}

// --- acceleration: input registers 0-1, every 300 ms ----------------------------------------

void TFenetrePrincipale::ChoixAccelerationClick()
{
    Bascule(ui->ChoixAcceleration->isChecked(), TimerAccel, &TFenetrePrincipale::TimerAccelTimer,
            [this] { ui->LabelAccel->setText(QStringLiteral("xxxx")); });
}

void TFenetrePrincipale::TimerAccelTimer()
{
    Sonde(TimerAccel, kLectureAcceleration, [this](const TRegistresLus& lu) {
        ui->LabelAccel->setText(lu.res == kResOk ? TexteAcceleration(ValeurFlottante(lu.zone, lu.nbOctets))
                                                 : QStringLiteral("err"));
    });
}

// --- temperature: input registers 2-3, every 1000 ms ----------------------------------------

void TFenetrePrincipale::ChoixTempeClick()
{
    Bascule(ui->ChoixTempe->isChecked(), TimerTempe, &TFenetrePrincipale::TimerTempeTimer,
            [this] { ui->LabelTempe->setText(QStringLiteral("xx")); });
}

void TFenetrePrincipale::TimerTempeTimer()
{
    Sonde(TimerTempe, kLectureTemperature, [this](const TRegistresLus& lu) {
        ui->LabelTempe->setText(lu.res == kResOk ? TexteTemperature(ValeurFlottante(lu.zone, lu.nbOctets))
                                                 : QStringLiteral("err"));
    });
}

// --- monitoring: input registers 4-11 in one request, every 319 ms --------------------------

void TFenetrePrincipale::ChoixMonitorClick()
{
    Bascule(ui->ChoixMonitor->isChecked(), TimerMonit, &TFenetrePrincipale::TimerMonitTimer, [this] { EteintLeds(); });
}

void TFenetrePrincipale::TimerMonitTimer()
{
    Sonde(TimerMonit, kLectureMonitoring, [this](const TRegistresLus& lu) {
        if (lu.res != kResOk) {
            EteintLeds();  // the seven values keep their last reading
            return;
        }
        AllumeLeds();
        ColoreLeds1a8(lu.zone[0]);
        ColoreLeds9a16(lu.zone[1]);
        // The first 16 data bytes, whatever the byte count (the driver clears the area).
        const std::array<double, 7> valeurs = ValeursMonitoring(lu.zone);
        ui->MonitIsupply->setValue(valeurs[0]);
        ui->MonitVcell->setValue(valeurs[1]);
        ui->MonitVref->setValue(valeurs[2]);
        ui->MonitVin->setValue(valeurs[3]);
        ui->MonitVdd->setValue(valeurs[4]);
        ui->MonitVss->setValue(valeurs[5]);
        ui->MonitVout->setValue(valeurs[6]);
    });
}

// --- status LEDs ----------------------------------------------------------------------------

void TFenetrePrincipale::EteintLeds()
{
    for (TLed* led : Leds(ui))
        led->setActive(false);
}

void TFenetrePrincipale::AllumeLeds()
{
    for (TLed* led : Leds(ui))
        led->setActive(true);
}

void TFenetrePrincipale::ColoreLeds1a8(std::uint8_t octet)
{
    const auto leds = Leds(ui);
    for (int bit = 0; bit < 8; ++bit)
        leds[static_cast<std::size_t>(bit)]->setOnColor(CouleurLed(octet, bit));
}

void TFenetrePrincipale::ColoreLeds9a16(std::uint8_t octet)
{
    const auto leds = Leds(ui);
    for (int bit = 0; bit < 8; ++bit)
        leds[static_cast<std::size_t>(8 + bit)]->setOnColor(CouleurLed(octet, bit));
}
