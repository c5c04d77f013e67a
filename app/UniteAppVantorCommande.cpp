// Raw command tool: sends the request PDU typed as hexadecimal text in EditCommande, once or
// at the period of UpDownTimeOut, to the sensor chosen in EditId or as a broadcast, and logs
// each reply as hexadecimal text in MemoCommande.
#include "UniteAppVantor.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <string>

#include "DefKorvane.h"
#include "UtilKorvane.h"
#include "UtilSerial.h"
#include "ui_UniteAppVantor.h"

namespace {

constexpr unsigned long kPauseApresCommandeMs = 5;
constexpr int kBitException = 0x80;

}  // namespace

void TFenetrePrincipale::BoutEnvoiCmdClick()
{
    // The broadcast choice is taken once: the identifier 0 applied here is always replaced by
    // the one of EditId on the way out, even if the box is unticked while an error box is open.
    const bool diffusion = ui->ChoixBroadcast->isChecked();
    struct TRetablitIdentifiant {
        TFenetrePrincipale* fenetre;
        bool actif;
        ~TRetablitIdentifiant()
        {
            if (actif)
                fenetre->AppliqueIdentifiant();
        }
    };

    if (diffusion)
        MODBUS_SetupConnect(-1, -1, -1, 0);
    else
        AppliqueIdentifiant();
    TRetablitIdentifiant retablit{this, diffusion};

    const std::string texte = ui->EditCommande->text().toLatin1().toStdString();
    std::uint32_t longueur = static_cast<std::uint32_t>(texte.size() / 2);
    TDataArea zone{};
    HexTextToBuffer(texte, zone);

    const TResultCode resultat = MODBUS_exchange(zone.data(), &longueur);
    const TMessageIndex indexMessage = ResultCodeToMessageIndex(resultat);
    const std::string reponse = BufferToHexText(zone, static_cast<int>(std::min<std::uint32_t>(longueur, kTailleZone)));

    QThread::msleep(kPauseApresCommandeMs);

    if (indexMessage == 0 && !diffusion) {
        ui->MemoCommande->appendPlainText(QString::fromStdString(reponse));
        // A reply made of the address and the CRC only carries no function code, and an
        // exception reply may lack its code byte: say so rather than read missing digits.
        if (reponse.size() < 2) {
            MontreErreur(QStringLiteral("Erreur. Réponse vide : aucun code de fonction reçu."));
        } else if ((HexTextToInt(reponse.substr(0, 2)) & kBitException) != 0) {
            if (reponse.size() < 4)
                MontreErreur(QStringLiteral("Erreur. Le numéro d'exception est absent de la réponse."));
            else
                MontreErreur(QStringLiteral("Erreur. Le numéro d'exception est : ")
                             + QString::fromStdString(reponse.substr(2, 2)));
        }
    }
    if (indexMessage != 0) {
        ui->ChoixPeriodique->setChecked(false);
        MontreErreur(QString::fromStdString(MessageText(indexMessage)));
    }
}

void TFenetrePrincipale::ChoixPeriodiqueClick()
{
    if (!ui->ChoixPeriodique->isChecked())
        return;
    ui->BoutEnvoi->setEnabled(false);
    ui->EditCommande->setEnabled(false);
    PeriodCommandeTimer();
}

void TFenetrePrincipale::PeriodCommandeTimer()
{
    PeriodCommande->stop();
    if (ui->ChoixPeriodique->isChecked()) {
        BoutEnvoiCmdClick();
        PeriodCommande->setInterval(ui->UpDownTimeOut->position());
        PeriodCommande->start();
    } else {
        ui->BoutEnvoi->setEnabled(true);
        ui->EditCommande->setEnabled(true);
    }
}
