// The main window as built from its description: every widget by name with its kind, parent,
// place, caption and initial state; the pages and their tabs; the keyboard; the widget kinds.
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "FenetreEssai.h"
#include "WidgetsVantorChoix.h"
#include "WidgetsVantorListeImages.h"
#include "WidgetsVantorSaisie.h"
#include "WidgetsVantorUpDown.h"
#include "WidgetsVantorVoyants.h"

namespace {

class Fenetre : public ::testing::Test {
protected:
    void SetUp() override { essai.Cree(); }
    QWidget* W(const char* nom) { return essai.fenetre->findChild<QWidget*>(QString::fromLatin1(nom)); }
    WidgetsFenetre& ui() { return essai.ui(); }
    FenetreEssai essai;
};

struct Place {
    const char* nom;
    const char* classe;
    const char* parent;
    int x, y, w, h;  // w = 0: a label, whose size follows its text
    const char* texte;
};

// The places and captions of the description (pixels at 96 dpi).
const Place kPlaces[] = {
    {"GroupBox2", "QGroupBox", "FenetrePrincipale", 8, 0, 457, 65, "Communication parameters"},
    {"GroupBox1", "QGroupBox", "FenetrePrincipale", 8, 64, 457, 353, ""},
    {"TabControleFonctions", "QTabWidget", "GroupBox1", 2, 15, 453, 336, nullptr},
    {"Label12", "QLabel", "GroupBox2", 8, 16, 0, 0, "Id"},
    {"EditId", "TSpinEntier", "GroupBox2", 8, 32, 97, 22, "1"},
    {"Label1", "QLabel", "GroupBox2", 120, 16, 0, 0, "Port"},
    {"ChoixPort", "TComboChoix", "GroupBox2", 120, 32, 97, 21, nullptr},
    {"Label7", "QLabel", "GroupBox2", 232, 16, 0, 0, "Baud rate"},
    {"ChoixBR", "TComboChoix", "GroupBox2", 232, 32, 97, 21, nullptr},
    {"Label2", "QLabel", "GroupBox2", 344, 16, 0, 0, "Parity"},
    {"ChoixParite", "TComboChoix", "GroupBox2", 344, 32, 89, 21, nullptr},
    // Vantor page
    {"GroupMesures", "QGroupBox", "TabVantor", 0, 0, 445, 65, "Signals"},
    {"GroupMoniteur", "QGroupBox", "TabVantor", 0, 65, 445, 128, "Monitoring"},
    {"GroupBox4", "QGroupBox", "TabVantor", 0, 193, 445, 115, "Configuration"},
    {"ChoixAcceleration", "QCheckBox", "GroupMesures", 16, 16, 97, 17, "Acceleration"},
    {"Label13", "QLabel", "GroupMesures", 120, 40, 0, 0, "g"},
    {"BoutReset", "QPushButton", "GroupMesures", 127, 10, 66, 25, "Reset"},
    {"ChoixTempe", "QCheckBox", "GroupMesures", 312, 16, 97, 17, "Temperature"},
    {"Label14", "QLabel", "GroupMesures", 368, 40, 0, 0, "°C"},
    {"ChoixMonitor", "QCheckBox", "GroupMoniteur", 16, 16, 57, 17, "ON/OFF"},
    {"BoutAutoTest", "QPushButton", "GroupMoniteur", 127, 9, 66, 25, "Self Test"},
    {"MonitVcell", "TAffichage", "GroupMoniteur", 216, 56, 49, 21, "0.00"},
    {"MonitVin", "TAffichage", "GroupMoniteur", 272, 56, 49, 21, "0.00"},
    {"MonitVss", "TAffichage", "GroupMoniteur", 328, 56, 49, 21, "0.00"},
    {"MonitVdd", "TAffichage", "GroupMoniteur", 384, 56, 49, 21, "0.00"},
    {"MonitVref", "TAffichage", "GroupMoniteur", 216, 96, 49, 21, "0.00"},
    {"MonitIsupply", "TAffichage", "GroupMoniteur", 272, 96, 49, 21, "0.00"},
    {"MonitVout", "TAffichage", "GroupMoniteur", 328, 96, 49, 21, "0.00"},
    {"LabelMonitVcell", "QLabel", "GroupMoniteur", 216, 40, 0, 0, "Icellule"},
    {"LabelMonitIsupply", "QLabel", "GroupMoniteur", 272, 80, 0, 0, "Isupply"},
    {"LabelBit0Haut", "QLabel", "GroupMoniteur", 8, 62, 0, 0, "0"},
    // The "7" labels at x = 202: one free pixel right of the last lamps (x = 184 to 200).
    {"LabelBit7Haut", "QLabel", "GroupMoniteur", 202, 62, 0, 0, "7"},
    {"LabelBit0Bas", "QLabel", "GroupMoniteur", 8, 104, 0, 0, "0"},
    {"LabelBit7Bas", "QLabel", "GroupMoniteur", 202, 104, 0, 0, "7"},
    {"EditFiltre", "TSpinNumerique", "GroupBox4", 16, 32, 65, 21, "5.0"},
    {"EditFifo", "TSpinNumerique", "GroupBox4", 16, 80, 65, 21, "5.000"},
    {"EditIdCapteur", "TSpinBorne", "GroupBox4", 176, 32, 65, 21, "1"},
    {"ChoixBRCapteur", "TComboChoix", "GroupBox4", 176, 80, 65, 21, nullptr},
    {"LabelFiltre", "QLabel", "GroupBox4", 16, 16, 0, 0, "Filter"},
    {"LabelFifo", "QLabel", "GroupBox4", 16, 64, 0, 0, "Fifo sampling"},
    {"LabelIdCapteur", "QLabel", "GroupBox4", 176, 16, 0, 0, "MODBUS address"},
    {"LabelBRCapteur", "QLabel", "GroupBox4", 176, 64, 0, 0, "Baud rate"},
    {"LabelRevision", "QLabel", "GroupBox4", 336, 16, 0, 0, "Firmware Revision"},
    {"LabelSerie", "QLabel", "GroupBox4", 360, 64, 0, 0, "Serial number"},
    {"LabelHzFiltre", "QLabel", "GroupBox4", 88, 40, 0, 0, "Hz"},
    {"LabelHzFifo", "QLabel", "GroupBox4", 88, 88, 0, 0, "Hz"},
    {"BoutLitFiltre", "TBoutonRond", "GroupBox4", 104, 24, 17, 17, ""},
    {"BoutEcritFiltre", "TBoutonRond", "GroupBox4", 104, 40, 17, 17, ""},
    {"BoutLitFifo", "TBoutonRond", "GroupBox4", 104, 72, 17, 17, ""},
    {"BoutEcritFifo", "TBoutonRond", "GroupBox4", 104, 88, 17, 17, ""},
    {"BoutLitId", "TBoutonRond", "GroupBox4", 264, 24, 17, 17, ""},
    {"BoutEcritId", "TBoutonRond", "GroupBox4", 264, 40, 17, 17, ""},
    {"BoutLitBaudRate", "TBoutonRond", "GroupBox4", 264, 72, 17, 17, ""},
    {"BoutEcritBaudRate", "TBoutonRond", "GroupBox4", 264, 88, 17, 17, ""},
    {"BoutLitVersion", "TBoutonRond", "GroupBox4", 400, 40, 17, 17, ""},
    {"BoutLitNumSerie", "TBoutonRond", "GroupBox4", 400, 88, 17, 17, ""},
    {"LabelLitFiltre", "QLabel", "GroupBox4", 128, 24, 0, 0, "Read"},
    {"LabelEcritFiltre", "QLabel", "GroupBox4", 128, 40, 0, 0, "Write"},
    {"LabelLitFifo", "QLabel", "GroupBox4", 128, 72, 0, 0, "Read"},
    {"LabelEcritFifo", "QLabel", "GroupBox4", 128, 88, 0, 0, "Write"},
    {"LabelLitId", "QLabel", "GroupBox4", 288, 24, 0, 0, "Read"},
    {"LabelEcritId", "QLabel", "GroupBox4", 288, 40, 0, 0, "Write"},
    {"LabelLitBaudRate", "QLabel", "GroupBox4", 288, 72, 0, 0, "Read"},
    {"LabelEcritBaudRate", "QLabel", "GroupBox4", 288, 88, 0, 0, "Write"},
    // Read / Write page
    {"GroupBox3", "QGroupBox", "TabLectureEcriture", 0, 0, 105, 225, "Parameters"},
    {"Label3", "QLabel", "GroupBox3", 8, 16, 0, 0, "Address"},
    {"Label8", "QLabel", "GroupBox3", 8, 32, 0, 0, "0x"},
    {"EditAdresse", "THexSpin", "GroupBox3", 24, 28, 49, 21, "0"},
    {"Label4", "QLabel", "GroupBox3", 8, 56, 0, 0, "Number"},
    {"Label9", "QLabel", "GroupBox3", 8, 72, 0, 0, "0x"},
    {"EditNombre", "THexSpin", "GroupBox3", 24, 68, 49, 21, "1"},
    {"Label5", "QLabel", "GroupBox3", 8, 96, 0, 0, "Paramètre 1"},
    {"Label10", "QLabel", "GroupBox3", 8, 112, 0, 0, "0x"},
    {"EditParam1", "THexSpin", "GroupBox3", 24, 108, 49, 21, "0"},
    {"Label6", "QLabel", "GroupBox3", 8, 136, 0, 0, "Paramètre 2"},
    {"Label11", "QLabel", "GroupBox3", 8, 152, 0, 0, "0x"},
    {"EditParam2", "THexSpin", "GroupBox3", 24, 148, 49, 21, "0"},
    {"RadioGrpLecEcr", "TRadioGroup", "TabLectureEcriture", 112, 0, 89, 57, "Function"},
    {"RadioGrpTypeFonc", "TRadioGroup", "TabLectureEcriture", 208, 0, 113, 57, "function type"},
    {"BoutEnvoi", "QPushButton", "TabLectureEcriture", 360, 10, 75, 25, "Envoi"},
    {"MemoRecoit", "QPlainTextEdit", "TabLectureEcriture", 112, 64, 313, 161, ""},
    // MODBUS Command page
    {"Panel1", "QFrame", "TabCommande", 8, 8, 121, 57, nullptr},
    {"ChoixPeriodique", "QCheckBox", "Panel1", 16, 8, 73, 17, "Period"},
    {"EditTimeout", "QLineEdit", "Panel1", 16, 28, 49, 21, "100"},
    {"UpDownTimeOut", "TUpDown", "Panel1", 65, 28, 15, 21, nullptr},
    {"BoutEnvoiCmd", "QPushButton", "TabCommande", 8, 84, 65, 25, "Go"},
    {"ChoixBroadcast", "QCheckBox", "TabCommande", 8, 112, 73, 17, "Broadcast"},
    {"LabelCommande", "QLabel", "TabCommande", 8, 136, 0, 0, "Command"},
    {"EditCommande", "QLineEdit", "TabCommande", 8, 152, 121, 21, ""},
    {"MemoCommande", "QPlainTextEdit", "TabCommande", 144, 8, 289, 289, ""},
    // Bus scan page
    {"BoutScrute", "QPushButton", "TabScrute", 16, 16, 75, 25, "Scruter"},
    {"BoutArreteScrute", "QPushButton", "TabScrute", 16, 48, 75, 25, "Stop"},
    {"ListeScrute", "QListWidget", "TabScrute", 112, 8, 313, 273, nullptr},
    {"PositionScrute", "QProgressBar", "TabScrute", 112, 288, 313, 16, nullptr},
};

QString TexteDe(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w))
        return s->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(w))
        return m->toPlainText();
    return {};
}

