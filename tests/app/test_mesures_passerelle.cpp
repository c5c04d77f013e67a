// The window reaches a sensor behind a serial server through its own COM3: the operator picks
// COM3 with the keyboard and ticks "Acceleration", and the value comes through ser2net (RFC 2217)
// in front of the simulated bus. Nothing in the window knows of the server: the COM3 entry of
// dosdevices beside the program holds the server's name.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>

#include <gtest/gtest.h>

#include "BancVantor.h"
#include "Ser2net.h"

namespace {

// dosdevices/com3 beside the test program, naming the server; removed again at the end.
class LienCom3 {
public:
    explicit LienCom3(const std::string& cible)
        : m_chemin(QCoreApplication::applicationDirPath() + QStringLiteral("/dosdevices/com3"))
    {
        QDir().mkpath(QCoreApplication::applicationDirPath() + QStringLiteral("/dosdevices"));
        QFile::remove(m_chemin);
        if (!QFile::link(QString::fromStdString(cible), m_chemin))
            throw std::runtime_error("cannot make " + m_chemin.toStdString());
    }
    ~LienCom3() { QFile::remove(m_chemin); }
    LienCom3(const LienCom3&) = delete;
    LienCom3& operator=(const LienCom3&) = delete;

private:
    QString m_chemin;
};

}  // namespace

TEST(MesuresPasserelle, AccelerationThroughCom3NamingASerialServer)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // As the program runs: the port is closed, and each transaction opens it by its name.
    BancVantor banc(BancVantor::Options{.portOuvert = false});
    auto& capteur = banc.Capteur(1);
    capteur.SetInput(0, 0x3F80);  // 1.0 g, high word first
    capteur.SetInput(1, 0x0000);
    gatewaytest::TSer2net serveur(banc.Bus().DevicePath(), gatewaytest::TMode::Rfc2217);
    const LienCom3 com3(serveur.Url());

    TComboChoix* port = banc.Ui().ChoixPort;
    for (int n = 0; n < 12 && port->currentText() != QStringLiteral("COM3"); ++n)
        QTest::keyClick(port, port->currentIndex() < 2 ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(port->currentText(), QStringLiteral("COM3"));
    EXPECT_EQ(capteur.RequestCount(0x04), 0);

    QTest::mouseClick(banc.Ui().ChoixAcceleration, Qt::LeftButton);
    ASSERT_TRUE(banc.Ui().ChoixAcceleration->isChecked());
    EXPECT_EQ(banc.Ui().LabelAccel->text(), "1.00000");  // read at once, through the server
    EXPECT_EQ(capteur.RequestCount(0x04), 1);

    // Live: a new value reaches the window at a later tick.
    capteur.SetInput(0, 0xC000);  // -2.0 g
    ASSERT_TRUE(QTest::qWaitFor([&] { return banc.Ui().LabelAccel->text() == "-2.00000"; }, 10000));
    QTest::mouseClick(banc.Ui().ChoixAcceleration, Qt::LeftButton);
    EXPECT_FALSE(banc.Ui().ChoixAcceleration->isChecked());
    EXPECT_TRUE(banc.Erreurs().isEmpty());
}
