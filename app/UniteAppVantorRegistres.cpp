// Register read/write tool: reads a block of holding or system registers, or writes one, at
// the sensor chosen in EditId, and logs each request and its outcome in MemoRecoit.
#include "UniteAppVantor.h"

#include "DefKorvane.h"
#include "UtilSerial.h"
#include "ui_UniteAppVantor.h"

namespace {

enum : int { kLecture = 0, kEcriture = 1 };
enum : int { kSysteme = 0, kUtilisateur = 1 };

}  // namespace

void TFenetrePrincipale::BoutEnvoiClick()
{
    AppliqueIdentifiant();

    const bool systeme = ui->RadioGrpTypeFonc->itemIndex() == kSysteme;
    const int adresse = ui->EditAdresse->value();

    switch (ui->RadioGrpLecEcr->itemIndex()) {
    case kLecture: {
        const int quantite = ui->EditNombre->value();
        std::uint8_t nombre = 0;
        TDataArea zone{};
        const auto lecture = systeme ? MODBUS_ReadSystemRegisters : MODBUS_ReadHoldingRegisters;
        const TResultCode resultat =
            lecture(static_cast<std::uint16_t>(adresse), static_cast<std::uint16_t>(quantite), &nombre, zone.data());
        ui->MemoRecoit->appendPlainText(QStringLiteral("Adresse : %1. Nombre : %2").arg(adresse).arg(quantite));
        ui->MemoRecoit->appendPlainText(QStringLiteral("Erreur : %1.").arg(resultat));
        ui->MemoRecoit->appendPlainText(QStringLiteral("Recu : ")
                                        + QString::fromStdString(BufferToHexText(zone, nombre)));
        break;
    }
    case kEcriture: {
        const auto ecriture = systeme ? MODBUS_WriteSystemRegister : MODBUS_WriteSingleRegister;
        const TResultCode resultat =
            ecriture(static_cast<std::uint16_t>(adresse), static_cast<std::uint8_t>(ui->EditParam1->value()),
                     static_cast<std::uint8_t>(ui->EditParam2->value()));
        ui->MemoRecoit->appendPlainText(QStringLiteral("Erreur : %1.").arg(resultat));
        break;
    }
    default:
        // No operation selected: nothing is sent.
        break;
    }
}

void TFenetrePrincipale::RadioGrpLecEcrClick()
{
    const bool ecriture = ui->RadioGrpLecEcr->itemIndex() == kEcriture;
    ui->Label5->setEnabled(ecriture);
    ui->Label6->setEnabled(ecriture);
    ui->EditParam1->setEnabled(ecriture);
    ui->EditParam2->setEnabled(ecriture);
}
