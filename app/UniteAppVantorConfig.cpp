// Sensor configuration, identity, self test and reset: the "Configuration" group of the Vantor
// page and the "Self Test" and "Reset" buttons.
//
// The four settings (filter, FIFO rate, sensor baud rate, sensor address) talk to the slave
// identifier already in force; only the revision and serial-number reads, the self test and the
// reset apply EditId first. A read button enables its field before anything else; a write button
// does nothing while its field is disabled. A failure shows its message in the error box, after
// any display change of the failure path.
#include <QString>

#include "AffichageVantor.h"
#include "DefKorvane.h"
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

// Holding register 6 (high byte: baud index, low byte: address), read as one register.
TResultCode LitRegistre6(TDataArea& zone)
{
    std::uint8_t nbOctets = 0;
    return MODBUS_ReadHoldingRegisters(kLectureBaudAdresse.debut, kLectureBaudAdresse.nombre, &nbOctets, zone.data());
}

}  // namespace

// --- low-pass filter: coefficient B read from holding 2-3, A/B/C written to system 64-69 ---

void TFenetrePrincipale::BoutLitFiltreClick()
{
    ui->EditFiltre->setEnabled(true);
    TDataArea zone{};
    std::uint8_t nbOctets = 0;
    TResultCode res = MODBUS_ReadHoldingRegisters(kLectureFiltre.debut, kLectureFiltre.nombre, &nbOctets, zone.data());
    if (res != kResOk) {
        Signale(*this, res);
        return;
    }
    double frequence = 0.0;
    res = FrequenceDeB(ValeurFlottante(zone, nbOctets), frequence);
    if (res != kResOk) {
        Signale(*this, res);
        return;
    }
    ui->EditFiltre->setValue(frequence);  // the field keeps it within 0.1..10
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
    ui->EditFifo->setEnabled(true);
    TDataArea zone{};
    std::uint8_t nbOctets = 0;
    const TResultCode res =
        MODBUS_ReadHoldingRegisters(kLectureFifo.debut, kLectureFifo.nombre, &nbOctets, zone.data());
    if (res != kResOk) {
        Signale(*this, res);
        return;
    }
    ui->EditFifo->setValue(FrequenceFifo(zone[0]));
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
    ui->ChoixBRCapteur->setEnabled(true);
    TDataArea zone{};
    const TResultCode res = LitRegistre6(zone);
    if (res != kResOk) {
        Signale(*this, res);
        return;
    }
    ui->ChoixBRCapteur->setCurrentIndex(EntreeBaudLue(zone[0]));
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
    TDataArea zone{};
    TResultCode res = LitRegistre6(zone);
    if (res != kResOk) {
        Signale(*this, res);  // nothing is written
        return;
    }
    res = MODBUS_WriteSingleRegister(kRegistreBaudAdresse, static_cast<std::uint8_t>(entree), zone[1]);
    Signale(*this, res);
}

// --- sensor MODBUS address: low byte of holding 6 -------------------------------------------

void TFenetrePrincipale::BoutLitIdClick()
{
    ui->EditIdCapteur->setEnabled(true);
    TDataArea zone{};
    const TResultCode res = LitRegistre6(zone);
    if (res != kResOk) {
        Signale(*this, res);
        return;
    }
    ui->EditIdCapteur->setText(QString::number(AdresseLue(zone[1])));
}

void TFenetrePrincipale::BoutEcritIdClick()
{
    if (!ui->EditIdCapteur->isEnabled())
        return;
    TDataArea zone{};
    TResultCode res = LitRegistre6(zone);
    if (res != kResOk) {
        Signale(*this, res);  // nothing is written
        return;
    }
    bool entier = false;
    const int adresse = ui->EditIdCapteur->text().trimmed().toInt(&entier);
    if (!entier) {
        // A text that is not an integer (an emptied field) is refused before anything is written.
        Signale(*this, kResBadParam);
        return;
    }
    res = MODBUS_WriteSingleRegister(kRegistreBaudAdresse, zone[0], static_cast<std::uint8_t>(adresse & 0xFF));
    Signale(*this, res);
}

// --- identity: firmware revision (input 12) and serial number (holding 8-11) ----------------

void TFenetrePrincipale::BoutLitVersionClick()
{
    AppliqueIdentifiant();
    TDataArea zone{};
    std::uint8_t nbOctets = 0;
    const TResultCode res =
        MODBUS_ReadInputRegisters(kLectureRevision.debut, kLectureRevision.nombre, &nbOctets, zone.data());
    if (res == kResOk) {
        ui->LabelVersion->setText(TexteRevision(zone[0], zone[1]));
    } else {
        ui->LabelVersion->setText(QStringLiteral("X.X"));
        Signale(*this, res);
    }
}

void TFenetrePrincipale::BoutLitNumSerieClick()
{
    AppliqueIdentifiant();
    TDataArea zone{};
    std::uint8_t nbOctets = 0;
    const TResultCode res =
        MODBUS_ReadHoldingRegisters(kLectureNumSerie.debut, kLectureNumSerie.nombre, &nbOctets, zone.data());
    if (res == kResOk) {
        ui->LabelNumSerie->setText(TexteNumSerie(zone));  // 8 bytes, whatever the byte count
    } else {
        ui->LabelNumSerie->setText(QStringLiteral("XXXX"));
        Signale(*this, res);
    }
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
