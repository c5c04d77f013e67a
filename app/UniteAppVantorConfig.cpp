// Sensor configuration, identity, self test and reset: the "Configuration" group of the Vantor
// page and the "Self Test" and "Reset" buttons.
//
// The four settings (filter, FIFO rate, sensor baud rate, sensor address) talk to the slave
// identifier already in force; only the revision and serial-number reads, the self test and the
// reset apply EditId first. A read button enables its field before anything else; a write button
// does nothing while its field is disabled. A failure shows its message in the error box, after
// any display change of the failure path.
#include <QLabel>
#include <QString>

#include <functional>

#include "AffichageVantor.h"
#include "DefKorvane.h"
#include "LectureRegistres.h"
#include "OperationsVantor.h"
#include "RegistresVantor.h"
#include "UniteAppVantor.h"
#include "UtilKorvane.h"
#include "UtilSerial.h"
#include "ui_UniteAppVantor.h"

namespace {

// Shows the message of a failure code in the window's error box; 0 shows nothing.
void Signale(TFenetrePrincipale& fenetre, TResultCode code)
{
    if (code != kResOk)
        fenetre.MontreErreur(QString::fromStdString(MessageText(ResultCodeToMessageIndex(code))));
}

// One word into a system register, through the driver's export.
TResultCode EcritureSysteme(std::uint8_t registre, std::uint8_t haut, std::uint8_t bas)
{
    return MODBUS_WriteSystemRegister(registre, haut, bas);
}

// A read button of a setting: its field enabled first, one read of holding registers, then the
// value shown by montre, or the failure's message.
void LitReglage(TFenetrePrincipale& fenetre, QWidget* champ, const TRequete& requete,
                const std::function<void(const TRegistresLus&)>& montre)
{
    champ->setEnabled(true);
    const TRegistresLus lu = LitMaintien(requete);
    if (lu.res != kResOk) {
        Signale(fenetre, lu.res);
        return;
    }
    montre(lu);
}

// An identity read: its text in the label, or the placeholder and then the failure's message.
void MontreIdentite(TFenetrePrincipale& fenetre, TLabelDroite* label, TResultCode res, const QString& texte)
{
    label->setText(texte);
    Signale(fenetre, res);
}

}  // namespace

// --- low-pass filter: coefficient B read from holding 2-3, A/B/C written to system 64-69 ---

void TFenetrePrincipale::BoutLitFiltreClick()
{
    LitReglage(*this, ui->EditFiltre, kLectureFiltre, [this](const TRegistresLus& lu) {
        double frequence = 0.0;
        const TResultCode res = FrequenceDeB(ValeurFlottante(lu.zone, lu.nbOctets), frequence);
        if (res != kResOk) {
            Signale(*this, res);
            return;
        }
        ui->EditFiltre->setValue(frequence);  // the field keeps it within 0.1..10
    });
}

void TFenetrePrincipale::BoutEcritFiltreClick()
{
    if (!ui->EditFiltre->isEnabled())
        return;
    const TResultCode res = EcritFiltreSysteme(ui->EditFiltre->value(), EcritureSysteme);
    if (res != kResOk)
        Signale(*this, res);  // the registers already written keep their new values
}

std::int32_t TFenetrePrincipale::EcritRegistresSysteme(const std::string& texte, std::uint8_t premierRegistre)
{
    return EcritMotsSysteme(texte, premierRegistre, EcritureSysteme);
}

// --- FIFO sampling rate: divider in the high byte of holding 7 ------------------------------

void TFenetrePrincipale::BoutLitFifoClick()
{
    LitReglage(*this, ui->EditFifo, kLectureFifo,
               [this](const TRegistresLus& lu) { ui->EditFifo->setValue(FrequenceFifo(lu.zone[0])); });
}

void TFenetrePrincipale::BoutEcritFifoClick()
{
    if (!ui->EditFifo->isEnabled())
        return;
    Signale(*this, MODBUS_WriteSingleRegister(kRegistreFifo, DiviseurFifo(ui->EditFifo->value()), kOctetBasFifo));
}

