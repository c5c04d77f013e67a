// The command line of vantor-cli: the command, the connection options common to every command
// and each command's own options, checked before anything reaches the driver.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class TCommande { Aucune, Ports, Scan, Info, Read, Watch, Set, SelfTest, Reset, Report, Find, Config };

struct TOptionsCli {
    TCommande commande = TCommande::Aucune;
    bool aide = false;
    bool json = false;

    // Connection: a "COMn" name (port index n - 1) or a device path, the line's baud code and
    // line mode code as the driver numbers them, and the slave identifier.
    std::string port;    // empty: not given
    int portIndex = -1;  // >= 0 for a "COMn" name
    int baud = 19200;
    int codeBaud = 3;  // 0..5 for 2400 .. 57600
    std::string parite = "none";
    int codeParite = 2;    // 0 even, 1 odd, 2 none
    int id = 0;            // 0: not given
    std::vector<int> ids;  // watch: every sensor of --id 1,5,17 in order (id is the first)
    std::string journal;   // --log: one JSON line per transaction into this file

    // scan
    int de = 1, a = 127;
    // watch
    int periodeMs = 1000;
    long long nombre = 0;  // 0: until interrupted
    std::string csv;
    // set
    std::optional<double> filtre;
    std::optional<double> fifo;
    std::optional<int> baudCapteur;
    std::optional<int> adresse;
    // selftest, reset
    int delaiMs = 0;  // 0: the command's default
    bool attendre = false;
    // report
    std::string sortie;
    double secondes = 10.0;
    std::string note;
    // find
    bool tous = false;  // --all: every sensor, not only the first found
    // config
    bool essai = false;  // --dry-run: say what would be written, write nothing
    // ports, config
    std::vector<std::string> arguments;  // "assign COMn DEVICE", "unassign COMn"; "save", "diff FILE", "apply FILE"
};

struct TAnalyseCli {
    TOptionsCli options;
    std::string erreur;  // empty when the command line is sound
};

TAnalyseCli AnalyseOptions(const std::vector<std::string>& arguments);

// The command's name as typed ("selftest"), and its help text (the general one for Aucune).
std::string NomCommande(TCommande commande);
std::string TexteAide(TCommande commande);

// n of a "COMn" name (any case, n >= 1), or 0.
int NumeroCom(const std::string& nom);
