// The main window's widgets, timers and image list as the tests use them: typed pointers, each one
// looked up by its object name when the struct is built (ParNom: a name that is missing, or names
// an object of another kind, throws). The window keeps its own members private; this is the view
// from outside, by the names of the description and of the constructor.
//
//     WidgetsFenetre ui(fenetre);
//     ui.BoutLitVersion->click();
//     EXPECT_EQ(ui.LabelVersion->text(), "1.10");
//
// Build it after the window and do not keep it beyond the window's life.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include "ParNom.h"
#include "WidgetsVantorChoix.h"
#include "WidgetsVantorListeImages.h"
#include "WidgetsVantorSaisie.h"
#include "WidgetsVantorUpDown.h"
#include "WidgetsVantorVoyants.h"

// One member per object: its type, and its name, which is also the object name looked up.
#define VANTOR_PAR_NOM(Type, Nom) Type* const Nom = ParNom<Type>(fenetre_, #Nom)

struct WidgetsFenetre {
    explicit WidgetsFenetre(const QObject& fenetre) : fenetre_(fenetre) {}

private:
    const QObject& fenetre_;  // declared first: the members below are looked up in it

public:
    // Communication parameters.
    VANTOR_PAR_NOM(TSpinEntier, EditId);
    VANTOR_PAR_NOM(TComboChoix, ChoixPort);
    VANTOR_PAR_NOM(TComboChoix, ChoixBR);
    VANTOR_PAR_NOM(TComboChoix, ChoixParite);

    // The page control and its four pages.
    VANTOR_PAR_NOM(QTabWidget, TabControleFonctions);
    VANTOR_PAR_NOM(QWidget, TabVantor);
    VANTOR_PAR_NOM(QWidget, TabLectureEcriture);
    VANTOR_PAR_NOM(QWidget, TabCommande);
    VANTOR_PAR_NOM(QWidget, TabScrute);

    // Vantor page: measurements.
    VANTOR_PAR_NOM(QCheckBox, ChoixAcceleration);
    VANTOR_PAR_NOM(TLabelDroite, LabelAccel);
    VANTOR_PAR_NOM(QCheckBox, ChoixTempe);
    VANTOR_PAR_NOM(TLabelDroite, LabelTempe);
    VANTOR_PAR_NOM(QPushButton, BoutReset);

    // Vantor page: monitoring.
    VANTOR_PAR_NOM(QGroupBox, GroupMoniteur);
    VANTOR_PAR_NOM(QCheckBox, ChoixMonitor);
    VANTOR_PAR_NOM(QPushButton, BoutAutoTest);
    VANTOR_PAR_NOM(TLabelDroite, Label43);
    VANTOR_PAR_NOM(TLed, JvLED1);
    VANTOR_PAR_NOM(TLed, JvLED2);
    VANTOR_PAR_NOM(TLed, JvLED3);
    VANTOR_PAR_NOM(TLed, JvLED4);
    VANTOR_PAR_NOM(TLed, JvLED5);
    VANTOR_PAR_NOM(TLed, JvLED6);
    VANTOR_PAR_NOM(TLed, JvLED7);
    VANTOR_PAR_NOM(TLed, JvLED8);
    VANTOR_PAR_NOM(TLed, JvLED9);
    VANTOR_PAR_NOM(TLed, JvLED10);
    VANTOR_PAR_NOM(TLed, JvLED11);
    VANTOR_PAR_NOM(TLed, JvLED12);
    VANTOR_PAR_NOM(TLed, JvLED13);
    VANTOR_PAR_NOM(TLed, JvLED14);
    VANTOR_PAR_NOM(TLed, JvLED15);
    VANTOR_PAR_NOM(TLed, JvLED16);
    VANTOR_PAR_NOM(QLabel, LabelBit0Haut);
    VANTOR_PAR_NOM(QLabel, LabelBit7Haut);
    VANTOR_PAR_NOM(QLabel, LabelBit0Bas);
    VANTOR_PAR_NOM(QLabel, LabelBit7Bas);
    VANTOR_PAR_NOM(QLabel, LabelLed9);
    VANTOR_PAR_NOM(QLabel, LabelLed10);
    VANTOR_PAR_NOM(QLabel, LabelLed11);
    VANTOR_PAR_NOM(TAffichage, MonitVcell);
    VANTOR_PAR_NOM(TAffichage, MonitVin);
    VANTOR_PAR_NOM(TAffichage, MonitVss);
    VANTOR_PAR_NOM(TAffichage, MonitVdd);
    VANTOR_PAR_NOM(TAffichage, MonitVref);
    VANTOR_PAR_NOM(TAffichage, MonitIsupply);
    VANTOR_PAR_NOM(TAffichage, MonitVout);

