#include "Plateforme.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ExecutableDir.h"

namespace {

volatile sig_atomic_t g_interruptions = 0;

void SurInterruption(int)
{
    g_interruptions = g_interruptions + 1;
    if (g_interruptions >= 2)
        _exit(130);
}

}  // namespace

bool EstTerminal(int flux)
{
    return ::isatty(flux) == 1;
}

void InstalleInterruption()
{
    struct sigaction action {};
    action.sa_handler = SurInterruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a wait ends at once
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool Interrompu()
{
    return g_interruptions > 0;
}

void Attends(std::chrono::milliseconds duree)
{
    if (duree.count() <= 0)
        return;
    timespec reste{static_cast<time_t>(duree.count() / 1000), static_cast<long>(duree.count() % 1000) * 1000000L};
    while (!Interrompu() && ::nanosleep(&reste, &reste) != 0 && errno == EINTR) {
    }
}

std::string DossierProgramme()
{
    return ExecutableDir();
}

std::string HorodatageIso(std::chrono::system_clock::time_point instant)
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(instant.time_since_epoch()).count();
    const time_t secondes = static_cast<time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    const int millis = static_cast<int>(((ms % 1000) + 1000) % 1000);
    tm utc{};
    ::gmtime_r(&secondes, &utc);
    char texte[64];
    std::snprintf(texte, sizeof texte, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return texte;
}
