// The warning the window shows once when it could not use its settings file: it says what really
// happened to the file. A file moved aside is named as it was kept; a directory, a FIFO, a link to
// a FIFO or a file that may not be written is left as it is, and the box says so.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "FenetreEssai.h"

namespace {

void Ecrit(const QString& chemin, const QByteArray& texte)
{
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(texte);
}

QByteArray Lit(const QString& chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList Entrees(const QString& dossier)
{
    return QDir(dossier).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

#if !defined(_WIN32)
mode_t Type(const QString& chemin)
{
    struct stat st {};
    ::lstat(QFile::encodeName(chemin).constData(), &st);
    return st.st_mode & S_IFMT;
}
#endif

// Shows the window, waits for its one warning, runs pendant while the window is open, closes it;
// returns the warning's text.
QString AvertissementDUnTour(FenetreEssai& essai, const std::function<void()>& pendant = {})
{
    TFenetrePrincipale& f = essai.Cree();
    f.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !essai.avertissements.isEmpty(); }));
    if (pendant)
        pendant();
    EXPECT_TRUE(f.close());
    essai.fenetre.reset();
    EXPECT_EQ(essai.avertissements.size(), 1);
    return essai.avertissements.value(0);
}

const QString kLaisse =
    QStringLiteral("The design values are used; the file is left as it is and will not be written.");

TEST(AvertissementReglages, ADirectoryIsLeftAsItIs)
{
    FenetreEssai essai;
    ASSERT_TRUE(QDir().mkdir(essai.Fichier()));
    const QString texte = AvertissementDUnTour(essai);
    EXPECT_TRUE(texte.endsWith(kLaisse)) << texte.toStdString();
    EXPECT_FALSE(texte.contains(QStringLiteral("kept as"))) << texte.toStdString();
    EXPECT_TRUE(QFileInfo(essai.Fichier()).isDir());
    EXPECT_EQ(Entrees(essai.dossier.path()), QStringList{"AppVantor.xml"});
}

// FIFOs are nodes of POSIX file systems only.
#if !defined(_WIN32)
TEST(AvertissementReglages, AFifoIsLeftAsItIs)
{
    FenetreEssai essai;
    ASSERT_EQ(::mkfifo(QFile::encodeName(essai.Fichier()).constData(), 0644), 0);
    const QString texte = AvertissementDUnTour(essai);
    EXPECT_TRUE(texte.endsWith(kLaisse)) << texte.toStdString();
    EXPECT_FALSE(texte.contains(QStringLiteral("kept as"))) << texte.toStdString();
    EXPECT_EQ(Type(essai.Fichier()), static_cast<mode_t>(S_IFIFO));
    EXPECT_EQ(Entrees(essai.dossier.path()), QStringList{"AppVantor.xml"});
}

TEST(AvertissementReglages, ALinkToAFifoElsewhereIsLeftAsItIs)
{
    FenetreEssai essai;
    QTemporaryDir ailleurs;
    const QString tube = ailleurs.filePath(QStringLiteral("tube"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tube).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(tube, essai.Fichier()));
    const QString texte = AvertissementDUnTour(essai);
    EXPECT_TRUE(texte.endsWith(kLaisse)) << texte.toStdString();
    EXPECT_EQ(Type(tube), static_cast<mode_t>(S_IFIFO));
    EXPECT_EQ(Type(essai.Fichier()), static_cast<mode_t>(S_IFLNK));
    EXPECT_EQ(Entrees(ailleurs.path()), QStringList{"tube"});
    EXPECT_EQ(Entrees(essai.dossier.path()), QStringList{"AppVantor.xml"});
}

#endif

