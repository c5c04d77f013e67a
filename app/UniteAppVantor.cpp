// Construction of the main window, start-up, the communication settings and the settings file.
#include "UniteAppVantor.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>

#include <tuple>

#include "BoitesModales.h"
#include "DefKorvane.h"
#include "StockApp.h"
#include "StockAppXml.h"
#include "WidgetsVantorChoix.h"
#include "WidgetsVantorImages.h"
#include "WidgetsVantorListeImages.h"
#include "WidgetsVantorUpDown.h"
#include "WidgetsVantorVoyants.h"
#include "ui_UniteAppVantor.h"

namespace {

// The window names Windows fonts; where they are missing, the nearest installed family is used.
void SubstituePolices()
{
    static const bool fait = [] {
        const QStringList sansSerif{QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans Condensed"),
                                    QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                                    QStringLiteral("Sans Serif")};
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sansSerif);
        QFont::insertSubstitutions(QStringLiteral("Tahoma"), sansSerif.mid(1));
        QFont::insertSubstitutions(QStringLiteral("Bitstream Vera Sans"),
                                   {QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
        return true;
    }();
    (void)fait;
}

// A label's size follows its text: a left-aligned label keeps its left edge, a centred one its
// centre (right-aligned labels do this themselves whenever their text changes).
void AjusteLabel(QLabel* label)
{
    const QRect avant = label->geometry();
    const QSize taille = label->sizeHint();
    int x = avant.x();
    if (label->alignment() & Qt::AlignHCenter)
        x = avant.x() + (avant.width() - taille.width()) / 2;
    label->setGeometry(x, avant.y(), taille.width(), taille.height());
}

// The button of a page marked by a property ("default" or the dynamic "annulation").
QPushButton* BoutonDePage(QWidget* page, const char* propriete)
{
    if (page == nullptr)
        return nullptr;
    const auto boutons = page->findChildren<QPushButton*>();
    for (QPushButton* b : boutons) {
        if (b->property(propriete).toBool())
            return b;
    }
    return nullptr;
}

}  // namespace

TFenetrePrincipale::TFenetrePrincipale(QWidget* parent, const QString& fichierReglages, TBoitesMessage* boites)
    : QWidget(parent),
      ui(new Ui::TFenetrePrincipale),
      m_boitesModales(boites != nullptr ? nullptr : std::make_unique<TBoitesModales>(*this)),
      m_boites(boites != nullptr ? *boites : *m_boitesModales)
{
    SubstituePolices();
    ui->setupUi(this);

    // The non-visual members, under their names like the widgets of the description.
    TimerAccel = new QTimer(this);
    TimerTempe = new QTimer(this);
    TimerMonit = new QTimer(this);
    PeriodCommande = new QTimer(this);
    TimerMonitoring = new QTimer(this);
    const std::tuple<QTimer*, const char*, int> reglages[] = {{TimerAccel, "TimerAccel", 300},
                                                              {TimerTempe, "TimerTempe", 1000},
                                                              {TimerMonit, "TimerMonit", 319},
                                                              {PeriodCommande, "PeriodCommande", 1000},
                                                              {TimerMonitoring, "TimerMonitoring", 1000}};
    for (const auto& [timer, nom, intervalle] : reglages) {
        timer->setObjectName(QString::fromLatin1(nom));
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(intervalle);
    }
    ListeImages = new TListeImages(QSize(16, 16), ImagesVantor::ListeImages(), this);
    ListeImages->setObjectName(QStringLiteral("ListeImages"));

    PrepareWidgets();
    LieEvenements();

    // The settings store reads its file once every member exists; the binding then follows the
    // window's show, close and destruction.
    StockAppXml = new TStockAppXml(fichierReglages);
    StockAppXml->Reload();
    StockApp = new TStockApp(*StockAppXml, *this);

    FormCreate();
}

TFenetrePrincipale::~TFenetrePrincipale()
{
    ConserveReglages();
    delete StockApp;
    delete StockAppXml;
    delete ui;
}

void TFenetrePrincipale::ConserveReglages()
{
    // A window that ends without a close request still keeps its settings.
    if (StockApp->Restored() && !StockApp->Saved())
        StockApp->SaveSettings();
    StockAppXml->Flush();
}

bool TFenetrePrincipale::ReglagesRestaures() const
{
    return StockApp->Restored();
}

void TFenetrePrincipale::PrepareWidgets()
{
    // Fixed single border: neither resizable nor maximisable. On Windows the thin border also tells
    // the desktop so, which then offers no sizing border (other platforms ignore the hint).
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(472, 424);

    // Pages marked in the description keep their tab hidden.
    QTabWidget* onglets = ui->TabControleFonctions;
    for (int i = 0; i < onglets->count(); ++i) {
        if (onglets->widget(i)->property("ongletCache").toBool())
            onglets->setTabVisible(i, false);
    }

    // Combo boxes without a selected item show their text of the description.
    for (TComboChoix* choix : findChildren<TComboChoix*>()) {
        const QVariant texte = choix->property("texteSansChoix");
        if (texte.isValid())
            choix->setTexteSansChoix(texte.toString());
    }

    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->objectName().startsWith(QLatin1String("Label")) && qobject_cast<TLabelDroite*>(label) == nullptr)
            AjusteLabel(label);
    }

    // The style's check mark ("OK" in the sense of "apply"; the style's OK-button picture is a
    // return arrow).
    ui->BoutEnvoi->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    ui->BoutEnvoiCmd->setIcon(ImagesVantor::CocheVerte());
    ui->BoutScrute->setIcon(ImagesVantor::FlechesCirculaires());
    ui->BoutArreteScrute->setIcon(ImagesVantor::CroixRouge());

    ui->UpDownTimeOut->setAssocie(ui->EditTimeout);
}

