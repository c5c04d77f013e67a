// The serial devices of this machine and the COMn names that the window and this tool resolve
// through the folder "dosdevices" beside the program. One implementation per platform:
// PortsPosix.cpp (sysfs, /dev, symbolic links) and PortsWindows.cpp (the system's own COM names).
#pragma once

#include <string>
#include <vector>

struct TPortSerie {
    std::string chemin;             // "/dev/ttyUSB0" ("COM3" on Windows)
    std::string parId;              // "/dev/serial/by-id/usb-FTDI_..." or empty
    std::string pilote;             // kernel driver ("ftdi_sio") or empty
    std::string usb;                // "0403:6001" or empty
    std::string produit;            // USB product text or empty
    bool accessible = false;        // the current user may open it for reading and writing
    std::string remede;             // how to make it accessible, when it is not
    bool occupe = false;            // another program holds it
    std::vector<std::string> noms;  // COMn names that point at it ("COM1")
};

struct TLienCom {
    int numero = 0;       // n of COMn
    std::string cible;    // what the link points at, as written in it
    bool valide = false;  // the target exists
};

// Where the lists come from. The defaults are the machine's own; the tests point them at a
// fake tree through the environment variables VANTOR_CLI_SYSFS (for /sys), VANTOR_CLI_DEV
// (for /dev) and VANTOR_CLI_DOSDEVICES (the folder of the COMn links), which only tests use.
struct TRacinesPorts {
    std::string sys = "/sys";
    std::string dev = "/dev";
    std::string dosdevices;  // default: "dosdevices" beside the program
};
TRacinesPorts RacinesPorts();

std::vector<TPortSerie> ListePorts(const TRacinesPorts& racines);
std::vector<TLienCom> LiensCom(const TRacinesPorts& racines);

// Makes COMn point at the device (through its by-id name when it has one); gives the target
// written, or throws TEchecCli. Where the platform has COM names of its own, says so instead.
std::string AssignePort(const TRacinesPorts& racines, int numero, const std::string& peripherique);
// Removes the COMn link; throws TEchecCli when there is none.
void LiberePort(const TRacinesPorts& racines, int numero);

// False where COM names are the platform's own and need no assignment.
bool AssignationPossible();
