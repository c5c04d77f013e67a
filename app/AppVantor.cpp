// Program entry of AppVantor: one application, one main window.
#include <QApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "NomAppVantor.h"
#include "UniteAppVantor.h"

namespace {

// A request to end (logout, kill, Ctrl+C in a terminal) ends the event loop in order, so that the
// window is destroyed normally and keeps its settings.
int tubeSignal[2] = {-1, -1};

extern "C" void SignalDeFin(int)
{
    const char octet = 1;
    [[maybe_unused]] const ssize_t n = ::write(tubeSignal[1], &octet, 1);
}

void TermineSurSignal(QApplication& application)
{
    if (::pipe2(tubeSignal, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* veille = new QSocketNotifier(tubeSignal[0], QSocketNotifier::Read, &application);
    QObject::connect(veille, &QSocketNotifier::activated, &application, [] {
        char octet = 0;
        while (::read(tubeSignal[0], &octet, 1) > 0) {
        }
        QApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = SignalDeFin;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    NomAppVantor::NommeApplication();
    TermineSurSignal(application);

    TFenetrePrincipale FenetrePrincipale;
    FenetrePrincipale.show();
    return QApplication::exec();
}