TEST_F(Fenetre, EveryWidgetHasItsKindParentPlaceAndCaption)
{
    for (const Place& p : kPlaces) {
        SCOPED_TRACE(p.nom);
        QWidget* w = W(p.nom);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(p.classe)) << w->metaObject()->className();
        ASSERT_NE(w->parentWidget(), nullptr);
        // Pages of a tab control sit in its stack; groups and panels hold their widgets directly.
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(p.parent));
        EXPECT_EQ(w->pos(), QPoint(p.x, p.y));
        if (p.w > 0) {
            EXPECT_EQ(w->size(), QSize(p.w, p.h));
        }
        if (p.texte != nullptr) {
            EXPECT_EQ(TexteDe(w), QString::fromUtf8(p.texte));
        }
    }
}

TEST_F(Fenetre, LargeLabelsKeepTheirRightEdgeWhenTheTextChanges)
{
    struct Droite {
        TLabelDroite* label;
        int droite, y;
        const char* texte;
    } labels[] = {{ui().LabelAccel, 115, 32, "xxxx"},
                  {ui().LabelTempe, 363, 32, "xx"},
                  {ui().Label43, 411, 16, "Internal parameters"},
                  {ui().LabelVersion, 387, 32, "X.X"},
                  {ui().LabelNumSerie, 387, 80, "XXXX"}};
    for (auto& d : labels) {
        SCOPED_TRACE(d.texte);
        EXPECT_EQ(d.label->text(), QString::fromLatin1(d.texte));
        EXPECT_EQ(d.label->x() + d.label->width(), d.droite);
        EXPECT_EQ(d.label->y(), d.y);
        EXPECT_TRUE(d.label->alignment() & Qt::AlignRight);
        const int largeur = d.label->width();
        d.label->setText(QStringLiteral("-12345.67890 -12345.67890"));
        EXPECT_GT(d.label->width(), largeur);
        EXPECT_EQ(d.label->x() + d.label->width(), d.droite);
        d.label->setText(QStringLiteral("1"));
        EXPECT_EQ(d.label->x() + d.label->width(), d.droite);
    }
}

