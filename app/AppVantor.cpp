// Program entry of AppVantor: one application, one main window.
#include <QApplication>

#if defined(_WIN32)
#include <QObject>
#else
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include "NomAppVantor.h"
#include "UniteAppVantor.h"

namespace {

#if defined(_WIN32)

// Windows ends the process as soon as the end of the session has been announced, without
// returning from the event loop: the window keeps its settings when the end is announced.
void ConserveEnFinDeSession(QApplication& application, TFenetrePrincipale& fenetre)
{
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &fenetre,
                     [&fenetre] { fenetre.ConserveReglages(); });
}

#else

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

#endif

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    NomAppVantor::NommeApplication();
#if !defined(_WIN32)
    TermineSurSignal(application);
#endif

    TFenetrePrincipale FenetrePrincipale;
#if defined(_WIN32)
    ConserveEnFinDeSession(application, FenetrePrincipale);
#endif
    FenetrePrincipale.show();
    return QApplication::exec();
}
