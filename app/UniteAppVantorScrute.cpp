// Bus scan: tries every slave address from 1 to 127 with a read of input register 0 and lists
// the addresses that answer correctly. The scan runs inside the click handler on the GUI thread
// and keeps the window alive by dispatching pending messages after each address.
#include "UniteAppVantor.h"

#include <QCoreApplication>
#include <QListWidgetItem>
#include <QThread>

#include "DefKorvane.h"
#include "LectureRegistres.h"
#include "RegistresVantor.h"
#include "UtilKorvane.h"
#include "WidgetsVantorListeImages.h"
#include "ui_UniteAppVantor.h"

namespace {

constexpr int kPremiereAdresse = kAdresseMin;
constexpr int kDerniereAdresse = kAdresseMax;
constexpr unsigned long kPauseParAdresseMs = 10;

// Progress after an address: 100 * address / 127 to the nearest whole number.
int PositionApres(int adresse)
{
    return (200 * adresse + kDerniereAdresse) / (2 * kDerniereAdresse);
}

}  // namespace

void TFenetrePrincipale::BoutScruteClick()
{
    // The scan dispatches messages between addresses, so a second click on "Scruter" could
    // start a scan inside the running one; it is refused instead.
    if (m_scrutationEnCours)
        return;
    m_scrutationEnCours = true;

    // Every way out (end of the addresses, stop, an exception passing through) releases the
    // port, puts the identifier of EditId back in force and, if the window was asked to close
    // while the scan was running, closes it now that nothing holds it open any more.
    struct TFinScrutation {
        TFenetrePrincipale* fenetre;
        ~TFinScrutation()
        {
            MODBUS_ClosePort();
            fenetre->AppliqueIdentifiant();
            fenetre->m_scrutationEnCours = false;
            if (fenetre->m_fermetureDemandee) {
                fenetre->m_fermetureDemandee = false;
                fenetre->close();
            }
        }
    };

    m_arretScrute = false;
    ui->PositionScrute->setValue(0);
    ui->ListeScrute->clear();

    MODBUS_OpenPort();
    TFinScrutation fin{this};

    for (int adresse = kPremiereAdresse; adresse <= kDerniereAdresse; ++adresse) {
        MODBUS_SetupConnect(-1, -1, -1, adresse);
        const TResultCode resultat = LitEntrees(kLectureDetection).res;
        QThread::msleep(kPauseParAdresseMs);

        if (ResultCodeToMessageIndex(resultat) == 0) {
            new QListWidgetItem(ListeImages->image(0), QStringLiteral("Address %1 : sensor detected").arg(adresse),
                                ui->ListeScrute);
        }
        ui->PositionScrute->setValue(PositionApres(adresse));

        // A request to close the window ends the scan like "Stop" does.
        if (m_arretScrute || m_fermetureDemandee)
            break;

        const int nombreTrouves = ui->ListeScrute->count();
        if (nombreTrouves > 0)
            ui->ListeScrute->setCurrentRow(nombreTrouves - 1);

        QCoreApplication::processEvents();
    }
}

void TFenetrePrincipale::BoutArreteScruteClick()
{
    m_arretScrute = true;
}