TEST_F(Fenetre, LedsAndTheirCaptions)
{
    const int xs[] = {16, 40, 64, 88, 112, 136, 160, 184};
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i + 1);
        auto* led = essai.fenetre->findChild<TLed*>(QStringLiteral("JvLED%1").arg(i + 1));
        ASSERT_NE(led, nullptr);
        EXPECT_EQ(led->parentWidget(), ui().GroupMoniteur);
        EXPECT_EQ(led->geometry(), QRect(xs[i % 8], i < 8 ? 56 : 96, 17, 17));
        EXPECT_FALSE(led->isActive());
        EXPECT_EQ(led->displayedColor(), QColor(0, 128, 128));
    }
    const char* legendes[] = {"Can",   "E2P",   "T°",   "-", nullptr, nullptr, nullptr, nullptr,
                              "Isupp", "Vcell", "Vref", "-", "Vin",   "V+",    "V-",    "Vout"};
    for (int i = 0; i < 16; ++i) {
        if (legendes[i] == nullptr)
            continue;
        SCOPED_TRACE(legendes[i]);
        auto* l = essai.fenetre->findChild<QLabel*>(QStringLiteral("LabelLed%1").arg(i + 1));
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->text(), QString::fromUtf8(legendes[i]));
        EXPECT_EQ(l->y(), i < 8 ? 40 : 80);
        // Centred above its lamp; "Isupp" stands 2 pixels left of the centre, to keep clear of
        // "Vcell" (both are wider than their lamps).
        EXPECT_NEAR(l->x() + l->width() / 2.0, xs[i % 8] + 8.5, i == 8 ? 2.0 : 1.0);
    }
    auto* commune = essai.fenetre->findChild<QLabel*>(QStringLiteral("LabelLed5a8"));
    ASSERT_NE(commune, nullptr);
    EXPECT_EQ(commune->text(), QStringLiteral("sensitive elmnt test"));
    EXPECT_NEAR(commune->x() + commune->width() / 2.0, (112 + 201) / 2.0, 1.0);
}

