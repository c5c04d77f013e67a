// Benchmark of the bus scan and of periodic raw commands, through the real window and driver
// against simulated sensors on a pseudo-terminal (offscreen).
//
//   bench_scan [seconds of periodic sending, default 3]
//
// Scan: one full scan of the 127 addresses with nobody answering and one with the sensors at 1
// and 5, at the 9600 and 57600 baud settings. Each is set against the floor
// 127 x (single-byte read time-out + 10 ms), the read time-out being 42 ms at 9600 baud and
// 41 ms at 57600 baud; the scan's own opening of the port adds one 200 ms pause to each.
//
// Periodic sending at 10 ms: the achieved period (time / requests) against the ideal, 10 ms plus
// the measured duration of one send (exchange and the 5 ms wait), with the port held open and
// with the port closed as the program normally runs it (each exchange then opens the port).
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BancVantor.h"
#include "TypesKorvane.h"
#include "korvane.h"

namespace {

struct Debit {
    int code;
    int baud;
    int delaiLectureMs;
};

constexpr Debit kDebits[] = {{2, 9600, 42}, {5, 57600, 41}};

std::string Trouves(const QListWidget& liste)
{
    QStringList adresses;
    for (int i = 0; i < liste.count(); ++i)
        adresses << liste.item(i)->text().section(' ', 1, 1);
    return adresses.isEmpty() ? std::string("none") : adresses.join(',').toStdString();
}

void Scrute(BancVantor& banc, const Debit& debit, bool capteurs)
{
    banc.Capteur(1).SetFaults({.silent = !capteurs});
    banc.Capteur(5).SetFaults({.silent = !capteurs});
    MODBUS_SetupConnect(-1, -1, debit.code, -1);  // closes the port, as a change of ChoixBR does

    QElapsedTimer chrono;
    chrono.start();
    banc.Ui().BoutScrute->click();
    const double dureeMs = static_cast<double>(chrono.nsecsElapsed()) / 1e6;

    const double plancher = 127.0 * (debit.delaiLectureMs + 10);
    std::printf(
        "scan %5d baud, %-14s: %7.0f ms, floor %5.0f ms (+200 ms opening: %5.0f): %+5.1f %% "
        "(%+5.1f %% with the opening), found: %s\n",
        debit.baud, capteurs ? "sensors 1, 5" : "nobody", dureeMs, plancher, plancher + 200,
        100.0 * (dureeMs - plancher) / plancher, 100.0 * (dureeMs - plancher - 200) / (plancher + 200),
        Trouves(*banc.Ui().ListeScrute).c_str());
}

// Mean duration of one driver read at an address where nobody answers, port held open: the
// driver's share of the cost of one scan address.
void LectureSansReponse(const Debit& debit)
{
    MODBUS_SetupConnect(-1, -1, debit.code, 100);
    MODBUS_OpenPort();
    constexpr int kEssais = 20;
    QElapsedTimer chrono;
    chrono.start();
    for (int i = 0; i < kEssais; ++i) {
        std::uint8_t nombre = 0;
        TDataArea zone{};
        MODBUS_ReadInputRegisters(0, 1, &nombre, zone.data());
    }
    const double moyenne = static_cast<double>(chrono.nsecsElapsed()) / 1e6 / kEssais;
    MODBUS_SetupConnect(-1, -1, -1, 1);
    MODBUS_ClosePort();
    std::printf("read with no answer, %5d baud: %.1f ms (read time-out %d ms)\n", debit.baud, moyenne,
                debit.delaiLectureMs);
}

void Periodique(BancVantor& banc, bool portOuvert, double secondes)
{
    auto& ui = banc.Ui();
    auto& fenetre = banc.Fenetre();
    banc.Capteur(1).SetFaults({});
    MODBUS_SetupConnect(-1, -1, 3, -1);  // 19200 baud, port closed
    if (portOuvert)
        MODBUS_OpenPort();
    ui.EditCommande->setText(QStringLiteral("03000A0001"));
    ui.UpDownTimeOut->setPosition(10);

    // Duration of one send, alone.
    constexpr int kEssais = 10;
    QElapsedTimer chrono;
    chrono.start();
    for (int i = 0; i < kEssais; ++i)
        fenetre.BoutEnvoiCmdClick();
    const double envoiMs = static_cast<double>(chrono.nsecsElapsed()) / 1e6 / kEssais;

    ui.MemoCommande->clear();
    chrono.restart();
    ui.ChoixPeriodique->setChecked(true);
    QTest::qWait(static_cast<int>(secondes * 1000));
    ui.ChoixPeriodique->setChecked(false);
    const double dureeMs = static_cast<double>(chrono.nsecsElapsed()) / 1e6;
    const int requetes = ui.MemoCommande->blockCount();
    QTest::qWait(50);

    const double periode = dureeMs / requetes;
    const double ideal = 10.0 + envoiMs;
    std::printf(
        "periodic 10 ms, port %-6s: %d requests in %.0f ms, period %.1f ms, ideal %.1f ms "
        "(10 + send %.1f): %+.1f %%, errors %lld\n",
        portOuvert ? "open" : "closed", requetes, dureeMs, periode, ideal, envoiMs, 100.0 * (periode - ideal) / ideal,
        static_cast<long long>(banc.Erreurs().size()));
}

}  // namespace

int main(int argc, char** argv)
{
    const double secondes = argc > 1 ? std::atof(argv[1]) : 3.0;
    BancVantor::AssureApplication();
    BancVantor banc;
    for (const Debit& debit : kDebits) {
        LectureSansReponse(debit);
        Scrute(banc, debit, false);
        Scrute(banc, debit, true);
    }
    Periodique(banc, true, secondes);
    Periodique(banc, false, secondes);
    return 0;
}
