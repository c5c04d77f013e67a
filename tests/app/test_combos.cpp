// The four combo boxes as the operator uses them, with real focus changes, mouse clicks and keys
// on a shown and active window: their change handler runs once per pick or edit and never
// because the focus moved, a list was opened and closed, or a tab was clicked. The recording
// stand-in driver shows the exact calls, and the settings file what a close keeps.
#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <ostream>

#include <gtest/gtest.h>

#include "FenetreEssai.h"
#include "WidgetsVantorChoix.h"

// Readable texts and calls in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& texte, std::ostream* flux)
{
    *flux << '"' << texte.toStdString() << '"';
}
QT_END_NAMESPACE

namespace enregistreur {
void PrintTo(const TAppel& appel, std::ostream* os)
{
    *os << appel.fonction << '(';
    for (std::size_t i = 0; i < appel.arguments.size(); ++i)
        *os << (i ? ", " : "") << appel.arguments[i];
    *os << ')';
}
}  // namespace enregistreur

namespace {

using enregistreur::TAppel;
using Appels = std::vector<TAppel>;

TAppel Config(long port, long ligne, long baud, long id)
{
    return {"SetupConnect", {port, ligne, baud, id}};
}

// The text of a settings file, "<missing>" when there is none.
QString Lit(const QString& chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromLatin1(f.readAll());
}

// The settings file a close writes for these values.
QString Reglages(int port, int parite, int br, int id)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n"
               "  <FenetrePrincipale>\r\n    <FormVersion>0</FormVersion>\r\n"
               "    <ChoixPort_ItemIndex>%1</ChoixPort_ItemIndex>\r\n"
               "    <ChoixParite_ItemIndex>%2</ChoixParite_ItemIndex>\r\n"
               "    <ChoixBR_ItemIndex>%3</ChoixBR_ItemIndex>\r\n"
               "    <EditId_Value>%4</EditId_Value>\r\n  </FenetrePrincipale>\r\n</Configuration>\r\n")
        .arg(port)
        .arg(parite)
        .arg(br)
        .arg(id);
}

// Index and text of a combo box, compared as one.
struct Etat {
    int index;
    QString texte;
    bool operator==(const Etat&) const = default;
    friend void PrintTo(const Etat& e, std::ostream* os) { *os << e.index << " \"" << e.texte.toStdString() << '"'; }
};

Etat EtatDe(const QComboBox* c)
{
    return {c->currentIndex(), c->currentText()};
}

// The arrow button of a combo box, where a click opens its list.
QPoint Fleche(QComboBox* c)
{
    QStyleOptionComboBox option;
    option.initFrom(c);
    option.editable = c->isEditable();
    option.frame = c->hasFrame();
    option.subControls = QStyle::SC_All;
    return c->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, c).center();
}

class Choix : public ::testing::Test {
protected:
    void SetUp() override
    {
        TFenetrePrincipale& f = essai.Cree();
        f.show();
        f.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
        // The sensor-side box as a read of the sensor's baud rate leaves it: enabled.
        ui().ChoixBRCapteur->setEnabled(true);
        enregistreur::Reinitialise();
        etatsInitiaux = Etats();
    }