TEST_F(Fenetre, InitialValuesRangesAndStates)
{
    auto& u = ui();
    QStringList ports;
    for (int i = 1; i <= 12; ++i)
        ports << QStringLiteral("COM%1").arg(i);
    auto items = [](QComboBox* c) {
        QStringList l;
        for (int i = 0; i < c->count(); ++i)
            l << c->itemText(i);
        return l;
    };
    EXPECT_EQ(items(u.ChoixPort), ports);
    EXPECT_EQ(u.ChoixPort->currentIndex(), -1);
    EXPECT_EQ(u.ChoixPort->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(items(u.ChoixBR), (QStringList{"2400", "4800", "9600", "19200", "38400", "57600"}));
    EXPECT_EQ(u.ChoixBR->currentIndex(), 3);
    EXPECT_EQ(u.ChoixBR->currentText(), QStringLiteral("19200"));
    EXPECT_EQ(items(u.ChoixParite), (QStringList{"Even", "Odd", "No parity"}));
    EXPECT_EQ(u.ChoixParite->currentIndex(), 2);
    EXPECT_EQ(u.ChoixParite->currentText(), QStringLiteral("No parity"));
    EXPECT_EQ(items(u.ChoixBRCapteur), (QStringList{"9600", "19200", "38400"}));
    EXPECT_EQ(u.ChoixBRCapteur->currentIndex(), -1);
    EXPECT_EQ(u.ChoixBRCapteur->currentText(), QStringLiteral("19200"));
    EXPECT_FALSE(u.ChoixBRCapteur->isEnabled());
    for (QComboBox* c : {static_cast<QComboBox*>(u.ChoixPort), static_cast<QComboBox*>(u.ChoixBR),
                         static_cast<QComboBox*>(u.ChoixParite), static_cast<QComboBox*>(u.ChoixBRCapteur)})
        EXPECT_TRUE(c->isEditable());

    EXPECT_EQ(u.EditId->minimum(), 1);
    EXPECT_EQ(u.EditId->maximum(), 255);
    EXPECT_EQ(u.EditId->value(), 1);

    EXPECT_EQ(u.EditFiltre->decimals(), 1);
    EXPECT_DOUBLE_EQ(u.EditFiltre->minimum(), 0.1);
    EXPECT_DOUBLE_EQ(u.EditFiltre->maximum(), 10.0);
    EXPECT_DOUBLE_EQ(u.EditFiltre->value(), 5.0);
    EXPECT_EQ(u.EditFifo->decimals(), 3);
    EXPECT_DOUBLE_EQ(u.EditFifo->minimum(), 0.1);
    EXPECT_DOUBLE_EQ(u.EditFifo->maximum(), 50.0);
    EXPECT_EQ(u.EditIdCapteur->minimum(), 1);
    EXPECT_EQ(u.EditIdCapteur->maximum(), 127);
    for (QWidget* w : {static_cast<QWidget*>(u.EditFiltre), static_cast<QWidget*>(u.EditFifo),
                       static_cast<QWidget*>(u.EditIdCapteur)})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    for (QCheckBox* c : {u.ChoixAcceleration, u.ChoixTempe, u.ChoixMonitor, u.ChoixPeriodique, u.ChoixBroadcast})
        EXPECT_FALSE(c->isChecked());
    for (TAffichage* a : {u.MonitIsupply, u.MonitVcell, u.MonitVref, u.MonitVin, u.MonitVdd, u.MonitVss, u.MonitVout}) {
        EXPECT_TRUE(a->isReadOnly());
        EXPECT_EQ(a->buttonSymbols(), QAbstractSpinBox::NoButtons);
        EXPECT_EQ(a->decimals(), 2);
        a->setValue(123456.789);
        EXPECT_EQ(a->text(), QStringLiteral("123456.79"));
        a->setValue(-4.5);
        EXPECT_EQ(a->text(), QStringLiteral("-4.50"));
    }

    for (THexSpin* h : {u.EditAdresse, u.EditNombre, u.EditParam1, u.EditParam2}) {
        EXPECT_EQ(h->minimum(), 0);
        EXPECT_EQ(h->maximum(), 255);
    }
    EXPECT_EQ(u.EditNombre->value(), 1);
    EXPECT_FALSE(u.EditParam1->isEnabled());
    EXPECT_FALSE(u.EditParam2->isEnabled());
    EXPECT_FALSE(u.Label5->isEnabled());
    EXPECT_FALSE(u.Label6->isEnabled());

    EXPECT_EQ(u.RadioGrpLecEcr->items(), (QStringList{"Read", "Write"}));
    EXPECT_EQ(u.RadioGrpLecEcr->itemIndex(), 0);
    EXPECT_EQ(u.RadioGrpTypeFonc->items(), (QStringList{"System", "User"}));
    EXPECT_EQ(u.RadioGrpTypeFonc->itemIndex(), 1);
    EXPECT_TRUE(u.MemoCommande->isReadOnly());
    EXPECT_FALSE(u.MemoRecoit->isReadOnly());

    EXPECT_EQ(u.UpDownTimeOut->minimum(), 10);
    EXPECT_EQ(u.UpDownTimeOut->maximum(), 10000);
    EXPECT_EQ(u.UpDownTimeOut->position(), 100);
    EXPECT_EQ(u.EditTimeout->text(), QStringLiteral("100"));

    EXPECT_EQ(u.ListeScrute->count(), 0);
    EXPECT_EQ(u.ListeScrute->iconSize(), QSize(16, 16));
    EXPECT_TRUE(u.ListeScrute->font().bold());
    EXPECT_EQ(u.PositionScrute->minimum(), 0);
    EXPECT_EQ(u.PositionScrute->maximum(), 100);
    EXPECT_EQ(u.PositionScrute->value(), 0);

    for (QPushButton* b : {u.BoutEnvoi, u.BoutEnvoiCmd, u.BoutScrute, u.BoutArreteScrute}) {
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
        EXPECT_EQ(b->iconSize(), QSize(18, 18));
        // A greyed variant for the disabled state.
        EXPECT_NE(b->icon().pixmap(QSize(18, 18), QIcon::Disabled).toImage(),
                  b->icon().pixmap(QSize(18, 18), QIcon::Normal).toImage());
    }
    EXPECT_TRUE(u.BoutReset->icon().isNull());
    ASSERT_EQ(u.ListeImages->count(), 3);
    for (const QIcon& i : u.ListeImages->images())
        EXPECT_EQ(i.actualSize(QSize(16, 16)), QSize(16, 16));
}

// Whether code outside the window can name one of its members.
template <class F>
concept UiAtteignable = requires(F& f)
{
    f.ui;
};
template <class F>
concept TimersAtteignables = requires(F& f)
{
    f.TimerAccel;
    f.TimerTempe;
    f.TimerMonit;
    f.PeriodCommande;
    f.TimerMonitoring;
};
template <class F>
concept ListeImagesAtteignable = requires(F& f)
{
    f.ListeImages;
};
template <class F>
concept StocksAtteignables = requires(F& f)
{
    f.StockAppXml;
    f.StockApp;
};
template <class F>
concept CapturesAtteignables = requires(F& f)
{
    f.captureErreur;
}
|| requires(F& f)
{
    f.captureAvertissement;
};

// The window's widgets, timers, image list and stores are its own.
static_assert(!UiAtteignable<TFenetrePrincipale>);
static_assert(!TimersAtteignables<TFenetrePrincipale>);
static_assert(!ListeImagesAtteignable<TFenetrePrincipale>);
static_assert(!StocksAtteignables<TFenetrePrincipale>);
// Its message boxes go to the one interface given to its constructor.
static_assert(!CapturesAtteignables<TFenetrePrincipale>);

TEST_F(Fenetre, ALookUpByNameFailsLoudlyOnAWrongNameOrKind)
{
    TFenetrePrincipale& f = *essai.fenetre;
    EXPECT_EQ(ParNom<TComboChoix>(f, "ChoixPort"), f.findChild<TComboChoix*>(QStringLiteral("ChoixPort")));
    EXPECT_EQ(ParNom<QTimer>(f, "TimerAccel"), f.findChild<QTimer*>(QStringLiteral("TimerAccel")));
    EXPECT_EQ(ParNom<QTimer>(f, "TimerAccel"), ui().TimerAccel);
    // A misspelt name, and the right name with the wrong kind.
    EXPECT_THROW(ParNom<QTimer>(f, "TimerAcel"), std::logic_error);
    EXPECT_THROW(ParNom<QCheckBox>(f, "ChoixPort"), std::logic_error);
    try {
        ParNom<QCheckBox>(f, "ChoixPort");
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "\"ChoixPort\" is a TComboChoix, not a QCheckBox");
    }
    // A name given twice no longer selects one object.
    QTimer intrus(&f);
    intrus.setObjectName(QStringLiteral("TimerAccel"));
    EXPECT_THROW(ParNom<QTimer>(f, "TimerAccel"), std::logic_error);
    EXPECT_THROW(WidgetsFenetre{f}, std::logic_error);
}

