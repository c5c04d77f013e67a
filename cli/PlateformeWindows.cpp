#include "Plateforme.h"

#include <windows.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

std::atomic<int> g_interruptions{0};
HANDLE g_evenement = nullptr;  // signalled on an interruption, so that a wait ends at once

BOOL WINAPI SurInterruption(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    if (++g_interruptions >= 2)
        return FALSE;  // the default handler ends the program
    if (g_evenement != nullptr)
        SetEvent(g_evenement);
    return TRUE;
}

}  // namespace

bool EstTerminal(int flux)
{
    return _isatty(flux) != 0;
}

void InstalleInterruption()
{
    if (g_evenement == nullptr)
        g_evenement = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(SurInterruption, TRUE);
}

bool Interrompu()
{
    return g_interruptions.load() > 0;
}

void Attends(std::chrono::milliseconds duree)
{
    if (duree.count() <= 0 || Interrompu())
        return;
    if (g_evenement != nullptr)
        WaitForSingleObject(g_evenement, static_cast<DWORD>(duree.count()));
    else
        Sleep(static_cast<DWORD>(duree.count()));
}

std::string DossierProgramme()
{
    char chemin[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, chemin, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    const std::string exe(chemin, n);
    const auto barre = exe.find_last_of("\\/");
    return barre == std::string::npos ? std::string() : exe.substr(0, barre);
}

std::string HorodatageIso(std::chrono::system_clock::time_point instant)
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(instant.time_since_epoch()).count();
    const __time64_t secondes = static_cast<__time64_t>(ms / 1000);
    const int millis = static_cast<int>(ms % 1000);
    tm utc{};
    _gmtime64_s(&utc, &secondes);
    char texte[64];
    std::snprintf(texte, sizeof texte, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return texte;
}
