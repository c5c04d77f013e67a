// The one QApplication of a test process, created on first use (offscreen unless the
// environment chooses a platform) and kept until the process ends.
#pragma once

#include <QApplication>

inline void AssureApplicationEssai()
{
    if (QApplication::instance() != nullptr)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char nom[] = "test";
    static char* argv[] = {nom, nullptr};
    // Reachable through this static for the life of the process, so not a leak.
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}