    // Vantor page: sensor configuration and identity.
    VANTOR_PAR_NOM(TSpinNumerique, EditFiltre);
    VANTOR_PAR_NOM(TBoutonRond, BoutLitFiltre);
    VANTOR_PAR_NOM(TBoutonRond, BoutEcritFiltre);
    VANTOR_PAR_NOM(TSpinNumerique, EditFifo);
    VANTOR_PAR_NOM(TBoutonRond, BoutLitFifo);
    VANTOR_PAR_NOM(TBoutonRond, BoutEcritFifo);
    VANTOR_PAR_NOM(TSpinBorne, EditIdCapteur);
    VANTOR_PAR_NOM(TBoutonRond, BoutLitId);
    VANTOR_PAR_NOM(TBoutonRond, BoutEcritId);
    VANTOR_PAR_NOM(TComboChoix, ChoixBRCapteur);
    VANTOR_PAR_NOM(TBoutonRond, BoutLitBaudRate);
    VANTOR_PAR_NOM(TBoutonRond, BoutEcritBaudRate);
    VANTOR_PAR_NOM(TLabelDroite, LabelVersion);
    VANTOR_PAR_NOM(TBoutonRond, BoutLitVersion);
    VANTOR_PAR_NOM(TLabelDroite, LabelNumSerie);
    VANTOR_PAR_NOM(TBoutonRond, BoutLitNumSerie);

    // Register read/write page.
    VANTOR_PAR_NOM(THexSpin, EditAdresse);
    VANTOR_PAR_NOM(THexSpin, EditNombre);
    VANTOR_PAR_NOM(QLabel, Label5);
    VANTOR_PAR_NOM(THexSpin, EditParam1);
    VANTOR_PAR_NOM(QLabel, Label6);
    VANTOR_PAR_NOM(THexSpin, EditParam2);
    VANTOR_PAR_NOM(TRadioGroup, RadioGrpLecEcr);
    VANTOR_PAR_NOM(TRadioGroup, RadioGrpTypeFonc);
    VANTOR_PAR_NOM(QPushButton, BoutEnvoi);
    VANTOR_PAR_NOM(QPlainTextEdit, MemoRecoit);

    // Raw command page.
    VANTOR_PAR_NOM(QCheckBox, ChoixPeriodique);
    VANTOR_PAR_NOM(QLineEdit, EditTimeout);
    VANTOR_PAR_NOM(TUpDown, UpDownTimeOut);
    VANTOR_PAR_NOM(QPushButton, BoutEnvoiCmd);
    VANTOR_PAR_NOM(QCheckBox, ChoixBroadcast);
    VANTOR_PAR_NOM(QLineEdit, EditCommande);
    VANTOR_PAR_NOM(QPlainTextEdit, MemoCommande);

    // Bus scan page.
    VANTOR_PAR_NOM(QPushButton, BoutScrute);
    VANTOR_PAR_NOM(QPushButton, BoutArreteScrute);
    VANTOR_PAR_NOM(QListWidget, ListeScrute);
    VANTOR_PAR_NOM(QProgressBar, PositionScrute);

    // Non-visual members: the timers and the image list of the bus scan list.
    VANTOR_PAR_NOM(QTimer, TimerAccel);
    VANTOR_PAR_NOM(QTimer, TimerTempe);
    VANTOR_PAR_NOM(QTimer, TimerMonit);
    VANTOR_PAR_NOM(QTimer, PeriodCommande);
    VANTOR_PAR_NOM(QTimer, TimerMonitoring);
    VANTOR_PAR_NOM(TListeImages, ListeImages);
};

#undef VANTOR_PAR_NOM
