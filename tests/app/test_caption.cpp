// What the X11 desktop is told about the program: the caption of its window and of its error
// box exactly as the program sets them, and the program's name as the class of its windows.
// The window runs on the xcb platform against a private Xvfb server, and the window properties
// are read back from the server with xprop; without Xvfb or xprop the cases are skipped.
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FenetreEssai.h"
#include "NomAppVantor.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& texte, std::ostream* flux)
{
    *flux << '"' << texte.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

const QString kLegende = QStringLiteral("Vantor user application software. V1.0");

// A virtual X server of this process, on the first free display (Xvfb tells which through a
// pipe once it accepts connections), ended with the object.
class TServeurX {
public:
    TServeurX()
    {
        int tube[2];
        if (::pipe2(tube, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(tube[1], 3);  // without close-on-exec: Xvfb writes the display number here
            const int nul = ::open("/dev/null", O_WRONLY);
            ::dup2(nul, 1);
            ::dup2(nul, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(tube[1]);
        std::string lu;
        char c = 0;
        pollfd attente{tube[0], POLLIN, 0};
        while (m_pid > 0 && ::poll(&attente, 1, 20000) == 1 && ::read(tube[0], &c, 1) == 1 && c != '\n')
            lu += c;
        ::close(tube[0]);
        if (c == '\n' && !lu.empty())
            m_display = ":" + lu;
    }
    ~TServeurX()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    TServeurX(const TServeurX&) = delete;
    TServeurX& operator=(const TServeurX&) = delete;

    // ":n", or empty when no server could be started.
    const std::string& Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// The properties of a window as xprop prints them: name -> value ("" when unset).
std::map<QString, QString> Proprietes(const QWidget& fenetre)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-notype"), QStringLiteral("-id"), QString::number(fenetre.winId()),
                 QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME"), QStringLiteral("WM_CLASS")});
    std::map<QString, QString> proprietes;
    if (!xprop.waitForFinished(10000) || xprop.exitCode() != 0)
        return proprietes;
    for (const QString& ligne : QString::fromUtf8(xprop.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const auto egal = ligne.indexOf(QLatin1String(" = "));
        if (egal > 0)
            proprietes[ligne.left(egal)] = ligne.mid(egal + 3);
    }
    return proprietes;
}

class Bureau : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (QApplication::instance() != nullptr)
            return;
        s_serveur = std::make_unique<TServeurX>();
        if (s_serveur->Display().empty())
            return;
        qputenv("DISPLAY", QByteArray::fromStdString(s_serveur->Display()));
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char nom[] = "test_caption";
        static char* argv[] = {nom, nullptr};
        s_application = std::make_unique<QApplication>(argc, argv);
        NomAppVantor::NommeApplication();
    }

    // The application leaves the server before the server ends.
    static void TearDownTestSuite()
    {
        s_application.reset();
        s_serveur.reset();
    }

    void SetUp() override
    {
        if (s_application == nullptr)
            GTEST_SKIP() << "no X server: Xvfb is not available";
        if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
            GTEST_SKIP() << "xprop is not available";
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    static std::unique_ptr<TServeurX> s_serveur;
    static std::unique_ptr<QApplication> s_application;
};

std::unique_ptr<TServeurX> Bureau::s_serveur;
std::unique_ptr<QApplication> Bureau::s_application;

QString Guillemets(const QString& texte)
{
    return QLatin1Char('"') + texte + QLatin1Char('"');
}

TEST_F(Bureau, TheWindowCaptionIsExactlyTheProgramsCaption)
{
    FenetreEssai essai;
    TFenetrePrincipale& f = essai.Cree();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_NE(f.windowHandle(), nullptr);
    EXPECT_EQ(f.windowHandle()->title(), kLegende);

    const auto proprietes = Proprietes(f);
    ASSERT_FALSE(proprietes.empty());
    EXPECT_EQ(proprietes.at(QStringLiteral("_NET_WM_NAME")), Guillemets(kLegende));
    EXPECT_EQ(proprietes.at(QStringLiteral("WM_NAME")), Guillemets(kLegende));
}

TEST_F(Bureau, TheDesktopKnowsTheProgramByItsName)
{
    const QString nom = QStringLiteral("KELDRA Vantor demo application");
    EXPECT_EQ(NomAppVantor::NomApplication(), nom);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), nom);

    FenetreEssai essai;
    TFenetrePrincipale& f = essai.Cree();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    // Instance, then class: the class names the program.
    const auto proprietes = Proprietes(f);
    ASSERT_FALSE(proprietes.empty());
    EXPECT_EQ(proprietes.at(QStringLiteral("WM_CLASS")), QStringLiteral("\"test_caption\", ") + Guillemets(nom));
}

TEST_F(Bureau, TheErrorBoxCaptionIsExactlyErreur)
{
    FenetreEssai essai;
    TFenetrePrincipale& f = essai.Cree(FenetreEssai::kBoitesReelles);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));

    std::map<QString, QString> proprietes;
    bool vue = false;
    QTimer attente;
    attente.setInterval(10);
    QObject::connect(&attente, &QTimer::timeout, [&] {
        auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (boite == nullptr || vue)
            return;
        vue = true;
        if (QTest::qWaitForWindowExposed(boite))
            proprietes = Proprietes(*boite);
        boite->accept();
    });
    attente.start();
    f.MontreErreur(QStringLiteral("Read error"));
    attente.stop();

    ASSERT_TRUE(vue);
    ASSERT_FALSE(proprietes.empty());
    EXPECT_EQ(proprietes.at(QStringLiteral("_NET_WM_NAME")), Guillemets(QStringLiteral("Erreur")));
}

}  // namespace
