// Register read/write tool against simulated sensors, end to end through the real driver library.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <ostream>

#include "BancVantor.h"
#include "RepondeurFixe.h"
#include "korvane.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& texte, std::ostream* flux)
{
    *flux << '"' << texte.toStdString() << '"';
}

namespace {

using vantor::sim::Bytes;
using vantor::test::RepondeurFixe;

// The tool's page stays hidden and disabled in the program; the tests enable it (without
// showing it), as the operator would find it if it were shown.
WidgetsFenetre& PageOuverte(BancVantor& banc)
{
    banc.Ui().TabLectureEcriture->setEnabled(true);
    return banc.Ui();
}

QStringList Journal(WidgetsFenetre& ui)
{
    const QString texte = ui.MemoRecoit->toPlainText();
    return texte.isEmpty() ? QStringList() : texte.split('\n');
}

enum { kLecture = 0, kEcriture = 1 };
enum { kSysteme = 0, kUtilisateur = 1 };

void Prepare(WidgetsFenetre& ui, int operation, int type, int adresse, int nombre, int param1 = 0, int param2 = 0)
{
    ui.RadioGrpLecEcr->setItemIndex(operation);
    ui.RadioGrpTypeFonc->setItemIndex(type);
    ui.EditAdresse->setValue(adresse);
    ui.EditNombre->setValue(nombre);
    ui.EditParam1->setValue(param1);
    ui.EditParam2->setValue(param2);
}

TEST(OutilRegistres, LectureDUnRegistreDonneTroisLignesEtLeJournalGrandit)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    banc.Capteur(1).SetHolding(2, 0xBE0F);
    banc.Capteur(1).SetHolding(3, 0x00A5);
    Prepare(ui, kLecture, kUtilisateur, 2, 1);

    ui.BoutEnvoi->click();

    EXPECT_EQ(Journal(ui), QStringList({"Adresse : 2. Nombre : 1", "Erreur : 0.", "Recu : BE0F"}));
    // On the wire: slave 1, function 0x03, register 2, one register, CRC 25 CA.
    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x01, 0x03, 0x00, 0x02, 0x00, 0x01, 0x25, 0xCA}}));

    // A second read of two registers appends three more lines; the first three stay.
    ui.EditNombre->setValue(2);
    ui.BoutEnvoi->click();
    EXPECT_EQ(Journal(ui), QStringList({"Adresse : 2. Nombre : 1", "Erreur : 0.", "Recu : BE0F",
                                        "Adresse : 2. Nombre : 2", "Erreur : 0.", "Recu : BE0F00A5"}));
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST(OutilRegistres, LectureDuHolding0)
{
    // The simulated sensor's holding registers start at 2; a peer that answers register 0 with
    // 0x1234 stands for a device that has one.
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    RepondeurFixe repondeur({0x03, 0x02, 0x12, 0x34});
    MODBUS_SetupDevice(repondeur.Chemin().c_str());
    Prepare(ui, kLecture, kUtilisateur, 0, 1);

    ui.BoutEnvoi->click();
    MODBUS_ClosePort();

    EXPECT_EQ(repondeur.Trames(), std::vector<Bytes>({{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}}));
    EXPECT_EQ(Journal(ui), QStringList({"Adresse : 0. Nombre : 1", "Erreur : 0.", "Recu : 1234"}));
}

