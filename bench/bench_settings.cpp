// Measures the settings file operations of the main window on a stand-in window with the four
// communication widgets. A save reads the file once, sets the five values and, when the text
// changes, replaces the file atomically (QSaveFile: temporary file, sync, rename); a restore reads
// the file once for its nine look-ups. Figures: the first save (creates the file), a save without
// changes, a save after one changed widget, a save after four changed widgets, a restore, one
// reload, and one rewrite in place (the way taken when the folder takes no new file).
// Usage: bench_settings [folder] (default: a temporary folder).
#include "StockApp.h"
#include "StockAppFichier.h"
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

constexpr int kRuns = 21;

void Measure(const char* what, int runs, const std::function<void(int)>& prepare, const std::function<void()>& body)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare(i);
        QElapsedTimer timer;
        timer.start();
        body();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s runs %2d  median %7.3f ms  max %7.3f ms\n", what, runs, ms[ms.size() / 2], ms.back());
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QString file = folder + "/AppVantor.xml";

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
    const auto none = [](int) {};

    Measure(
        "first save (creates the file)", kRuns, [&](int) { QFile::remove(file); }, [&] { binding.SaveSettings(); });
    Measure("save without changes", kRuns, none, [&] { binding.SaveSettings(); });
    Measure(
        "save, one widget changed", kRuns, [&](int i) { id->setValue(1 + i); }, [&] { binding.SaveSettings(); });
    Measure(
        "save, four widgets changed", kRuns,
        [&](int i) {
            port->setCurrentIndex(i % 12);
            parity->setCurrentIndex(i % 3);
            baud->setCurrentIndex(i % 6);
            id->setValue(100 + i);
        },
        [&] { binding.SaveSettings(); });
    Measure("restore (1 read, 9 look-ups)", kRuns, none, [&] { binding.RestoreSettings(); });
    Measure("reload (1 read)", kRuns, none, [&] { store.Reload(); });
    QByteArray text;
    Measure(
        "rewrite in place", kRuns,
        [&](int i) {
            id->setValue(200 + i % 50);
            store.SetAutoFlush(false);
            binding.SaveSettings();
            store.SetAutoFlush(true);
            text = store.DocumentText();
        },
        [&] { StockAppFichier::EcritSurPlace(file, text, store.BlankText()); });
    std::printf("file %s, %lld bytes\n", qPrintable(file), static_cast<long long>(QFileInfo(file).size()));
    if (argc > 1)
        QFile::remove(file);
    return 0;
}
