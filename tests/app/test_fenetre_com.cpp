// The Windows program's window through korvane.dll and COM1, against the simulated sensors at
// addresses 1 and 5 (sim-on-port): the operator's clicks, the live acceleration, the bus scan,
// and the settings file beside the program with the design values byte for byte.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLocale>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "BoitesEnregistrees.h"
#include "UniteAppVantor.h"
#include "WidgetsFenetre.h"

namespace {

const QString kFichier = QStringLiteral("AppVantor.xml");

QByteArray Lit(const QString& chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}

// The list's lines, one per line of the result.
std::string Textes(const QListWidget& liste)
{
    QStringList textes;
    for (int i = 0; i < liste.count(); ++i)
        textes << liste.item(i)->text();
    return textes.join('\n').toStdString();
}

// The window as the program makes it: its settings file beside the executable, on COM1 by
// default. Its message boxes are recorded.
class FenetreCom : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(Beside());
        fenetre = std::make_unique<TFenetrePrincipale>(nullptr, QString(), &boites);
        ui = std::make_unique<WidgetsFenetre>(*fenetre);
        fenetre->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(fenetre.get()));
    }
    void TearDown() override
    {
        ui.reset();
        fenetre.reset();
        QFile::remove(Beside());
    }

    static QString Beside() { return QCoreApplication::applicationDirPath() + '/' + kFichier; }

    void Onglet(int index)
    {
        QTabBar* barre = ui->TabControleFonctions->tabBar();
        QTest::mouseClick(barre, Qt::LeftButton, {}, barre->tabRect(index).center());
        ASSERT_EQ(ui->TabControleFonctions->currentIndex(), index);
    }

    BoitesEnregistrees boites;
    std::unique_ptr<TFenetrePrincipale> fenetre;
    std::unique_ptr<WidgetsFenetre> ui;
};

TEST_F(FenetreCom, TickingAccelerationShowsTheSensorsLiveValues)
{
    EXPECT_EQ(ui->LabelAccel->text(), "xxxx");
    QCheckBox* choix = ui->ChoixAcceleration;
    QTest::mouseClick(choix, Qt::LeftButton);
    ASSERT_TRUE(choix->isChecked());
    // The simulated sensor's acceleration moves about 1 g; each poll shows one reading.
    QStringList lectures;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QString texte = ui->LabelAccel->text();
            if (lectures.isEmpty() || lectures.back() != texte)
                lectures << texte;
            return lectures.size() >= 3;
        },
        10000))
        << lectures.join(' ').toStdString();
    for (const QString& texte : lectures) {
        bool nombre = false;
        const double g = texte.toDouble(&nombre);
        EXPECT_TRUE(nombre && g > 0.5 && g < 1.5) << texte.toStdString();
    }
    QTest::mouseClick(choix, Qt::LeftButton);
    EXPECT_FALSE(choix->isChecked());
    EXPECT_EQ(ui->LabelAccel->text(), "xxxx");
    EXPECT_TRUE(boites.erreurs.isEmpty()) << boites.erreurs.join('\n').toStdString();
}

TEST_F(FenetreCom, TheBusScanFindsBothSensors)
{
    Onglet(3);
    QTest::mouseClick(ui->BoutScrute, Qt::LeftButton);
    EXPECT_EQ(Textes(*ui->ListeScrute), "Address 1 : sensor detected\nAddress 5 : sensor detected");
    EXPECT_EQ(ui->PositionScrute->value(), ui->PositionScrute->maximum());
    EXPECT_TRUE(boites.erreurs.isEmpty()) << boites.erreurs.join('\n').toStdString();
}

TEST_F(FenetreCom, ClosingWritesTheDesignValuesBesideTheProgram)
{
    EXPECT_TRUE(fenetre->close());
    EXPECT_EQ(Lit(Beside()),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n"
              "  <FenetrePrincipale>\r\n    <FormVersion>0</FormVersion>\r\n"
              "    <ChoixPort_ItemIndex>-1</ChoixPort_ItemIndex>\r\n"
              "    <ChoixParite_ItemIndex>2</ChoixParite_ItemIndex>\r\n"
              "    <ChoixBR_ItemIndex>3</ChoixBR_ItemIndex>\r\n"
              "    <EditId_Value>1</EditId_Value>\r\n  </FenetrePrincipale>\r\n</Configuration>\r\n");
}

}  // namespace
