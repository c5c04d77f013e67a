// Pictures of the window's four pages (the two hidden ones shown for the picture only), written
// as PNG files into the build tree so that the layout can be looked at without running the program.
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QProgressBar>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

#include "FenetreEssai.h"
#include "WidgetsVantorListeImages.h"

namespace {

TEST(Captures, EveryPageIsWrittenAsAPicture)
{
    FenetreEssai essai;
    TFenetrePrincipale& f = essai.Cree();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QDir dossier(QStringLiteral(VANTOR_CAPTURES_DIR));
    ASSERT_TRUE(dossier.mkpath(QStringLiteral(".")));

    QTabWidget* onglets = essai.ui().TabControleFonctions;
    const char* noms[] = {"page0_vantor.png", "page1_read_write.png", "page2_command.png", "page3_bus_scan.png"};
    for (int i = 0; i < onglets->count(); ++i) {
        SCOPED_TRACE(noms[i]);
        const bool cache = !onglets->isTabVisible(i);
        if (cache) {
            onglets->setTabVisible(i, true);
            onglets->widget(i)->setEnabled(true);
        }
        onglets->setCurrentIndex(i);
        QApplication::processEvents();
        const QImage image = f.grab().toImage();
        EXPECT_EQ(image.size(), QSize(472, 424));
        const QString chemin = dossier.filePath(QString::fromLatin1(noms[i]));
        ASSERT_TRUE(image.save(chemin, "PNG"));
        EXPECT_EQ(QImage(chemin).size(), QSize(472, 424));
        if (cache) {
            onglets->setTabVisible(i, false);
            onglets->widget(i)->setEnabled(false);
        }
    }

    // The bus scan page as a scan that found sensors at 1 and 5 leaves it.
    onglets->setCurrentIndex(3);
    for (int adresse : {1, 5})
        new QListWidgetItem(essai.ui().ListeImages->image(0),
                            QStringLiteral("Address %1 : sensor detected").arg(adresse), essai.ui().ListeScrute);
    essai.ui().ListeScrute->setCurrentRow(1);
    essai.ui().PositionScrute->setValue(100);
    QApplication::processEvents();
    const QString chemin = dossier.filePath(QStringLiteral("page3_bus_scan_found.png"));
    ASSERT_TRUE(f.grab().toImage().save(chemin, "PNG"));
}

}  // namespace
