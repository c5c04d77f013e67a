// Poll periods of the program's three live displays (acceleration, temperature, monitoring) as the
// operator switches them on: the real window through the real driver on COM1, where a simulated
// sensor answers at address 1. Built for Linux and for Windows; scripts/test-windows --bench runs
// both against the same simulator, one after the other.
//
// Usage: bench_poll_periods [seconds (default 20)]
// Prints, per display, the number of polls and the period between them (mean, min, max, in ms).
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <vector>

#include "BoitesEnregistrees.h"
#include "UniteAppVantor.h"
#include "WidgetsFenetre.h"

namespace {

struct TSuivi {
    const char* nom;
    QCheckBox* choix;
    QTimer* minuterie;
    std::vector<qint64> instants;  // end of each poll, ns since the start
};

void Rapporte(const TSuivi& suivi)
{
    std::vector<double> periodes;
    for (std::size_t i = 1; i < suivi.instants.size(); ++i)
        periodes.push_back(static_cast<double>(suivi.instants[i] - suivi.instants[i - 1]) / 1e6);
    if (periodes.empty()) {
        std::printf("%-13s no poll\n", suivi.nom);
        return;
    }
    const double moyenne =
        std::accumulate(periodes.begin(), periodes.end(), 0.0) / static_cast<double>(periodes.size());
    std::printf("%-13s %4zu polls  period mean %7.1f ms  min %7.1f  max %7.1f  (timer %d ms)\n", suivi.nom,
                suivi.instants.size(), moyenne, *std::min_element(periodes.begin(), periodes.end()),
                *std::max_element(periodes.begin(), periodes.end()), suivi.minuterie->interval());
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int secondes = argc > 1 ? std::atoi(argv[1]) : 20;

    QTemporaryDir dossier;
    BoitesEnregistrees boites;
    auto fenetre = std::make_unique<TFenetrePrincipale>(nullptr, dossier.filePath("AppVantor.xml"), &boites);
    WidgetsFenetre ui(*fenetre);
    fenetre->show();
    if (!QTest::qWaitForWindowExposed(fenetre.get()))
        return 1;

    QElapsedTimer horloge;
    horloge.start();
    std::vector<TSuivi> suivis{{"acceleration", ui.ChoixAcceleration, ui.TimerAccel, {}},
                               {"temperature", ui.ChoixTempe, ui.TimerTempe, {}},
                               {"monitoring", ui.ChoixMonitor, ui.TimerMonit, {}}};
    for (TSuivi& suivi : suivis) {
        // Connected after the window's own handler: runs once the poll's transaction is over.
        QObject::connect(suivi.minuterie, &QTimer::timeout, fenetre.get(),
                         [&suivi, &horloge] { suivi.instants.push_back(horloge.nsecsElapsed()); });
        QTest::mouseClick(suivi.choix, Qt::LeftButton);
    }
    QTest::qWait(secondes * 1000);
    for (TSuivi& suivi : suivis)
        QTest::mouseClick(suivi.choix, Qt::LeftButton);

    std::printf("%d s, all three displays on together\n", secondes);
    for (const TSuivi& suivi : suivis)
        Rapporte(suivi);
    if (!boites.erreurs.isEmpty()) {
        std::printf("error boxes: %lld, first: %s\n", static_cast<long long>(boites.erreurs.size()),
                    qPrintable(boites.erreurs.front()));
        return 1;
    }
    return 0;
}
