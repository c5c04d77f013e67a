// Measures the settings file operations of the main window on a stand-in window with the four
// communication widgets: SaveSettings (five writes, each a full read and an atomic rewrite),
// RestoreSettings (nine reads) and one Reload. Usage: bench_settings [folder] (default: a
// temporary folder; give a folder on the disk the program runs from to measure that disk).
#include "StockApp.h"
#include "StockAppXml.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Figures {
    double median = 0;
    double max = 0;
};

Figures Measure(int runs, const std::function<void(int)>& body)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body(i);
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QString file = folder + "/AppVantor.xml";
    QFile::remove(file);

    QWidget window;
    auto* port = new QComboBox(&window);
    port->setObjectName("ChoixPort");
    for (int i = 1; i <= 12; ++i)
        port->addItem(QStringLiteral("COM%1").arg(i));
    auto* parity = new QComboBox(&window);
    parity->setObjectName("ChoixParite");
    parity->addItems({"Even", "Odd", "No parity"});
    auto* baud = new QComboBox(&window);
    baud->setObjectName("ChoixBR");
    baud->addItems({"2400", "4800", "9600", "19200", "38400", "57600"});
    auto* id = new QSpinBox(&window);
    id->setObjectName("EditId");
    id->setRange(1, 255);

    TStockAppXml store(file);
    TStockApp binding(store, window);
    binding.RestoreSettings();
    binding.SaveSettings();  // creates the file

    constexpr int kRuns = 21;
    const Figures save = Measure(kRuns, [&](int i) {
        port->setCurrentIndex(i % 12);
        id->setValue(1 + i);
        binding.SaveSettings();
    });
    const Figures restore = Measure(kRuns, [&](int) { binding.RestoreSettings(); });
    const Figures reload = Measure(kRuns, [&](int) { store.Reload(); });

    std::printf("settings file %s (%lld bytes), %d runs each\n", qPrintable(file),
                static_cast<long long>(QFileInfo(file).size()), kRuns);
    std::printf("SaveSettings    (5 writes): median %.3f ms, max %.3f ms\n", save.median, save.max);
    std::printf("RestoreSettings (9 reads):  median %.3f ms, max %.3f ms\n", restore.median, restore.max);
    std::printf("Reload          (1 read):   median %.3f ms, max %.3f ms\n", reload.median, reload.max);
    if (argc > 1)
        QFile::remove(file);
    return 0;
}
