// The line as the driver offers it: the connection options handed to korvane, the port held
// open for the length of a command, the slave identifier and the line speed changed on the way.
#pragma once

#include "OptionsCli.h"

// Names the port ("COMn" as a port index, anything else as a device path), sets line mode,
// baud rate and slave identifier (the options are checked already), then opens the port.
// A port that cannot be opened throws the driver's "I/O error.".
void OuvreLigne(const TOptionsCli& options);

// Releases the port.
void FermeLigne();

// Addresses another slave from now on.
void ChangeIdentifiant(int id);
// The slave identifier in force (0 before the line is set up).
int AdresseLigne();

// Changes line mode and baud code (which closes the port) and opens the port again.
void ChangeReglageLigne(int codeParite, int codeBaud);

// The port held open for one scope: opened by the constructor (as OuvreLigne), given back by
// the destructor, whatever way the scope ends.
class TLigneOuverte {
public:
    explicit TLigneOuverte(const TOptionsCli& options) { OuvreLigne(options); }
    ~TLigneOuverte() { FermeLigne(); }
    TLigneOuverte(const TLigneOuverte&) = delete;
    TLigneOuverte& operator=(const TLigneOuverte&) = delete;
};

// Sets the line to another baud code (which closes the port) and opens the port again.
void ChangeBaudLigne(int codeBaud);

// Driver baud code of a line speed (2400 .. 57600), or -1.
int CodeBaud(int baud);
