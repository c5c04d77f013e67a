// Start and idle costs of the main window, with the real driver talking to a simulated sensor:
//   - process start (kernel start time of this process) to the window's first paint, the
//     driver's open pause of start-up included;
//   - peak resident memory once the window has been idle for two seconds;
//   - time of one save of the settings (five values, each re-reading and rewriting the file).
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SimVantor.h"
#include "UniteAppVantor.h"
#include "WidgetsVantorSaisie.h"
#include "korvane.h"

namespace {

// Seconds since boot at which this process started (/proc/self/stat, field 22, clock ticks).
double DebutDuProcessus()
{
    std::ifstream stat("/proc/self/stat");
    std::string ligne;
    std::getline(stat, ligne);
    // The command name may hold blanks: the fields that follow start after its ')'.
    std::istringstream champs(ligne.substr(ligne.rfind(')') + 2));
    std::string champ;
    for (int i = 3; i <= 22 && champs >> champ; ++i) {
    }
    return std::stod(champ) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double MaintenantDepuisDemarrage()
{
    timespec t{};
    clock_gettime(CLOCK_BOOTTIME, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long RssActuelKo()
{
    std::ifstream status("/proc/self/status");
    std::string ligne;
    while (std::getline(status, ligne)) {
        if (ligne.rfind("VmRSS:", 0) == 0)
            return std::stol(ligne.substr(6));
    }
    return -1;
}

// Notes the moment the window has painted for the first time.
class PremierePeinture : public QObject {
public:
    double moment = -1.0;

protected:
    bool eventFilter(QObject* objet, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && moment < 0.0) {
            moment = MaintenantDepuisDemarrage();
            QTimer::singleShot(0, qApp, [] {});  // the paint has returned before anything else runs
        }
        return QObject::eventFilter(objet, event);
    }
};

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const double debut = DebutDuProcessus();
    const double avantMain = MaintenantDepuisDemarrage();

    vantor::sim::SimBus bus;
    bus.AddSensor(1);
    MODBUS_SetupDevice(bus.DevicePath().c_str());

    const double simPret = MaintenantDepuisDemarrage();
    QApplication application(argc, argv);
    const double appPrete = MaintenantDepuisDemarrage();
    QTemporaryDir dossier;
    const QString fichier = dossier.filePath(QStringLiteral("AppVantor.xml"));

    double peinture = -1.0;
    double construite = 0.0;
    long rssPicKo = 0;
    long rssRepos = 0;
    std::vector<double> sauvegardesMs;
    {
        const double avantFenetre = MaintenantDepuisDemarrage();
        TFenetrePrincipale fenetre(nullptr, fichier);
        construite = MaintenantDepuisDemarrage() - avantFenetre;
        PremierePeinture guet;
        fenetre.installEventFilter(&guet);
        fenetre.show();
        while (guet.moment < 0.0)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        peinture = guet.moment;

        // Idle for two seconds, then the peak and current resident sizes.
        QTimer::singleShot(2000, &application, &QApplication::quit);
        QApplication::exec();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        rssPicKo = usage.ru_maxrss;
        rssRepos = RssActuelKo();

        // Settings saves, the first one creating the file, each later one changing a value. Each
        // save is the one of a close request, sent to the window without hiding it.
        auto* editId = fenetre.findChild<TSpinEntier*>(QStringLiteral("EditId"));
        if (editId == nullptr) {
            std::fprintf(stderr, "the window has no EditId\n");
            return 1;
        }
        QFile::remove(fichier);
        for (int i = 0; i < 11; ++i) {
            editId->setValue(1 + i % 2);
            QElapsedTimer chrono;
            chrono.start();
            QCloseEvent fermeture;
            QApplication::sendEvent(&fenetre, &fermeture);
            sauvegardesMs.push_back(static_cast<double>(chrono.nsecsElapsed()) / 1e6);
            if (!fermeture.isAccepted()) {
                std::fprintf(stderr, "the window refused to close\n");
                return 1;
            }
        }
    }
    QFile sauve(fichier);
    if (!sauve.open(QIODevice::ReadOnly) || sauve.size() != 348) {
        std::fprintf(stderr, "the settings file was not written as expected (%lld bytes)\n",
                     static_cast<long long>(sauve.size()));
        return 1;
    }
    const double premiere = sauvegardesMs.front();
    std::vector<double> suivantes(sauvegardesMs.begin() + 1, sauvegardesMs.end());
    std::sort(suivantes.begin(), suivantes.end());

    std::printf("platform                  %s\n", qPrintable(QApplication::platformName()));
    std::printf(
        "start to first paint      %.3f s (process start to the window's first paint event; "
        "start time has %ld ms resolution)\n",
        peinture - debut, 1000 / sysconf(_SC_CLK_TCK));
    std::printf(
        "  of which: to main %.3f s, simulator %.3f s, application object %.3f s, window built "
        "(driver open pause included) %.3f s\n",
        avantMain - debut, simPret - avantMain, appPrete - simPret, construite);
    std::printf("peak RSS, idle window     %.1f MB (current %.1f MB)\n", static_cast<double>(rssPicKo) / 1024.0,
                static_cast<double>(rssRepos) / 1024.0);
    std::printf(
        "settings save             first %.2f ms (creates the file), then median %.2f ms, max %.2f ms "
        "over %zu saves\n",
        premiere, suivantes[suivantes.size() / 2], suivantes.back(), suivantes.size());
    return 0;
}