TEST(OutilRegistres, LesNombresDuJournalSontDecimauxEtUneLectureRefuseeNeRecoitRien)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    // Register 0x1A lies outside the sensor's map: it answers with exception 2.
    Prepare(ui, kLecture, kUtilisateur, 0x1A, 2);

    ui.BoutEnvoi->click();

    EXPECT_EQ(Journal(ui), QStringList({"Adresse : 26. Nombre : 2", "Erreur : -21.", "Recu : "}));
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST(OutilRegistres, LectureSansReponse)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    banc.Capteur(1).SetFaults({.silent = true});
    Prepare(ui, kLecture, kUtilisateur, 8, 4);

    ui.BoutEnvoi->click();

    EXPECT_EQ(Journal(ui), QStringList({"Adresse : 8. Nombre : 4", "Erreur : -3.", "Recu : "}));
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST(OutilRegistres, LectureDesRegistresSystemeDuCapteurDeEditId)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    const std::uint16_t valeurs[] = {0x3D8A, 0x25FD, 0x4187, 0x8DDE, 0xC0C3, 0xD40B};
    for (int i = 0; i < 6; ++i)
        banc.Capteur(5).SetSystem(64 + i, valeurs[i]);
    ui.EditId->setValue(5);
    Prepare(ui, kLecture, kSysteme, 0x40, 6);

    ui.BoutEnvoi->click();

    EXPECT_EQ(Journal(ui), QStringList({"Adresse : 64. Nombre : 6", "Erreur : 0.", "Recu : 3D8A25FD41878DDEC0C3D40B"}));
    EXPECT_EQ(banc.Capteur(5).RequestCount(0x41), 1);
    EXPECT_EQ(banc.Capteur(1).RequestCount(), 0);
}

TEST(OutilRegistres, EcritureUtilisateurUneLigne)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    Prepare(ui, kEcriture, kUtilisateur, 7, 1, 0x14, 0x00);

    ui.BoutEnvoi->click();

    EXPECT_EQ(Journal(ui), QStringList({"Erreur : 0."}));
    // Register 7 takes the divider in its high byte: 0x14 then 0x00.
    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x01, 0x06, 0x00, 0x07, 0x14, 0x00, 0x37, 0x0B}}));
    EXPECT_EQ(banc.Capteur(1).Holding(7) >> 8, 0x14);
}

TEST(OutilRegistres, EcritureSystemeUneLigne)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    Prepare(ui, kEcriture, kSysteme, 0x40, 1, 0x12, 0x34);

    ui.BoutEnvoi->click();

    EXPECT_EQ(Journal(ui), QStringList({"Erreur : 0."}));
    EXPECT_EQ(banc.Bus().ReceivedFrames(), std::vector<Bytes>({{0x01, 0x42, 0x00, 0x40, 0x12, 0x34, 0x75, 0x66}}));
    EXPECT_EQ(banc.Capteur(1).System(64), 0x1234);
}

TEST(OutilRegistres, EcrituresEnEchecUneLigneChacune)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    // Register 0x20 is outside the map: exception 2.
    Prepare(ui, kEcriture, kUtilisateur, 0x20, 1, 0x00, 0x01);
    ui.BoutEnvoi->click();
    EXPECT_EQ(Journal(ui), QStringList({"Erreur : -21."}));

    banc.Capteur(1).SetFaults({.silent = true});
    ui.BoutEnvoi->click();
    EXPECT_EQ(Journal(ui), QStringList({"Erreur : -21.", "Erreur : -3."}));
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}

TEST(OutilRegistres, LeChoixLectureEcritureActiveLesChampsDeValeur)
{
    BancVantor banc;
    auto& ui = PageOuverte(banc);
    const auto etats = [&ui] {
        return std::vector<bool>{ui.Label5->isEnabled(), ui.Label6->isEnabled(), ui.EditParam1->isEnabled(),
                                 ui.EditParam2->isEnabled()};
    };
    // At creation: "Read", fields disabled.
    EXPECT_EQ(ui.RadioGrpLecEcr->itemIndex(), kLecture);
    EXPECT_EQ(etats(), std::vector<bool>(4, false));

    ui.RadioGrpLecEcr->setItemIndex(kEcriture);
    EXPECT_EQ(etats(), std::vector<bool>(4, true));
    ui.EditParam1->setValue(0xAB);
    ui.EditParam2->setValue(0x0C);

    ui.RadioGrpLecEcr->setItemIndex(kLecture);
    EXPECT_EQ(etats(), std::vector<bool>(4, false));
    EXPECT_EQ(ui.EditParam1->value(), 0xAB);
    EXPECT_EQ(ui.EditParam2->value(), 0x0C);
}

}  // namespace