    void TearDown() override
    {
        // No list may stay open for the next case.
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    WidgetsFenetre& ui() { return essai.ui(); }

    QList<TComboChoix*> Combos() { return {ui().ChoixPort, ui().ChoixBR, ui().ChoixParite, ui().ChoixBRCapteur}; }

    QList<Etat> Etats()
    {
        QList<Etat> etats;
        for (TComboChoix* c : Combos())
            etats << EtatDe(c);
        return etats;
    }

    // The window as the operator gets it: the four boxes as the description has them, no call.
    void RienNAChange()
    {
        EXPECT_EQ(enregistreur::Appels(), Appels{});
        EXPECT_EQ(Etats(), etatsInitiaux);
        EXPECT_EQ(EtatDe(ui().ChoixPort), (Etat{-1, QStringLiteral("COM1")}));
        EXPECT_EQ(EtatDe(ui().ChoixBRCapteur), (Etat{-1, QStringLiteral("19200")}));
    }

    void FermeEtVerifieLeFichier()
    {
        ASSERT_TRUE(essai.fenetre->close());
        EXPECT_EQ(Lit(essai.Fichier()), Reglages(-1, 2, 3, 1));
    }

    static QWidget* Focus() { return QApplication::focusWidget(); }

    void ClicOnglet(int index)
    {
        QTabBar* barre = ui().TabControleFonctions->tabBar();
        QTest::mouseClick(barre, Qt::LeftButton, {}, barre->tabRect(index).center());
        ASSERT_EQ(ui().TabControleFonctions->currentIndex(), index);
    }

    // Opens the list of a box and waits until it is on screen.
    void OuvreALaSouris(QComboBox* c)
    {
        QTest::mouseClick(c, Qt::LeftButton, {}, Fleche(c));
        QTRY_VERIFY(c->view()->isVisible());
    }
    void OuvreAuClavier(QComboBox* c, Qt::Key touche, Qt::KeyboardModifiers modificateurs)
    {
        c->setFocus(Qt::TabFocusReason);
        QTest::keyClick(c, touche, modificateurs);
        QTRY_VERIFY(c->view()->isVisible());
    }
    static void FermeParEchap(QComboBox* c)
    {
        QTest::keyClick(c->view(), Qt::Key_Escape);
        QTRY_VERIFY(!c->view()->isVisible());
    }
    // Moves the mouse onto an item of the open list and clicks it.
    static void ChoisitALaSouris(QComboBox* c, int ligne)
    {
        QAbstractItemView* vue = c->view();
        const QPoint centre = vue->visualRect(vue->model()->index(ligne, c->modelColumn())).center();
        QTest::mouseMove(vue->viewport(), centre);
        QTRY_COMPARE(vue->currentIndex().row(), ligne);
        QTest::mouseClick(vue->viewport(), Qt::LeftButton, {}, centre);
        QTRY_VERIFY(!vue->isVisible());
    }

    FenetreEssai essai;
    QList<Etat> etatsInitiaux;
};

TEST_F(Choix, TabbingThroughTheWholeWindowChangesNothing)
{
    // Twice round the focus chain from the port box, which holds "COM1" with no item selected.
    ui().ChoixPort->setFocus(Qt::MouseFocusReason);
    ASSERT_EQ(Focus(), ui().ChoixPort);
    QStringList vus;
    for (int n = 0; n < 200 && vus.count(QStringLiteral("ChoixPort")) < 3; ++n) {
        QTest::keyClick(Focus(), Qt::Key_Tab);
        vus << Focus()->objectName();
    }
    for (const char* nom : {"ChoixPort", "ChoixBR", "ChoixParite", "ChoixBRCapteur"})
        EXPECT_GE(vus.count(QString::fromLatin1(nom)), 2) << nom;
    // Back the other way too.
    for (int n = 0; n < 10; ++n)
        QTest::keyClick(Focus(), Qt::Key_Backtab);
    RienNAChange();
    FermeEtVerifieLeFichier();
}

TEST_F(Choix, ClickingTheTabsChangesNothing)
{
    // The focus in the Vantor page moves to the bus scan page and back, through the
    // communication group that follows the pages in the focus chain.
    ui().ChoixPort->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(ui().MonitVout, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(Focus(), ui().MonitVout);
    ClicOnglet(3);
    EXPECT_TRUE(ui().TabScrute->isAncestorOf(Focus())) << Focus()->objectName().toStdString();
    QTest::mouseClick(ui().ListeScrute->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    ClicOnglet(0);
    ClicOnglet(3);
    ClicOnglet(0);
    RienNAChange();
    FermeEtVerifieLeFichier();
}

TEST_F(Choix, LeavingABoxWithTheMouseChangesNothing)
{
    for (TComboChoix* c : Combos()) {
        SCOPED_TRACE(c->objectName().toStdString());
        QTest::mouseClick(c->lineEdit(), Qt::LeftButton, {}, QPoint(3, 3));
        ASSERT_EQ(Focus(), c);
        QTest::mouseClick(ui().MonitVout, Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_EQ(Focus(), ui().MonitVout);
    }
    RienNAChange();
    FermeEtVerifieLeFichier();
}

TEST_F(Choix, OpeningAListAndPressingEscChangesNothing)
{
    for (TComboChoix* c : Combos()) {
        SCOPED_TRACE(c->objectName().toStdString());
        OuvreALaSouris(c);
        FermeParEchap(c);
        OuvreAuClavier(c, Qt::Key_Down, Qt::AltModifier);
        FermeParEchap(c);
        OuvreAuClavier(c, Qt::Key_F4, Qt::NoModifier);
        FermeParEchap(c);
    }
    QTest::keyClick(Focus(), Qt::Key_Tab);
    RienNAChange();
    FermeEtVerifieLeFichier();
}

TEST_F(Choix, APickWithTheMouseIsOneCall)
{
    TComboChoix* port = ui().ChoixPort;
    QSignalSpy change(port, &TComboChoix::change);
    OuvreALaSouris(port);
    ChoisitALaSouris(port, 4);
    EXPECT_EQ(EtatDe(port), (Etat{4, QStringLiteral("COM5")}));
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(4, -1, -1, -1)}));
    EXPECT_EQ(change.count(), 1);

    // Leaving the box afterwards adds nothing.
    QTest::keyClick(Focus(), Qt::Key_Tab);
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(4, -1, -1, -1)}));

    enregistreur::Reinitialise();
    OuvreALaSouris(ui().ChoixParite);
    ChoisitALaSouris(ui().ChoixParite, 0);
    OuvreALaSouris(ui().ChoixBR);
    ChoisitALaSouris(ui().ChoixBR, 5);
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, 0, -1, -1), Config(-1, -1, 5, -1)}));

    ASSERT_TRUE(essai.fenetre->close());
    EXPECT_EQ(Lit(essai.Fichier()), Reglages(4, 0, 5, 1));
}

