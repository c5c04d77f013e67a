// Polling benchmark: the window polls a simulated sensor with all three displays (acceleration,
// temperature, monitoring) for a while, offscreen, through the real driver. Reports per display
// the polls per second achieved against the ideal (interval plus the time of one transaction,
// measured alone beforehand), the CPU time used (the GUI thread, which runs the program and the
// driver, and the whole process, which also holds the simulator's thread) and the resident
// memory after 5 s and at the end.
//
// Usage: bench_polling [seconds (default 60)] [--port-ouvert]
//   By default the port is closed between transactions, as the program runs (each transaction
//   opens the port, with its 200 ms pause); --port-ouvert keeps it open.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "BancVantor.h"

namespace {

double SecondesCpu(int qui)
{
    rusage r{};
    getrusage(qui, &r);
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec)
           + static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

long RssKio()
{
    std::ifstream statm("/proc/self/statm");
    long total = 0, resident = 0;
    statm >> total >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Mean duration in ms of `n` direct calls of a poll handler (one transaction each).
template <typename F>
double DureeMoyenneMs(F&& poll, int n)
{
    QElapsedTimer chrono;
    chrono.start();
    for (int i = 0; i < n; ++i)
        poll();
    return static_cast<double>(chrono.nsecsElapsed()) / 1e6 / n;
}

}  // namespace

int main(int argc, char** argv)
{
    int duree = 60;
    bool portOuvert = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port-ouvert") == 0)
            portOuvert = true;
        else
            duree = std::max(6, std::atoi(argv[i]));
    }

    BancVantor banc(BancVantor::Options{.portOuvert = portOuvert});
    TFenetrePrincipale& f = banc.Fenetre();
    auto& ui = banc.Ui();

    // Time of one transaction of each display, measured alone.
    const double tAccel = DureeMoyenneMs([&] { f.TimerAccelTimer(); }, 5);
    const double tTempe = DureeMoyenneMs([&] { f.TimerTempeTimer(); }, 5);
    const double tMonit = DureeMoyenneMs([&] { f.TimerMonitTimer(); }, 5);
    ui.TimerAccel->stop();
    ui.TimerTempe->stop();
    ui.TimerMonit->stop();

    int polls[3] = {0, 0, 0};
    QObject::connect(ui.TimerAccel, &QTimer::timeout, [&] { ++polls[0]; });
    QObject::connect(ui.TimerTempe, &QTimer::timeout, [&] { ++polls[1]; });
    QObject::connect(ui.TimerMonit, &QTimer::timeout, [&] { ++polls[2]; });
    // The simulator logs every frame; keep its log short so it does not count as our growth.
    QTimer videLog;
    QObject::connect(&videLog, &QTimer::timeout, [&] { banc.Bus().ClearLog(); });
    videLog.start(1000);

    long rss5 = 0;
    const double cpuThread0 = SecondesCpu(RUSAGE_THREAD);
    const double cpuProcess0 = SecondesCpu(RUSAGE_SELF);
    QElapsedTimer chrono;
    chrono.start();
    ui.ChoixAcceleration->setChecked(true);
    ui.ChoixTempe->setChecked(true);
    ui.ChoixMonitor->setChecked(true);
    polls[0] = polls[1] = polls[2] = 1;  // the immediate poll of each check box
    QTimer::singleShot(5000, [&] { rss5 = RssKio(); });
    QTimer::singleShot(duree * 1000, [&] { QApplication::quit(); });
    QApplication::exec();
    const double secondes = static_cast<double>(chrono.nsecsElapsed()) / 1e9;
    const double cpuThread = SecondesCpu(RUSAGE_THREAD) - cpuThread0;
    const double cpuProcess = SecondesCpu(RUSAGE_SELF) - cpuProcess0;
    const long rssFin = RssKio();
    ui.ChoixAcceleration->setChecked(false);
    ui.ChoixTempe->setChecked(false);
    ui.ChoixMonitor->setChecked(false);

    std::printf("polling for %.1f s, port %s between transactions\n", secondes, portOuvert ? "open" : "closed");
    const char* noms[3] = {"acceleration", "temperature", "monitoring"};
    const int intervalles[3] = {300, 1000, 319};
    const double transactions[3] = {tAccel, tTempe, tMonit};
    for (int i = 0; i < 3; ++i) {
        const double ideal = 1000.0 / (intervalles[i] + transactions[i]);
        std::printf("%-12s interval %4d ms, transaction %6.1f ms: %6.3f polls/s, ideal %6.3f (%.0f %%)\n", noms[i],
                    intervalles[i], transactions[i], polls[i] / secondes, ideal, 100.0 * polls[i] / secondes / ideal);
    }
    std::printf("cpu: GUI thread %.3f s = %.2f %% of one core; whole process (with simulator) %.3f s = %.2f %%\n",
                cpuThread, 100.0 * cpuThread / secondes, cpuProcess, 100.0 * cpuProcess / secondes);
    std::printf("rss: %ld KiB at 5 s, %ld KiB at end, growth %ld KiB\n", rss5, rssFin, rssFin - rss5);
    std::printf("errors shown: %lld\n", static_cast<long long>(banc.Erreurs().size()));
    return 0;
}
