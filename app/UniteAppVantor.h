// The main window of AppVantor: its widgets come from UniteAppVantor.ui, its methods are the
// event handlers. The handlers are spread over several files, one per area of the window:
//   UniteAppVantor.cpp          construction, start-up, communication settings, settings file
//   UniteAppVantorMesures.cpp   live measurements and monitoring (Vantor page, "Signals", "Monitoring")
//   UniteAppVantorConfig.cpp    sensor configuration, identity, self test and reset
//   UniteAppVantorRegistres.cpp register read/write tool (hidden page)
//   UniteAppVantorCommande.cpp  raw MODBUS command tool (hidden page)
//   UniteAppVantorScrute.cpp    bus scan
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QTimer;
class TListeImages;
class QCloseEvent;
class QKeyEvent;
class QShowEvent;
class TBoitesMessage;
class TStockAppXml;
class TStockApp;
struct TRegistresLus;
struct TRequete;

namespace Ui {
class TFenetrePrincipale;
}

class TFenetrePrincipale : public QWidget {
    Q_OBJECT

public:
    // fichierReglages: the settings file; empty means "AppVantor.xml" beside the executable.
    // boites: where the window's error and warning boxes go; it must outlive the window. Without
    // it the window shows the real modal boxes (TBoitesModales).
    explicit TFenetrePrincipale(QWidget* parent = nullptr, const QString& fichierReglages = QString(),
                                TBoitesMessage* boites = nullptr);
    ~TFenetrePrincipale() override;

    // True once the saved settings have been applied, at the window's first showing.
    bool ReglagesRestaures() const;

    // Keeps the settings on disk now, as the window's destruction does: for an end that does not
    // wait for the window to be destroyed.
    void ConserveReglages();

    // Every error box of the window goes through here: modal, caption "Erreur", error icon,
    // one "OK" button (or the boxes given to the constructor).
    void MontreErreur(const QString& texte);

    // The one warning of the window: the settings file could not be read. A modal box with a
    // warning icon (or the boxes given to the constructor).
    void MontreAvertissement(const QString& texte);

public slots:
    // --- start-up and communication settings (UniteAppVantor.cpp) ---
    void FormCreate();
    void FormShow();
    void ChoixPortChange();
    void ChoixBRChange();
    void ChoixPariteChange();

    // --- measurements and monitoring (UniteAppVantorMesures.cpp) ---
    void ChoixAccelerationClick();
    void TimerAccelTimer();
    void ChoixTempeClick();
    void TimerTempeTimer();
    void ChoixMonitorClick();
    void TimerMonitTimer();
    void EteintLeds();
    void AllumeLeds();
    void ColoreLeds1a8(std::uint8_t octet);
    void ColoreLeds9a16(std::uint8_t octet);

    // --- configuration, identity, self test and reset (UniteAppVantorConfig.cpp) ---
    void BoutLitFiltreClick();
    void BoutEcritFiltreClick();
    void BoutLitFifoClick();
    void BoutEcritFifoClick();
    void BoutLitBaudRateClick();
    void BoutEcritBaudRateClick();
    void BoutLitIdClick();
    void BoutEcritIdClick();
    void BoutLitVersionClick();
    void BoutLitNumSerieClick();
    void BoutAutoTestClick();
    void BoutResetClick();
    std::int32_t EcritRegistresSysteme(const std::string& texte, std::uint8_t premierRegistre);

    // --- register read/write tool (UniteAppVantorRegistres.cpp) ---
    void BoutEnvoiClick();
    void RadioGrpLecEcrClick();

    // --- raw command tool (UniteAppVantorCommande.cpp) ---
    void BoutEnvoiCmdClick();
    void ChoixPeriodiqueClick();
    void PeriodCommandeTimer();

    // --- bus scan (UniteAppVantorScrute.cpp) ---
    void BoutScruteClick();
    void BoutArreteScruteClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Enter presses the current page's default button, Esc its cancel button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Widgets of the description (UniteAppVantor.ui). Tests and tools find them, like the timers
    // and the image list below, by their object names.
    Ui::TFenetrePrincipale* ui;

    // Timers of the window (non-visual members).
    QTimer* TimerAccel;
    QTimer* TimerTempe;
    QTimer* TimerMonit;
    QTimer* PeriodCommande;
    QTimer* TimerMonitoring;

    // Image list of the bus scan list: 0 a globe, 1 gears, 2 a grey module (16 x 16).
    TListeImages* ListeImages;

    TStockAppXml* StockAppXml;
    TStockApp* StockApp;

    // Message boxes: the ones given to the constructor, or the window's own real boxes.
    std::unique_ptr<TBoitesMessage> m_boitesModales;
    TBoitesMessage& m_boites;

    // Applies the identifier of EditId to the driver: MODBUS_SetupConnect(-1, -1, -1, EditId).
    void AppliqueIdentifiant();

    // --- measurements and monitoring (UniteAppVantorMesures.cpp) ---
    // A display's check box: switched on, one poll at once and its timer started; switched off,
    // its timer stopped and the display cleared by eteint.
    void Bascule(bool actif, QTimer* timer, void (TFenetrePrincipale::*sonde)(), const std::function<void()>& eteint);
    // One poll: its timer stopped, EditId applied, one read of input registers shown by montre, the
    // timer started again, so that the next tick comes one full interval after the poll ended.
    void Sonde(QTimer* timer, const TRequete& requete, const std::function<void(const TRegistresLus&)>& montre);

    // --- start-up (UniteAppVantor.cpp) ---
    void PrepareWidgets();
    void LieEvenements();
    void SignaleFichierIllisible();
    bool m_premierAffichage = true;
    bool m_avertissementMontre = false;

    // --- bus scan (UniteAppVantorScrute.cpp) ---
    bool m_arretScrute = false;        // set by "Stop", cleared when a scan starts
    bool m_scrutationEnCours = false;  // a scan is running (a second one is refused)
    bool m_fermetureDemandee = false;  // the window was asked to close during a scan
};