TEST_F(Fenetre, NonVisualMembersAreFoundByTheirNames)
{
    TFenetrePrincipale& f = *essai.fenetre;
    const std::pair<const char*, int> timers[] = {{"TimerAccel", 300},
                                                  {"TimerTempe", 1000},
                                                  {"TimerMonit", 319},
                                                  {"PeriodCommande", 1000},
                                                  {"TimerMonitoring", 1000}};
    for (const auto& [nom, ms] : timers) {
        SCOPED_TRACE(nom);
        auto* t = f.findChild<QTimer*>(QString::fromLatin1(nom));
        ASSERT_NE(t, nullptr);
        // One timer under each name: the one the window's handlers start and stop.
        EXPECT_EQ(f.findChildren<QTimer*>(QString::fromLatin1(nom)).size(), 1);
        EXPECT_EQ(t->interval(), ms);
        EXPECT_EQ(t->timerType(), Qt::PreciseTimer);
        EXPECT_FALSE(t->isActive());
    }

    // The image list, as any tool that reaches members by name sees it.
    QObject* liste = f.findChild<QObject*>(QStringLiteral("ListeImages"));
    ASSERT_NE(liste, nullptr);
    EXPECT_EQ(liste->property("count").toInt(), 3);
    EXPECT_EQ(liste->property("tailleImages").toSize(), QSize(16, 16));
}

// Mean colour of the opaque pixels of a picture, and their largest saturation.
struct Teinte {
    QColor moyenne;
    int saturationMax = 0;
};

Teinte TeinteDe(const QIcon& icone)
{
    const QImage image = icone.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
    long r = 0, g = 0, b = 0, n = 0;
    Teinte t;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 200)
                continue;
            r += c.red();
            g += c.green();
            b += c.blue();
            ++n;
            t.saturationMax = std::max(t.saturationMax, c.hsvSaturation());
        }
    }
    if (n > 0)
        t.moyenne = QColor(int(r / n), int(g / n), int(b / n));
    return t;
}

