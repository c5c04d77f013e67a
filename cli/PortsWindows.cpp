#include "PortsSerie.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "EchecCli.h"
#include "OptionsCli.h"

TRacinesPorts RacinesPorts()
{
    return {};
}

bool AssignationPossible()
{
    return false;
}

std::vector<TPortSerie> ListePorts(const TRacinesPorts&)
{
    // Every DOS device name of the system; the COMn ones are the serial ports.
    std::vector<char> noms(1 << 16);
    DWORD n = 0;
    while ((n = QueryDosDeviceA(nullptr, noms.data(), static_cast<DWORD>(noms.size()))) == 0
           && GetLastError() == ERROR_INSUFFICIENT_BUFFER && noms.size() < (1u << 24))
        noms.resize(noms.size() * 2);
    std::vector<TPortSerie> ports;
    for (const char* nom = noms.data(); n > 0 && *nom != '\0'; nom += std::strlen(nom) + 1) {
        const int numero = NumeroCom(nom);
        if (numero == 0)
            continue;
        TPortSerie port;
        port.chemin = "COM" + std::to_string(numero);
        char cible[512] = {};
        if (QueryDosDeviceA(nom, cible, sizeof cible) != 0)
            port.pilote = cible;  // "\Device\Serial0", "\Device\VCP0"
        const std::string chemin = "\\\\.\\" + port.chemin;
        const HANDLE h =
            CreateFileA(chemin.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            port.accessible = true;
            CloseHandle(h);
        } else {
            const DWORD erreur = GetLastError();
            port.accessible = erreur == ERROR_ACCESS_DENIED || erreur == ERROR_SHARING_VIOLATION;
            port.occupe = port.accessible;  // Windows opens serial ports for one program only
        }
        port.noms.push_back(port.chemin);
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const TPortSerie& a, const TPortSerie& b) { return NumeroCom(a.chemin) < NumeroCom(b.chemin); });
    return ports;
}

std::vector<TLienCom> LiensCom(const TRacinesPorts&)
{
    return {};
}

std::string AssignePort(const TRacinesPorts&, int, const std::string&)
{
    throw TEchecCli("not needed on Windows: COM names are the system's own");
}

void LiberePort(const TRacinesPorts&, int)
{
    throw TEchecCli("not needed on Windows: COM names are the system's own");
}