void TFenetrePrincipale::LieEvenements()
{
    using F = TFenetrePrincipale;

    // Communication parameters; the sensor-side baud rate box shares the PC-side handler.
    connect(ui->ChoixPort, &TComboChoix::change, this, &F::ChoixPortChange);
    connect(ui->ChoixBR, &TComboChoix::change, this, &F::ChoixBRChange);
    connect(ui->ChoixParite, &TComboChoix::change, this, &F::ChoixPariteChange);
    connect(ui->ChoixBRCapteur, &TComboChoix::change, this, &F::ChoixBRChange);

    // Check boxes: their click handler also runs when the state is set from code.
    connect(ui->ChoixAcceleration, &QCheckBox::toggled, this, &F::ChoixAccelerationClick);
    connect(ui->ChoixTempe, &QCheckBox::toggled, this, &F::ChoixTempeClick);
    connect(ui->ChoixMonitor, &QCheckBox::toggled, this, &F::ChoixMonitorClick);
    connect(ui->ChoixPeriodique, &QCheckBox::toggled, this, &F::ChoixPeriodiqueClick);

    const std::pair<QAbstractButton*, void (F::*)()> boutons[] = {
        {ui->BoutReset, &F::BoutResetClick},
        {ui->BoutAutoTest, &F::BoutAutoTestClick},
        {ui->BoutLitFiltre, &F::BoutLitFiltreClick},
        {ui->BoutEcritFiltre, &F::BoutEcritFiltreClick},
        {ui->BoutLitFifo, &F::BoutLitFifoClick},
        {ui->BoutEcritFifo, &F::BoutEcritFifoClick},
        {ui->BoutLitId, &F::BoutLitIdClick},
        {ui->BoutEcritId, &F::BoutEcritIdClick},
        {ui->BoutLitBaudRate, &F::BoutLitBaudRateClick},
        {ui->BoutEcritBaudRate, &F::BoutEcritBaudRateClick},
        {ui->BoutLitVersion, &F::BoutLitVersionClick},
        {ui->BoutLitNumSerie, &F::BoutLitNumSerieClick},
        {ui->BoutEnvoi, &F::BoutEnvoiClick},
        {ui->BoutEnvoiCmd, &F::BoutEnvoiCmdClick},
        {ui->BoutScrute, &F::BoutScruteClick},
        {ui->BoutArreteScrute, &F::BoutArreteScruteClick},
    };
    for (const auto& [bouton, handler] : boutons)
        connect(bouton, &QAbstractButton::clicked, this, handler);

    connect(ui->RadioGrpLecEcr, &TRadioGroup::clicked, this, &F::RadioGrpLecEcrClick);

    connect(TimerAccel, &QTimer::timeout, this, &F::TimerAccelTimer);
    connect(TimerTempe, &QTimer::timeout, this, &F::TimerTempeTimer);
    connect(TimerMonit, &QTimer::timeout, this, &F::TimerMonitTimer);
    connect(PeriodCommande, &QTimer::timeout, this, &F::PeriodCommandeTimer);
}