TEST_F(Fenetre, TheImageListHoldsAGlobeGearsAndAGreyModule)
{
    const TListeImages* liste = ui().ListeImages;
    ASSERT_EQ(liste->count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(liste->image(i).pixmap(QSize(16, 16)).size(), QSize(16, 16)) << i;
    EXPECT_TRUE(liste->image(3).isNull());

    // 0, the globe: a blue ball.
    const Teinte globe = TeinteDe(liste->image(0));
    EXPECT_GT(globe.moyenne.blue(), globe.moyenne.red() + 60);
    // 1, the gears: a grey wheel and a golden one.
    const Teinte engrenages = TeinteDe(liste->image(1));
    EXPECT_GT(engrenages.saturationMax, 100);
    EXPECT_GT(engrenages.moyenne.red(), engrenages.moyenne.blue());
    // 2, the module: grey only.
    const Teinte module = TeinteDe(liste->image(2));
    EXPECT_LT(module.saturationMax, 20);
    EXPECT_TRUE(module.moyenne.isValid());
}


TEST_F(Fenetre, TwoVisibleTabsAndAFixedWindow)
{
    QTabWidget* t = ui().TabControleFonctions;
    ASSERT_EQ(t->count(), 4);
    const char* noms[] = {"TabVantor", "TabLectureEcriture", "TabCommande", "TabScrute"};
    const char* titres[] = {"Vantor", "Read / Write operation", "MODBUS Command", "Bus scan"};
    QStringList visibles;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t->widget(i)->objectName(), QString::fromLatin1(noms[i]));
        EXPECT_EQ(t->tabText(i), QString::fromLatin1(titres[i]));
        if (t->isTabVisible(i))
            visibles << t->tabText(i);
    }
    EXPECT_EQ(visibles, (QStringList{"Vantor", "Bus scan"}));
    EXPECT_FALSE(ui().TabLectureEcriture->isEnabled());
    EXPECT_FALSE(ui().TabCommande->isEnabled());
    EXPECT_TRUE(ui().TabVantor->isEnabled());
    EXPECT_TRUE(ui().TabScrute->isEnabled());
    EXPECT_EQ(t->currentIndex(), 0);

    TFenetrePrincipale& f = *essai.fenetre;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_EQ(f.size(), QSize(472, 424));
    EXPECT_EQ(f.minimumSize(), QSize(472, 424));
    EXPECT_EQ(f.maximumSize(), QSize(472, 424));
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowSystemMenuHint);
    f.resize(600, 500);
    EXPECT_EQ(f.size(), QSize(472, 424));
    // The pages' client area.
    EXPECT_NEAR(ui().TabVantor->width(), 445, 4);
    EXPECT_NEAR(ui().TabVantor->height(), 308, 8);
}

// Widgets that take the keyboard focus, in the order Tab visits them.
QStringList OrdreTab(QWidget* depart, const QStringList& noms)
{
    QStringList vus;
    QWidget* w = depart;
    for (int n = 0; n < 2000 && vus.size() < noms.size(); ++n) {
        if (noms.contains(w->objectName()) && !vus.contains(w->objectName()))
            vus << w->objectName();
        w = w->nextInFocusChain();
        if (w == depart)
            break;
    }
    return vus;
}

TEST_F(Fenetre, TabOrder)
{
    const QStringList scrute{"BoutArreteScrute", "BoutScrute", "ListeScrute"};
    EXPECT_EQ(OrdreTab(ui().BoutArreteScrute, scrute), scrute);
    // The communication group comes after the page control.
    const QStringList comm{"ListeScrute", "ChoixPort", "ChoixBR", "ChoixParite", "EditId", "TabControleFonctions"};
    EXPECT_EQ(OrdreTab(ui().ListeScrute, comm), comm);
}

TEST_F(Fenetre, EscPressesStopOnTheBusScanPage)
{
    TFenetrePrincipale& f = *essai.fenetre;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ui().TabControleFonctions->setCurrentIndex(3);
    QSignalSpy stop(ui().BoutArreteScrute, &QPushButton::clicked);
    QSignalSpy scrute(ui().BoutScrute, &QPushButton::clicked);
    QTest::keyClick(ui().ListeScrute, Qt::Key_Escape);
    EXPECT_EQ(stop.count(), 1);
    // Enter on this page presses nothing but a focused button.
    QTest::keyClick(ui().ListeScrute, Qt::Key_Return);
    EXPECT_EQ(scrute.count(), 0);
    EXPECT_EQ(stop.count(), 1);
    // On the Vantor page Esc presses nothing.
    ui().TabControleFonctions->setCurrentIndex(0);
    QTest::keyClick(ui().EditId, Qt::Key_Escape);
    EXPECT_EQ(stop.count(), 1);
}