TEST(AvertissementReglages, AReadOnlyUnreadableFileIsLeftAsItIs)
{
    FenetreEssai essai;
    Ecrit(essai.Fichier(), "pas du XML");
    ASSERT_TRUE(QFile::setPermissions(essai.Fichier(),
                                      QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther));
    const QString texte = AvertissementDUnTour(essai);
    EXPECT_TRUE(texte.endsWith(kLaisse)) << texte.toStdString();
    EXPECT_EQ(Lit(essai.Fichier()), "pas du XML");
    EXPECT_EQ(Entrees(essai.dossier.path()), QStringList{"AppVantor.xml"});
}

// Without boxes of its own the window shows the real warning: modal, under the window's caption,
// with the warning icon and one "OK" button.
TEST(AvertissementReglages, TheRealWarningIsAModalBoxWithTheWindowCaption)
{
    FenetreEssai essai;
    ASSERT_TRUE(QDir().mkdir(essai.Fichier()));
    QString titre, texte;
    QMessageBox::Icon icone = QMessageBox::NoIcon;
    QStringList boutons;
    bool modale = false;
    bool vue = false;
    // Looks for the box while it is open, notes what it shows, and closes it with its button.
    QTimer cherche;
    cherche.setInterval(10);
    QObject::connect(&cherche, &QTimer::timeout, [&] {
        auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (boite == nullptr)
            return;
        cherche.stop();
        vue = true;
        titre = boite->windowTitle();
        texte = boite->text();
        icone = boite->icon();
        modale = boite->isModal();
        for (QAbstractButton* b : boite->buttons())
            boutons << b->text().remove('&');
        if (!boite->buttons().isEmpty())
            boite->buttons().first()->click();
        else
            boite->reject();
    });
    cherche.start();
    TFenetrePrincipale& f = essai.Cree(FenetreEssai::kBoitesReelles);
    f.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return vue; }));
    cherche.stop();
    EXPECT_TRUE(f.close());
    essai.fenetre.reset();

    ASSERT_TRUE(vue);
    EXPECT_EQ(titre, QStringLiteral("Vantor user application software. V1.0"));
    EXPECT_TRUE(texte.startsWith(QStringLiteral("The settings file \"%1\" could not be read").arg(essai.Fichier())))
        << texte.toStdString();
    EXPECT_TRUE(texte.endsWith(kLaisse)) << texte.toStdString();
    EXPECT_EQ(icone, QMessageBox::Warning);
    EXPECT_TRUE(modale);
    EXPECT_EQ(boutons, QStringList{"OK"});
    EXPECT_TRUE(essai.avertissements.isEmpty());
}

// Two unreadable files in a row: each one is kept, and each box names the file it was kept as.
TEST(AvertissementReglages, EachUnreadableFileIsNamedAsItWasKept)
{
    FenetreEssai essai;
    const QByteArray premier = "<Configuration><FenetrePrincipale>";
    const QByteArray second = "<Configuration><EditId_Value>9</Edit";
    Ecrit(essai.Fichier(), premier);
    // Kept by the time the box appears: the box tells what has happened.
    QString texte =
        AvertissementDUnTour(essai, [&] { EXPECT_EQ(Lit(essai.Fichier() + QStringLiteral(".bad")), premier); });
    EXPECT_TRUE(
        texte.endsWith(QStringLiteral("The design values are used, and the unreadable file is kept as "
                                      "\"AppVantor.xml.bad\".")))
        << texte.toStdString();

    Ecrit(essai.Fichier(), second);
    essai.avertissements.clear();
    texte = AvertissementDUnTour(essai);
    EXPECT_TRUE(
        texte.endsWith(QStringLiteral("The design values are used, and the unreadable file is kept as "
                                      "\"AppVantor.xml.bad.1\".")))
        << texte.toStdString();
    EXPECT_EQ(Lit(essai.Fichier() + QStringLiteral(".bad")), premier);
    EXPECT_EQ(Lit(essai.Fichier() + QStringLiteral(".bad.1")), second);
    EXPECT_EQ(Entrees(essai.dossier.path()),
              (QStringList{"AppVantor.xml", "AppVantor.xml.bad", "AppVantor.xml.bad.1"}));
}

}  // namespace
