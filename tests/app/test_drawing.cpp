// The window as it is drawn with the fonts installed here (the condensed DejaVu family stands in
// for the Windows fonts the description names): texts keep clear of each other and of the lamps,
// and the buttons show the pictures they should.
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

#include "FenetreEssai.h"
#include "WidgetsVantorVoyants.h"

namespace {

// Where a label draws its text, in its parent's coordinates: the text's extent in the label's
// font, placed in the label by its alignment.
QRect RectTexte(const QLabel* label)
{
    const QFontMetrics mesure(label->font());
    return mesure.boundingRect(label->contentsRect(), static_cast<int>(label->alignment()), label->text())
        .translated(label->pos());
}

// Where a widget draws: its text for a label, its whole area otherwise.
QRect RectDessine(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return RectTexte(label);
    return w->geometry();
}

// At least one free pixel between the two, in every direction.
bool SeTouchent(const QRect& a, const QRect& b)
{
    return a.adjusted(-1, -1, 1, 1).intersects(b);
}

std::string Decrit(const QWidget* w)
{
    const QRect r = RectDessine(w);
    std::string texte = w->objectName().toStdString();
    if (const auto* label = qobject_cast<const QLabel*>(w))
        texte += " \"" + label->text().toStdString() + "\"";
    return texte + " x " + std::to_string(r.left()) + ".." + std::to_string(r.right()) + ", y "
           + std::to_string(r.top()) + ".." + std::to_string(r.bottom());
}

class Dessin : public ::testing::Test {
protected:
    void SetUp() override
    {
        TFenetrePrincipale& f = essai.Cree();
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    }
    WidgetsFenetre& ui() { return essai.ui(); }

    // The pairs of a group's widgets that touch, where one of them at least is a label.
    static std::vector<std::string> Contacts(const QWidget* groupe)
    {
        QList<const QWidget*> enfants;
        for (const QObject* o : groupe->children()) {
            const auto* w = qobject_cast<const QWidget*>(o);
            if (w != nullptr && w->isVisibleTo(groupe) && !w->objectName().startsWith(QLatin1String("qt_")))
                enfants << w;
        }
        std::vector<std::string> contacts;
        for (qsizetype i = 0; i < enfants.size(); ++i) {
            for (qsizetype j = i + 1; j < enfants.size(); ++j) {
                const QWidget* a = enfants.at(i);
                const QWidget* b = enfants.at(j);
                if (qobject_cast<const QLabel*>(a) == nullptr && qobject_cast<const QLabel*>(b) == nullptr)
                    continue;
                if (SeTouchent(RectDessine(a), RectDessine(b)))
                    contacts.push_back(Decrit(a) + " <-> " + Decrit(b));
            }
        }
        return contacts;
    }

    FenetreEssai essai;
};

TEST_F(Dessin, MonitoringCaptionsKeepClearOfEachOtherAndOfTheLamps)
{
    SCOPED_TRACE("font " + QFontInfo(ui().LabelLed9->font()).family().toStdString() + ", "
                 + std::to_string(QFontInfo(ui().LabelLed9->font()).pixelSize()) + " px");
    EXPECT_EQ(Contacts(ui().GroupMoniteur), std::vector<std::string>{});
}

TEST_F(Dessin, IsuppAndVcellStandApartAboveTheirLamps)
{
    const QRect isupp = RectTexte(ui().LabelLed9);
    const QRect vcell = RectTexte(ui().LabelLed10);
    const QRect vref = RectTexte(ui().LabelLed11);
    EXPECT_LT(isupp.right() + 1, vcell.left());
    EXPECT_LT(vcell.right() + 1, vref.left());
    // Each still stands over its lamp: its middle within the lamp's width.
    for (const auto& [texte, led] : {std::pair{isupp, ui().JvLED9}, std::pair{vcell, ui().JvLED10}}) {
        EXPECT_GE(texte.center().x(), led->x());
        EXPECT_LE(texte.center().x(), led->geometry().right());
    }

    // As drawn: the column between the two texts holds no ink.
    const QImage image = ui().GroupMoniteur->grab().toImage();
    const QColor fond = image.pixelColor(isupp.right() + 1, isupp.top() - 3);
    for (int x = isupp.right() + 1; x < vcell.left(); ++x)
        for (int y = isupp.top(); y <= isupp.bottom(); ++y)
            EXPECT_EQ(image.pixelColor(x, y), fond) << "x " << x << ", y " << y;
}

TEST_F(Dessin, TheBitNumbersKeepClearOfTheEndLamps)
{
    const std::pair<QLabel*, TLed*> paires[] = {{ui().LabelBit7Haut, ui().JvLED8},
                                                {ui().LabelBit7Bas, ui().JvLED16},
                                                {ui().LabelBit0Haut, ui().JvLED1},
                                                {ui().LabelBit0Bas, ui().JvLED9}};
    for (const auto& [label, led] : paires) {
        SCOPED_TRACE(Decrit(label) + " / " + Decrit(led));
        EXPECT_FALSE(SeTouchent(RectTexte(label), led->geometry()));
    }
}

TEST_F(Dessin, SendShowsTheStandardCheckMark)
{
    QPushButton* envoi = ui().BoutEnvoi;
    const QSize taille(18, 18);
    const QImage image = envoi->icon().pixmap(taille).toImage();
    QStyle* style = envoi->style();
    EXPECT_TRUE(image == style->standardIcon(QStyle::SP_DialogApplyButton, nullptr, envoi).pixmap(taille).toImage())
        << "not the style's check mark";
    // Not the return arrow of the style's "OK" button picture.
    EXPECT_FALSE(image == style->standardIcon(QStyle::SP_DialogOkButton, nullptr, envoi).pixmap(taille).toImage())
        << "the style's return arrow";
    EXPECT_EQ(envoi->iconSize(), taille);
}

}  // namespace