TEST_F(Fenetre, EnterPressesThePagesDefaultButton)
{
    TFenetrePrincipale& f = *essai.fenetre;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QTabWidget* t = ui().TabControleFonctions;
    // The hidden pages are shown for this test only.
    for (int i : {1, 2}) {
        t->setTabVisible(i, true);
        t->widget(i)->setEnabled(true);
    }
    EXPECT_TRUE(ui().BoutEnvoi->isDefault());
    EXPECT_TRUE(ui().BoutEnvoiCmd->isDefault());

    t->setCurrentIndex(2);
    QSignalSpy go(ui().BoutEnvoiCmd, &QPushButton::clicked);
    ui().EditCommande->setText(QStringLiteral("03 00 00 00 01"));
    QTest::keyClick(ui().EditCommande, Qt::Key_Return);
    EXPECT_EQ(go.count(), 1);

    t->setCurrentIndex(1);
    QSignalSpy envoi(ui().BoutEnvoi, &QPushButton::clicked);
    QTest::keyClick(ui().EditAdresse, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(envoi.count(), 1);
    // The memo keeps Enter for its new lines.
    QTest::keyClick(ui().MemoRecoit, Qt::Key_Return);
    EXPECT_EQ(envoi.count(), 1);
    EXPECT_EQ(go.count(), 1);
}

// --- widget kinds ---

QLineEdit* Champ(QAbstractSpinBox* s)
{
    return s->findChild<QLineEdit*>();
}

TEST_F(Fenetre, BoundedFieldsReplaceAnOutOfRangeValueAtOnce)
{
    TSpinBorne* id = ui().EditIdCapteur;
    id->setEnabled(true);
    Champ(id)->selectAll();
    QTest::keyClicks(id, QStringLiteral("300"));
    EXPECT_EQ(id->text(), QStringLiteral("127"));
    EXPECT_EQ(id->value(), 127);
    id->setText(QStringLiteral("45"));
    EXPECT_EQ(id->value(), 45);
    id->setText(QStringLiteral("0"));
    EXPECT_EQ(id->text(), QStringLiteral("1"));
    EXPECT_EQ(id->value(), 1);
    id->setText(QStringLiteral("abc"));
    EXPECT_EQ(id->value(), 1);

    TSpinNumerique* filtre = ui().EditFiltre;
    filtre->setEnabled(true);
    Champ(filtre)->setText(QStringLiteral("0.05"));
    EXPECT_EQ(filtre->text(), QStringLiteral("0.1"));
    EXPECT_DOUBLE_EQ(filtre->value(), 0.1);
    Champ(filtre)->selectAll();
    QTest::keyClicks(filtre, QStringLiteral("25"));
    EXPECT_EQ(filtre->text(), QStringLiteral("10.0"));
    EXPECT_DOUBLE_EQ(filtre->value(), 10.0);
    Champ(filtre)->setText(QStringLiteral("2.5"));
    EXPECT_DOUBLE_EQ(filtre->value(), 2.5);

    TSpinNumerique* fifo = ui().EditFifo;
    Champ(fifo)->setText(QStringLiteral("75"));
    EXPECT_EQ(fifo->text(), QStringLiteral("50.000"));
    filtre->setValue(20.0);
    EXPECT_DOUBLE_EQ(filtre->value(), 10.0);
}

TEST_F(Fenetre, IntegerFieldReadsItsTextAndClampsWhenLeft)
{
    TSpinEntier* id = ui().EditId;
    id->setText(QStringLiteral("abc"));
    EXPECT_EQ(id->value(), 1);
    id->setText(QStringLiteral("200"));
    EXPECT_EQ(id->value(), 200);
    id->setText(QStringLiteral("0"));
    EXPECT_EQ(id->text(), QStringLiteral("0"));  // typed text stays until the field is left
    EXPECT_EQ(id->value(), 1);
    QFocusEvent sortie(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(id, &sortie);
    EXPECT_EQ(id->text(), QStringLiteral("1"));
    id->setText(QStringLiteral("999"));
    EXPECT_EQ(id->value(), 255);
    QApplication::sendEvent(id, &sortie);
    EXPECT_EQ(id->text(), QStringLiteral("255"));
    id->setValue(0);
    EXPECT_EQ(id->value(), 1);
    // Letters typed on the keyboard do not enter the field.
    Champ(id)->selectAll();
    QTest::keyClicks(id, QStringLiteral("4x2"));
    EXPECT_EQ(id->text(), QStringLiteral("42"));
}

TEST_F(Fenetre, HexadecimalFields)
{
    ui().TabLectureEcriture->setEnabled(true);
    THexSpin* a = ui().EditAdresse;
    a->setValue(10);
    EXPECT_EQ(a->text(), QStringLiteral("A"));
    a->setValue(255);
    EXPECT_EQ(a->text(), QStringLiteral("FF"));
    a->setValue(0x3C);
    EXPECT_EQ(a->text(), QStringLiteral("3C"));
    a->setValue(300);
    EXPECT_EQ(a->value(), 255);
    Champ(a)->selectAll();
    QTest::keyClicks(a, QStringLiteral("1fz3"));  // z refused, at most two characters
    EXPECT_EQ(a->text(), QStringLiteral("1F"));
    EXPECT_EQ(a->value(), 0x1F);
    Champ(a)->clear();
    EXPECT_EQ(a->value(), 0);
}

TEST_F(Fenetre, ComboChangeComesFromTheUserOnly)
{
    TComboChoix* br = ui().ChoixBR;
    QSignalSpy change(br, &TComboChoix::change);
    br->setCurrentIndex(1);
    EXPECT_EQ(change.count(), 0);
    QTest::keyClick(br, Qt::Key_Down);  // the user picks the next item
    EXPECT_EQ(br->currentIndex(), 2);
    EXPECT_EQ(change.count(), 1);

    TComboChoix* port = ui().ChoixPort;
    QSignalSpy changePort(port, &TComboChoix::change);
    QLineEdit* champ = port->lineEdit();
    champ->selectAll();
    QTest::keyClicks(champ, QStringLiteral("com5"));
    EXPECT_EQ(changePort.count(), 4);  // one per edit
    EXPECT_EQ(port->currentIndex(), 4);
    EXPECT_EQ(port->currentText(), QStringLiteral("com5"));
    QTest::keyClicks(champ, QStringLiteral("0"));
    EXPECT_EQ(port->currentIndex(), -1);
    EXPECT_EQ(port->currentText(), QStringLiteral("com50"));
    EXPECT_EQ(changePort.count(), 5);
}

TEST_F(Fenetre, CheckBoxHandlersRunWhenTheStateIsSetFromCode)
{
    // Ticking "Period" from code starts the periodic command timer through its handler.
    ui().EditCommande->setText(QStringLiteral("03 00 00 00 01"));
    enregistreur::Reinitialise();
    ui().ChoixPeriodique->setChecked(true);
    EXPECT_TRUE(ui().PeriodCommande->isActive());
    EXPECT_EQ(enregistreur::AppelsDe("exchange").size(), 1u);
    ui().ChoixPeriodique->setChecked(false);
    ui().PeriodCommande->stop();

    // Acceleration: its handler reads at once and starts the timer.
    enregistreur::Reinitialise();
    ui().ChoixAcceleration->setChecked(true);
    EXPECT_FALSE(enregistreur::AppelsDe("ReadInputRegisters").empty());
    EXPECT_TRUE(ui().TimerAccel->isActive());
    const auto n = enregistreur::Appels().size();
    ui().ChoixAcceleration->setChecked(true);  // no change, no click
    EXPECT_EQ(enregistreur::Appels().size(), n);
    ui().ChoixAcceleration->setChecked(false);
    EXPECT_FALSE(ui().TimerAccel->isActive());
}

TEST_F(Fenetre, RadioGroupReportsEveryChangeOfItsItem)
{
    ui().TabLectureEcriture->setEnabled(true);
    TRadioGroup* g = ui().RadioGrpLecEcr;
    QSignalSpy clic(g, &TRadioGroup::clicked);
    g->setItemIndex(1);
    EXPECT_EQ(g->itemIndex(), 1);
    EXPECT_EQ(clic.count(), 1);
    g->setItemIndex(1);
    EXPECT_EQ(clic.count(), 1);
    g->bouton(0)->click();
    EXPECT_EQ(g->itemIndex(), 0);
    EXPECT_EQ(clic.count(), 2);
    g->setItemIndex(-1);
    EXPECT_EQ(g->itemIndex(), -1);
    EXPECT_FALSE(g->bouton(0)->isChecked());
    EXPECT_FALSE(g->bouton(1)->isChecked());
    EXPECT_EQ(clic.count(), 3);
}

// The lamp's colour in the middle of its picture.
QColor CouleurCentre(TLed* led)
{
    return led->grab().toImage().pixelColor(9, 9);
}

TEST_F(Fenetre, LedColours)
{
    TLed* led = ui().JvLED3;
    const QColor eteinte = CouleurCentre(led);
    EXPECT_LT(eteinte.red(), 60);
    EXPECT_GT(eteinte.green(), 100);
    EXPECT_GT(eteinte.blue(), 100);
    led->setActive(true);
    EXPECT_TRUE(led->isActive());
    EXPECT_EQ(led->displayedColor(), QColor(0, 255, 0));
    const QColor allumee = CouleurCentre(led);
    EXPECT_GT(allumee.green(), 200);
    EXPECT_LT(allumee.blue(), 120);
    led->setOnColor(QColor(255, 0, 0));
    EXPECT_EQ(led->displayedColor(), QColor(255, 0, 0));
    EXPECT_GT(CouleurCentre(led).red(), 200);
    EXPECT_LT(CouleurCentre(led).green(), 120);
    led->setActive(false);
    EXPECT_EQ(led->displayedColor(), QColor(0, 128, 128));
    EXPECT_EQ(led->onColor(), QColor(255, 0, 0));
}

TEST_F(Fenetre, RoundButtonsAreFilledGreenToReadAndRedToWrite)
{
    for (TBoutonRond* b : {ui().BoutLitFiltre, ui().BoutLitFifo, ui().BoutLitId, ui().BoutLitBaudRate,
                           ui().BoutLitVersion, ui().BoutLitNumSerie}) {
        EXPECT_EQ(b->couleur(), QColor(0, 128, 0));
        EXPECT_TRUE(b->text().isEmpty());
        EXPECT_TRUE(b->toolTip().isEmpty());
        EXPECT_EQ(b->grab().toImage().pixelColor(8, 8), QColor(0, 128, 0));
    }
    for (TBoutonRond* b : {ui().BoutEcritFiltre, ui().BoutEcritFifo, ui().BoutEcritId, ui().BoutEcritBaudRate})
        EXPECT_EQ(b->grab().toImage().pixelColor(8, 8), QColor(255, 0, 0));
}

TEST_F(Fenetre, UpDownStepsStopsAndGroupsDigits)
{
    ui().TabCommande->setEnabled(true);
    TUpDown* ud = ui().UpDownTimeOut;
    QLineEdit* e = ui().EditTimeout;
    ud->setPosition(999);
    EXPECT_EQ(e->text(), QStringLiteral("999"));
    QTest::keyClick(e, Qt::Key_Up);
    EXPECT_EQ(ud->position(), 1000);
    EXPECT_EQ(e->text(), QStringLiteral("1,000"));
    ud->setPosition(10000);
    EXPECT_EQ(e->text(), QStringLiteral("10,000"));
    QTest::keyClick(e, Qt::Key_Up);
    EXPECT_EQ(ud->position(), 10000);  // no wrap-around
    ud->setPosition(10);
    QTest::keyClick(e, Qt::Key_Down);
    EXPECT_EQ(ud->position(), 10);
    e->setText(QStringLiteral("250"));
    EXPECT_EQ(ud->position(), 250);
    e->setText(QStringLiteral("2,500"));
    EXPECT_EQ(ud->position(), 2500);
    e->setText(QStringLiteral("abc"));
    EXPECT_EQ(ud->position(), 2500);
    e->setText(QStringLiteral("5"));  // below the range: the last position stays
    EXPECT_EQ(ud->position(), 2500);
    ud->setPosition(20000);
    EXPECT_EQ(ud->position(), 10000);
}

}  // namespace