void TFenetrePrincipale::FormCreate()
{
    setWindowTitle(QStringLiteral("Vantor user application software. V1.0"));
    ui->EditId->setText(QStringLiteral("1"));
    MODBUS_SetupConnect(ui->ChoixPort->currentIndex(), ui->ChoixParite->currentIndex(), ui->ChoixBR->currentIndex(),
                        ui->EditId->value());
    ui->TabControleFonctions->setCurrentIndex(0);
    MODBUS_OpenPort();
}

void TFenetrePrincipale::FormShow()
{
    MODBUS_SetupConnect(ui->ChoixPort->currentIndex(), ui->ChoixParite->currentIndex(), ui->ChoixBR->currentIndex(),
                        ui->EditId->value());
}

void TFenetrePrincipale::ChoixPortChange()
{
    MODBUS_SetupConnect(ui->ChoixPort->currentIndex(), -1, -1, -1);
}

void TFenetrePrincipale::ChoixBRChange()
{
    // Also the handler of ChoixBRCapteur: the PC-side box is the one read.
    MODBUS_SetupConnect(-1, -1, ui->ChoixBR->currentIndex(), -1);
}

void TFenetrePrincipale::ChoixPariteChange()
{
    MODBUS_SetupConnect(-1, ui->ChoixParite->currentIndex(), -1, -1);
}

void TFenetrePrincipale::AppliqueIdentifiant()
{
    MODBUS_SetupConnect(-1, -1, -1, ui->EditId->value());
}

void TFenetrePrincipale::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window brought back from the task bar is not shown anew.
    if (event->spontaneous())
        return;
    if (m_premierAffichage) {
        m_premierAffichage = false;
        StockApp->RestoreSettings();
        FormShow();
        if (StockAppXml->FileWasUnreadable() && !m_avertissementMontre) {
            m_avertissementMontre = true;
            // After the window has appeared, not inside its show.
            QTimer::singleShot(0, this, &TFenetrePrincipale::SignaleFichierIllisible);
        }
        return;
    }
    FormShow();
}

void TFenetrePrincipale::closeEvent(QCloseEvent* event)
{
    if (m_scrutationEnCours) {
        // The bus scan closes the window when it has stopped.
        m_fermetureDemandee = true;
        event->ignore();
        return;
    }
    event->accept();
    StockApp->SaveSettings();
}

void TFenetrePrincipale::keyPressEvent(QKeyEvent* event)
{
    const bool entree = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool echap = event->key() == Qt::Key_Escape;
    if ((entree || echap) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        QPushButton* bouton = nullptr;
        if (entree) {
            // A focused push button takes Enter for itself; otherwise the page's default button.
            bouton = qobject_cast<QPushButton*>(focusWidget());
            if (bouton == nullptr || !isAncestorOf(bouton))
                bouton = BoutonDePage(ui->TabControleFonctions->currentWidget(), "default");
        } else {
            bouton = BoutonDePage(ui->TabControleFonctions->currentWidget(), "annulation");
        }
        if (bouton != nullptr && bouton->isEnabled() && bouton->isVisible()) {
            event->accept();
            bouton->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void TFenetrePrincipale::MontreErreur(const QString& texte)
{
    m_boites.Erreur(texte);
}

void TFenetrePrincipale::MontreAvertissement(const QString& texte)
{
    m_boites.Avertissement(texte);
}

void TFenetrePrincipale::SignaleFichierIllisible()
{
    // The file is moved aside now, so that the box names the file it was really kept as.
    StockAppXml->KeepUnreadableAside();
    QString texte = QStringLiteral("The settings file \"%1\" could not be read").arg(StockAppXml->FullName());
    if (!StockAppXml->UnreadableReason().isEmpty())
        texte += QStringLiteral(" (%1)").arg(StockAppXml->UnreadableReason());
    if (!StockAppXml->KeptAsideAs().isEmpty()) {
        const QString garde = QFileInfo(StockAppXml->KeptAsideAs()).fileName();
        texte += QStringLiteral(".\nThe design values are used, and the unreadable file is kept as \"%1\".").arg(garde);
    } else if (StockAppXml->LeavesFileAlone()) {
        // A directory, a FIFO, a device, a read-only file, or one that could not be moved aside:
        // nothing was kept and nothing will replace it.
        texte += QStringLiteral(".\nThe design values are used; the file is left as it is and will not be written.");
    } else {
        // The file has gone, or become readable, since the window was built.
        texte += QStringLiteral(".\nThe design values are used.");
    }
    MontreAvertissement(texte);
}