// --- sensor baud rate: high byte of holding 6 -----------------------------------------------

void TFenetrePrincipale::BoutLitBaudRateClick()
{
    LitReglage(*this, ui->ChoixBRCapteur, kLectureBaudAdresse,
               [this](const TRegistresLus& lu) { ui->ChoixBRCapteur->setCurrentIndex(EntreeBaudLue(lu.zone[0])); });
}

void TFenetrePrincipale::BoutEcritBaudRateClick()
{
    if (!ui->ChoixBRCapteur->isEnabled())
        return;
    // With no entry selected (text typed into the box) the typed text must name an entry.
    const int entree = EntreeBaudAEcrire(ui->ChoixBRCapteur->currentIndex(), ui->ChoixBRCapteur->currentText());
    if (entree < 0) {
        Signale(*this, kResBadBaud);
        return;
    }
    const TRegistresLus lu = LitMaintien(kLectureBaudAdresse);
    if (lu.res != kResOk) {
        Signale(*this, lu.res);  // nothing is written
        return;
    }
    Signale(*this, MODBUS_WriteSingleRegister(kRegistreBaudAdresse, static_cast<std::uint8_t>(entree), lu.zone[1]));
}

// --- sensor MODBUS address: low byte of holding 6 -------------------------------------------

void TFenetrePrincipale::BoutLitIdClick()
{
    LitReglage(*this, ui->EditIdCapteur, kLectureBaudAdresse, [this](const TRegistresLus& lu) {
        ui->EditIdCapteur->setText(QString::number(AdresseLue(lu.zone[1])));
    });
}

void TFenetrePrincipale::BoutEcritIdClick()
{
    if (!ui->EditIdCapteur->isEnabled())
        return;
    const TRegistresLus lu = LitMaintien(kLectureBaudAdresse);
    if (lu.res != kResOk) {
        Signale(*this, lu.res);  // nothing is written
        return;
    }
    bool entier = false;
    const int adresse = ui->EditIdCapteur->text().trimmed().toInt(&entier);
    if (!entier) {
        // A text that is not an integer (an emptied field) is refused before anything is written.
        Signale(*this, kResBadParam);
        return;
    }
    Signale(*this,
            MODBUS_WriteSingleRegister(kRegistreBaudAdresse, lu.zone[0], static_cast<std::uint8_t>(adresse & 0xFF)));
}

// --- identity: firmware revision (input 12) and serial number (holding 8-11) ----------------

void TFenetrePrincipale::BoutLitVersionClick()
{
    AppliqueIdentifiant();
    const TRegistresLus lu = LitEntrees(kLectureRevision);
    MontreIdentite(*this, ui->LabelVersion, lu.res,
                   lu.res == kResOk ? TexteRevision(lu.zone[0], lu.zone[1]) : QStringLiteral("X.X"));
}

void TFenetrePrincipale::BoutLitNumSerieClick()
{
    AppliqueIdentifiant();
    const TRegistresLus lu = LitMaintien(kLectureNumSerie);
    // 8 bytes, whatever the byte count.
    MontreIdentite(*this, ui->LabelNumSerie, lu.res,
                   lu.res == kResOk ? TexteNumSerie(lu.zone) : QStringLiteral("XXXX"));
}

// --- self test (0x64) and reset (0x46): one-byte PDUs, the outcome is not shown ------------

namespace {

void EnvoieCommandeSimple(const char* codeHexa)
{
    TDataArea zone{};
    HexTextToBuffer(codeHexa, zone);
    std::uint32_t longueur = 1;
    MODBUS_exchange(zone.data(), &longueur);
}

}  // namespace

void TFenetrePrincipale::BoutAutoTestClick()
{
    AppliqueIdentifiant();
    EnvoieCommandeSimple("64");
}

void TFenetrePrincipale::BoutResetClick()
{
    AppliqueIdentifiant();
    EnvoieCommandeSimple("46");
}