TEST_F(Choix, APickWithTheKeyboardIsOneCall)
{
    TComboChoix* port = ui().ChoixPort;
    OuvreAuClavier(port, Qt::Key_Down, Qt::AltModifier);
    QAbstractItemView* vue = port->view();
    // From wherever the list starts, down to COM3.
    for (int n = 0; n < 12 && vue->currentIndex().row() != 2; ++n)
        QTest::keyClick(vue, vue->currentIndex().row() < 2 ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(vue->currentIndex().row(), 2);
    EXPECT_EQ(enregistreur::Appels(), Appels{});
    QTest::keyClick(vue, Qt::Key_Return);
    QTRY_VERIFY(!vue->isVisible());
    EXPECT_EQ(EtatDe(port), (Etat{2, QStringLiteral("COM3")}));
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(2, -1, -1, -1)}));

    // Up and down on the closed box pick the neighbours, one call each.
    enregistreur::Reinitialise();
    QTest::keyClick(port, Qt::Key_Down);
    QTest::keyClick(port, Qt::Key_Up);
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(3, -1, -1, -1), Config(2, -1, -1, -1)}));
}

TEST_F(Choix, OnePickInTheSensorBaudRateBoxRunsItsHandlerOnce)
{
    TComboChoix* capteur = ui().ChoixBRCapteur;
    QSignalSpy change(capteur, &TComboChoix::change);
    OuvreALaSouris(capteur);
    ChoisitALaSouris(capteur, 2);
    EXPECT_EQ(EtatDe(capteur), (Etat{2, QStringLiteral("38400")}));
    EXPECT_EQ(change.count(), 1);
    // The handler hands the PC-side baud rate.
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, -1, 3, -1)}));

    enregistreur::Reinitialise();
    OuvreAuClavier(capteur, Qt::Key_F4, Qt::NoModifier);
    QTest::keyClick(capteur->view(), Qt::Key_Up);
    QTest::keyClick(capteur->view(), Qt::Key_Enter, Qt::KeypadModifier);
    QTRY_VERIFY(!capteur->view()->isVisible());
    EXPECT_EQ(EtatDe(capteur), (Etat{1, QStringLiteral("19200")}));
    EXPECT_EQ(change.count(), 2);
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, -1, 3, -1)}));
}

TEST_F(Choix, TypedTextSelectsOncePerEditAndLeavingAddsNothing)
{
    TComboChoix* port = ui().ChoixPort;
    QTest::mouseClick(port->lineEdit(), Qt::LeftButton, {}, QPoint(3, 3));
    port->lineEdit()->selectAll();
    QTest::keyClicks(port, QStringLiteral("COM7"));
    EXPECT_EQ(EtatDe(port), (Etat{6, QStringLiteral("COM7")}));
    EXPECT_EQ(enregistreur::AppelsDe("SetupConnect").size(), 4u);
    EXPECT_EQ(enregistreur::Appels().back(), Config(6, -1, -1, -1));

    // Return and the end of the edit add nothing.
    enregistreur::Reinitialise();
    QTest::keyClick(port, Qt::Key_Return);
    QTest::keyClick(Focus(), Qt::Key_Tab);
    EXPECT_EQ(enregistreur::Appels(), Appels{});
    EXPECT_EQ(EtatDe(port), (Etat{6, QStringLiteral("COM7")}));

    // Typed text that names no item leaves none selected, also after Return and leaving.
    port->setFocus(Qt::TabFocusReason);
    port->lineEdit()->selectAll();
    QTest::keyClicks(port, QStringLiteral("X"));
    QTest::keyClick(port, Qt::Key_Return);
    QTest::keyClick(Focus(), Qt::Key_Tab);
    EXPECT_EQ(enregistreur::Appels(), (Appels{Config(-1, -1, -1, -1)}));
    EXPECT_EQ(EtatDe(port), (Etat{-1, QStringLiteral("X")}));
}

TEST_F(Choix, ReturnInABoxThatShowsAnItemWithoutSelectionChangesNothing)
{
    TComboChoix* port = ui().ChoixPort;
    port->setFocus(Qt::TabFocusReason);
    QTest::keyClick(port, Qt::Key_Return);
    QTest::keyClick(port, Qt::Key_Enter, Qt::KeypadModifier);
    RienNAChange();
}

// Runs `action` from the scan's message processing once the scan has tried `adresse`.
void ApresLAdresse(int adresse, std::function<void()> action)
{
    enregistreur::PendantAppel([adresse, action](const TAppel& appel) {
        if (appel.fonction == "SetupConnect" && appel.arguments == std::vector<long>{-1, -1, -1, adresse})
            QTimer::singleShot(0, action);
    });
}

TEST_F(Choix, ClickingATabDuringABusScanLeavesThePortOpen)
{
    ClicOnglet(3);
    QTest::mouseClick(ui().ListeScrute->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    enregistreur::Reinitialise();
    bool clique = false;
    ApresLAdresse(3, [&] {
        ClicOnglet(0);
        ClicOnglet(3);
        clique = true;
        ApresLAdresse(12, [&] { ui().BoutArreteScrute->click(); });
    });
    QTest::mouseClick(ui().BoutScrute, Qt::LeftButton);
    enregistreur::PendantAppel({});
    ASSERT_TRUE(clique);

    // Between the scan's opening and its closing the driver is only told the addresses.
    Appels attendus{{"OpenPort", {}}};
    for (long a = 1; a <= 13; ++a) {
        attendus.push_back(Config(-1, -1, -1, a));
        attendus.push_back({"ReadInputRegisters", {0, 1}});
    }
    attendus.push_back({"ClosePort", {}});
    attendus.push_back(Config(-1, -1, -1, 1));
    EXPECT_EQ(enregistreur::Appels(), attendus);
    EXPECT_EQ(EtatDe(ui().ChoixPort), (Etat{-1, QStringLiteral("COM1")}));
}

}  // namespace
