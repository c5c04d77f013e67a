#include "OptionsCli.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <set>
#include <string_view>

#include "ComNames.h"
#include "GatewayName.h"
#include "LineCodes.h"
#include "ReglagesVantor.h"
#include "RegistresVantor.h"
#include "TableOptions.h"

namespace {

struct TDescription {
    TCommande commande;
    const char* nom;
    bool ligne;        // talks to a sensor: --port and the line options apply
    const char* aide;  // the head of its help
};

// The head of each command's help: usage and what it does (the options follow, generated).
const char* const kAidePorts =
    "Usage: vantor-cli ports [--json]\n"
    "       vantor-cli ports assign COMn DEVICE|rfc2217://HOST:PORT|tcp://HOST:PORT\n"
    "       vantor-cli ports unassign COMn\n"
    "Lists the serial devices of this machine: path, /dev/serial/by-id name, driver, USB\n"
    "vendor:product and product text, whether you may open it (and how to fix it when\n"
    "not), whether it is busy, and the COMn names that point at it.\n"
    "\n"
    "COMn names are the links com1, com2, ... of the folder 'dosdevices' beside the\n"
    "program (and beside AppVantor, which shares the folder). 'assign' makes COMn a\n"
    "link to DEVICE, through its stable /dev/serial/by-id name when it has one;\n"
    "'unassign' removes the link. A serial server's name is written into the link as\n"
    "it stands, and the list tells whether that server answers.\n";

const char* const kAideScan =
    "Usage: vantor-cli scan --port P [--from 1] [--to 127] [line options]\n"
    "Tries every address from --from to --to with a read of input register 0,\n"
    "the port held open, 10 ms apart, and lists the addresses that answer.\n"
    "Progress goes to standard error on a terminal; Ctrl+C stops the scan\n"
    "after the address being tried, lists what was found and exits 130.\n";

const char* const kAideInfo =
    "Usage: vantor-cli info --port P --id N [line options]\n"
    "Reads the firmware revision, serial number, filter cut-off, FIFO rate and\n"
    "the sensor's own baud rate and address.\n";

const char* const kAideRead =
    "Usage: vantor-cli read --port P --id N [line options]\n"
    "Reads acceleration (g), temperature (degrees C), the status word with\n"
    "each bit named by its LED caption, and the seven monitoring values.\n";

const char* const kAideWatch =
    "Usage: vantor-cli watch --port P --id N[,N...] [--every MS] [--count K] [--csv FILE]\n"
    "Reads the measurements every MS milliseconds (default 1000, at least 10)\n"
    "from each sensor of --id in turn (--id 1,5,17), the port held open,\n"
    "until K samples were taken (default: until interrupted with Ctrl+C).\n"
    "--csv writes every sample with an ISO 8601 UTC time stamp to FILE, one\n"
    "column group per sensor; the file is complete when the command ends. A\n"
    "failed read shows 'err' and polling goes on; the exit status is 1 only\n"
    "when no read of any sensor succeeded.\n";

const char* const kAideSet =
    "Usage: vantor-cli set --port P --id N [--filter HZ] [--fifo HZ]\n"
    "                     [--sensor-baud 9600|19200|38400] [--address A]\n"
    "Writes the given settings as the window writes them, then reads every\n"
    "setting back (at the new address and baud rate) and reports what the\n"
    "sensor holds. --filter is 0.1..10 Hz; --fifo must be 50/n Hz for a\n"
    "divider n of 1..256; --address is 1..127. A read-back that differs\n"
    "from what was written is an error (exit status 1).\n";

const char* const kAideSelfTest =
    "Usage: vantor-cli selftest --port P --id N [--timeout MS]\n"
    "Starts the self test, then reads the status word until its bits 4-7\n"
    "(the 'sensitive elmnt test' bits of the high byte) clear: pass, or\n"
    "until MS milliseconds passed (default 5000): fail, exit status 1.\n";

const char* const kAideReset =
    "Usage: vantor-cli reset --port P --id N [--wait] [--timeout MS]\n"
    "Resets the sensor. With --wait, reads it until it answers again and\n"
    "reports how long that took (at most MS milliseconds, default 10000).\n";

const char* const kAideReport =
    "Usage: vantor-cli report --port P --id N --out FILE [--seconds S] [--note TEXT]\n"
    "       vantor-cli report --port P --id N --json [--out FILE|-] ...\n"
    "Writes one self-contained commissioning record to FILE: identity,\n"
    "configuration, monitoring values and status bits with a pass or fail,\n"
    "the self-test result, date and time, the port settings, the note, and a\n"
    "plot of acceleration and temperature recorded over S seconds (default\n"
    "10, at most 3600). With --json the record is written as JSON instead of\n"
    "HTML (to standard output without --out, or with --out -). The record\n"
    "also holds the configuration as 'config save' writes it, statistics of\n"
    "the recording and the line's health (transactions, failures by kind,\n"
    "response times). A sensor that fails gets its record, saying which\n"
    "operation failed and why, and exit status 1.\n";

const char* const kAideFind =
    "Usage: vantor-cli find --port P [--all] [--from 1] [--to 127] [--json]\n"
    "Finds a sensor whose baud rate, line mode and address are unknown. Tries\n"
    "the sensor's own baud rates first (19200, its factory rate, then 9600 and\n"
    "38400), then the driver's others (57600, 4800, 2400), each with the line\n"
    "modes none, even and odd; at each, reads input register 0 at addresses\n"
    "--from to --to as scan does, the port held open. Stops at the first sensor found\n"
    "(--all: tries every setting) and prints the options to reach it.\n"
    "Exit status 1 when no sensor answered.\n";

const char* const kAideConfig =
    "Usage: vantor-cli config save --port P --id N --out FILE\n"
    "       vantor-cli config diff FILE --port P --id N\n"
    "       vantor-cli config apply FILE --port P --id N [--dry-run]\n"
    "save writes the sensor's filter, FIFO rate, baud rate and address as JSON,\n"
    "with its firmware revision and serial number for the record. diff lists\n"
    "the settings of FILE the sensor holds otherwise. apply writes only those\n"
    "(address and baud rate last, the line following the sensor to them), then\n"
    "reads every setting back; a setting that differs from FILE is an error\n"
    "(exit status 1) naming the setting and both values. --dry-run says what\n"
    "would be written and writes nothing. A setting missing from FILE is left\n"
    "as it is.\n";

const std::vector<TDescription>& Descriptions()
{
    static const std::vector<TDescription> kDescriptions = {
        {TCommande::Ports, "ports", false, kAidePorts},
        {TCommande::Scan, "scan", true, kAideScan},
        {TCommande::Info, "info", true, kAideInfo},
        {TCommande::Read, "read", true, kAideRead},
        {TCommande::Watch, "watch", true, kAideWatch},
        {TCommande::Set, "set", true, kAideSet},
        {TCommande::SelfTest, "selftest", true, kAideSelfTest},
        {TCommande::Reset, "reset", true, kAideReset},
        {TCommande::Report, "report", true, kAideReport},
        {TCommande::Find, "find", true, kAideFind},
        {TCommande::Config, "config", true, kAideConfig},
    };
    return kDescriptions;
}

const TDescription* Description(TCommande commande)
{
    for (const auto& d : Descriptions())
        if (d.commande == commande)
            return &d;
    return nullptr;
}

bool Entier(const std::string& texte, long long bas, long long haut, long long& valeur)
{
    const char* fin = texte.data() + texte.size();
    const auto [p, ec] = std::from_chars(texte.data(), fin, valeur);
    return !texte.empty() && ec == std::errc() && p == fin && valeur >= bas && valeur <= haut;
}

bool Reel(const std::string& texte, double& valeur)
{
    const char* fin = texte.data() + texte.size();
    const auto [p, ec] = std::from_chars(texte.data(), fin, valeur, std::chars_format::fixed);
    return !texte.empty() && ec == std::errc() && p == fin && std::isfinite(valeur);
}

// Which commands an option applies to.
enum class TPortee {
    Toutes,    // every command, ports included
    Ligne,     // every command that talks to a sensor
    Commandes  // only the listed ones
};

// What vantor-cli adds to an option's row: which commands it applies to.
struct TExtraCli {
    TPortee portee = TPortee::Toutes;
    std::vector<TCommande> commandes;  // for TPortee::Commandes
};

// One option: name, value placeholder (none for a flag), help, reader, scope, short name.
using TOption = TOptionRow<TOptionsCli, TExtraCli>;

std::string LitPort(const std::string& valeur, TOptionsCli& o)
{
    if (valeur.empty())
        return "--port: empty name";
    if (IsGatewayName(valeur) && !ParseGatewayName(valeur))
        return "--port: tcp://HOST:PORT or rfc2217://HOST:PORT expected, got '" + valeur + "'";
    o.port = valeur;
    const int com = NumeroCom(valeur);
    o.portIndex = com > 0 ? com - 1 : -1;
    return "";
}

std::string LitBaud(const std::string& valeur, TOptionsCli& o)
{
    long long n = 0;
    o.codeBaud = Entier(valeur, 1, 1000000, n) ? BaudCode(n).value_or(-1) : -1;
    if (o.codeBaud < 0)
        return "--baud: 2400, 4800, 9600, 19200, 38400 or 57600 expected, got '" + valeur + "'";
    o.baud = static_cast<int>(n);
    return "";
}

std::string LitParite(const std::string& valeur, TOptionsCli& o)
{
    const std::optional<int> code = LineModeCode(valeur);
    if (!code)
        return "--parity: even, odd or none expected, got '" + valeur + "'";
    o.codeParite = *code;
    o.parite = valeur;
    return "";
}

std::string LitId(const std::string& valeur, TOptionsCli& o)
{
    // watch takes a list of sensors, the others one.
    std::size_t debut = 0;
    long long n = 0;
    for (;;) {
        const std::size_t virgule = o.commande == TCommande::Watch ? valeur.find(',', debut) : std::string::npos;
        const std::string un = valeur.substr(debut, virgule == std::string::npos ? std::string::npos : virgule - debut);
        if (!Entier(un, kAdresseMin, kAdresseMax, n))
            return "--id: address 1..127 expected, got '" + valeur + "'";
        if (std::find(o.ids.begin(), o.ids.end(), static_cast<int>(n)) != o.ids.end())
            return "--id: address " + un + " given twice";
        o.ids.push_back(static_cast<int>(n));
        if (virgule == std::string::npos)
            break;
        debut = virgule + 1;
    }
    o.id = o.ids.front();
    return "";
}

// The message of a refused value: "--every: 10..86400000 milliseconds expected, got '5'".
std::string Refus(const std::string& attendu, const std::string& valeur)
{
    return attendu + " expected, got '" + valeur + "'";
}

// An integer of bas..haut into champ, or the message saying what was expected instead.
template <class T>
std::string LitEntier(const std::string& valeur, long long bas, long long haut, const std::string& attendu, T& champ)
{
    long long n = 0;
    if (!Entier(valeur, bas, haut, n))
        return Refus(attendu, valeur);
    champ = static_cast<T>(n);
    return "";
}

// A real of bas..haut (fixed notation) into champ, or the message saying what was expected.
template <class T>
std::string LitReel(const std::string& valeur, double bas, double haut, const std::string& attendu, T& champ)
{
    double x = 0.0;
    if (!Reel(valeur, x) || x < bas || x > haut)
        return Refus(attendu, valeur);
    champ = x;
    return "";
}

// An address 1..127 into champ, or the error message naming the option.
std::string LitAdresse(const char* nom, const std::string& valeur, int& champ)
{
    return LitEntier(valeur, kAdresseMin, kAdresseMax, std::string(nom) + ": address 1..127", champ);
}

std::string LitFichier(const char* nom, const std::string& valeur, std::string& champ)
{
    if (valeur.empty())
        return std::string(nom) + ": empty file name";
    champ = valeur;
    return "";
}

// A flag: it sets its field.
template <bool TOptionsCli::*champ>
std::string Active(const std::string&, TOptionsCli& o)
{
    o.*champ = true;
    return "";
}

// The readers of the options of one command, each with its range and its message.
std::string LitDe(const std::string& v, TOptionsCli& o)
{
    return LitAdresse("--from", v, o.de);
}

std::string LitA(const std::string& v, TOptionsCli& o)
{
    return LitAdresse("--to", v, o.a);
}

std::string LitPeriode(const std::string& v, TOptionsCli& o)
{
    return LitEntier(v, 10, 86400000, "--every: 10..86400000 milliseconds", o.periodeMs);
}

std::string LitNombre(const std::string& v, TOptionsCli& o)
{
    return LitEntier(v, 1, 1000000000, "--count: a number of samples (at least 1)", o.nombre);
}

std::string LitDelai(const std::string& v, TOptionsCli& o)
{
    return LitEntier(v, 1, 3600000, "--timeout: 1..3600000 milliseconds", o.delaiMs);
}

std::string LitFiltre(const std::string& v, TOptionsCli& o)
{
    return LitReel(v, kFiltreMin, kFiltreMax, "--filter: cut-off 0.1..10 Hz", o.filtre);
}

std::string LitFifo(const std::string& v, TOptionsCli& o)
{
    return LitReel(v, kFifoMin, kFifoMax, "--fifo: rate 0.1..50 Hz", o.fifo);
}

std::string LitSecondes(const std::string& v, TOptionsCli& o)
{
    return LitReel(v, 0.1, 3600.0, "--seconds: 0.1..3600", o.secondes);
}

std::string LitBaudCapteur(const std::string& v, TOptionsCli& o)
{
    const int entree = EntreeBaudDeTexte(v);
    if (entree < 0)
        return Refus("--sensor-baud: 9600, 19200 or 38400", v);
    o.baudCapteur = kBaudsCapteur[static_cast<std::size_t>(entree)];
    return "";
}

std::string LitNouvelleAdresse(const std::string& v, TOptionsCli& o)
{
    int adresse = 0;
    std::string erreur = LitAdresse("--address", v, adresse);
    if (erreur.empty())
        o.adresse = adresse;
    return erreur;
}

std::string LitNote(const std::string& v, TOptionsCli& o)
{
    o.note = v;
    return "";
}

using C = TCommande;

// Every option of every command, in the order of the help texts: name, value placeholder (none
// for a flag), help, reader, scope and commands (for TPortee::Commandes), short name.
const std::vector<TOption> kOptions = {
    {"--port",
     "P",
     "COM1, COM2, ... (as the window names ports), a device\n"
     "path, or a serial server: rfc2217://HOST:PORT,\n"
     "tcp://HOST:PORT; required",
     LitPort,
     {TPortee::Ligne, {}}},
    {"--baud", "B", "2400, 4800, 9600, 19200 (default), 38400 or 57600", LitBaud, {TPortee::Ligne, {}}},
    {"--parity",
     "P",
     "even, odd or none (default); even and odd use two\n"
     "stop bits",
     LitParite,
     {TPortee::Ligne, {}}},
    {"--log",
     "FILE",
     "one JSON line per transaction on the line into FILE:\n"
     "time, operation, address, register or function,\n"
     "result code, duration",
     [](const std::string& v, TOptionsCli& o) { return LitFichier("--log", v, o.journal); },
     {TPortee::Ligne, {}}},
    {"--id",
     "N",
     "the sensor's address, 1..127 (watch: a list, 1,5,17)",
     LitId,
     {TPortee::Commandes, {C::Info, C::Read, C::Watch, C::Set, C::SelfTest, C::Reset, C::Report, C::Config}}},
    {"--from", "A", "the first address tried, 1..127 (default 1)", LitDe, {TPortee::Commandes, {C::Scan, C::Find}}},
    {"--to", "A", "the last address tried, 1..127 (default 127)", LitA, {TPortee::Commandes, {C::Scan, C::Find}}},
    {"--every",
     "MS",
     "milliseconds between samples, 10..86400000 (default 1000)",
     LitPeriode,
     {TPortee::Commandes, {C::Watch}}},
    {"--count", "K", "stop after K samples (default: until interrupted)", LitNombre, {TPortee::Commandes, {C::Watch}}},
    {"--csv",
     "FILE",
     "every sample into FILE as CSV",
     [](const std::string& v, TOptionsCli& o) { return LitFichier("--csv", v, o.csv); },
     {TPortee::Commandes, {C::Watch}}},
    {"--filter", "HZ", "filter cut-off, 0.1..10 Hz", LitFiltre, {TPortee::Commandes, {C::Set}}},
    {"--fifo", "HZ", "FIFO rate, 50/n Hz for n of 1..256", LitFifo, {TPortee::Commandes, {C::Set}}},
    {"--sensor-baud",
     "B",
     "the sensor's baud rate: 9600, 19200 or 38400",
     LitBaudCapteur,
     {TPortee::Commandes, {C::Set}}},
    {"--address", "A", "the sensor's new address, 1..127", LitNouvelleAdresse, {TPortee::Commandes, {C::Set}}},
    {"--wait",
     nullptr,
     "wait until the sensor answers again",
     Active<&TOptionsCli::attendre>,
     {TPortee::Commandes, {C::Reset}}},
    {"--timeout",
     "MS",
     "at most MS milliseconds, 1..3600000\n"
     "(default: selftest 5000, reset 10000)",
     LitDelai,
     {TPortee::Commandes, {C::SelfTest, C::Reset}}},
    {"--out",
     "FILE",
     "the file written (report --json: - for standard output)",
     [](const std::string& v, TOptionsCli& o) { return LitFichier("--out", v, o.sortie); },
     {TPortee::Commandes, {C::Report, C::Config}}},
    {"--seconds", "S", "seconds of recording, 0.1..3600 (default 10)", LitSecondes, {TPortee::Commandes, {C::Report}}},
    {"--note", "TEXT", "a note written into the record", LitNote, {TPortee::Commandes, {C::Report}}},
    {"--all",
     nullptr,
     "try every setting, not only until the first sensor found",
     Active<&TOptionsCli::tous>,
     {TPortee::Commandes, {C::Find}}},
    {"--dry-run",
     nullptr,
     "say what would be written, write nothing (config apply)",
     Active<&TOptionsCli::essai>,
     {TPortee::Commandes, {C::Config}}},
    {"--json", nullptr, "machine-readable output", Active<&TOptionsCli::json>, {TPortee::Toutes, {}}},
    {"--help", nullptr, "help of the command (also -h)", Active<&TOptionsCli::aide>, {TPortee::Toutes, {}}, "-h"},
};

// Whether the option names this command among its own (TPortee::Commandes).
bool Nomme(const TOption& option, TCommande commande)
{
    const std::vector<TCommande>& commandes = option.extra.commandes;
    return std::find(commandes.begin(), commandes.end(), commande) != commandes.end();
}

bool SApplique(const TOption& option, const TDescription& d)
{
    switch (option.extra.portee) {
    case TPortee::Toutes: return true;
    case TPortee::Ligne: return d.ligne;
    case TPortee::Commandes: break;
    }
    return Nomme(option, d.commande);
}

// The column at which the options' help starts in the help texts.
constexpr std::size_t kColonneAide = 22;

// The options of these scopes (and for Commandes, of this command), in the table's order.
std::vector<const TOption*> Choisies(std::initializer_list<TPortee> portees, TCommande commande)
{
    return SelectOptions(kOptions, [&](const TOption& option) {
        const TPortee portee = option.extra.portee;
        return std::find(portees.begin(), portees.end(), portee) != portees.end()
               && (portee != TPortee::Commandes || Nomme(option, commande));
    });
}

// The command line sorted: the command and its words, the options with a value, the flags.
struct TLigneTriee {
    std::vector<std::pair<const TOption*, std::string>> donnees;  // options with their values
    std::set<const TOption*> drapeaux;  // in the table's order: the pointers are into one vector
};

// Sorts one word that is neither an option nor a value: the command, or one of its words.
std::string TrieMot(const std::string& a, TOptionsCli& o)
{
    if (o.commande == TCommande::Aucune) {
        for (const auto& d : Descriptions())
            if (a == d.nom)
                o.commande = d.commande;
        if (o.commande == TCommande::Aucune)
            return "unknown command '" + a + "'";
    } else if (o.commande == TCommande::Ports || o.commande == TCommande::Config) {
        o.arguments.push_back(a);
    } else {
        return "unexpected argument '" + a + "'";
    }
    return "";
}

// Sorts the words of the command line; the error message, or "".
std::string Trie(const std::vector<std::string>& arguments, TOptionsCli& o, TLigneTriee& triee)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const TTakenOption<TOption> prise = TakeOption(kOptions, arguments, i);
        if (prise.status == TOptionStatus::MissingValue)
            return a + " needs a value";
        if (prise.status == TOptionStatus::Taken && prise.row->value) {
            for (const auto& donnee : triee.donnees)
                if (donnee.first == prise.row)
                    return a + " given twice";
            triee.donnees.emplace_back(prise.row, prise.value);
        } else if (prise.status == TOptionStatus::Taken) {
            triee.drapeaux.insert(prise.row);
        } else if (a.size() > 1 && a[0] == '-' && a.rfind("--", 0) == 0) {
            return "unknown option '" + a + "'";
        } else {
            std::string erreur = TrieMot(a, o);
            if (!erreur.empty())
                return erreur;
        }
    }
    return "";
}

// Reads the command's own flags and every option with a value, once each applies to it.
std::string LitOptions(const TLigneTriee& triee, const TDescription& d, TOptionsCli& o)
{
    for (const TOption* drapeau : triee.drapeaux)
        if (!SApplique(*drapeau, d))
            return std::string(drapeau->name) + " does not apply to " + d.nom;
    for (const TOption* drapeau : triee.drapeaux)
        if (drapeau->extra.portee != TPortee::Toutes)
            drapeau->read("", o);
    for (const auto& [option, valeur] : triee.donnees) {
        if (!SApplique(*option, d))
            return std::string(option->name) + " does not apply to " + d.nom;
        std::string erreur = option->read(valeur, o);
        if (!erreur.empty())
            return erreur;
    }
    return "";
}

// Only 50 / n Hz can be stored: refuses a rate the sensor would hold as another one.
std::string VerifieFifo(const TLigneTriee& triee, const TOptionsCli& o)
{
    const double tenu = FrequenceFifo(DiviseurFifo(*o.fifo));
    if (std::fabs(tenu - *o.fifo) <= 5e-4)
        return "";
    std::string texteFifo;  // as typed
    for (const auto& [option, valeur] : triee.donnees)
        if (std::string_view(option->name) == "--fifo")
            texteFifo = valeur;
    const int n = DiviseurFifo(*o.fifo) == 0 ? 256 : DiviseurFifo(*o.fifo);
    char texte[160];
    std::snprintf(texte, sizeof texte, "--fifo: %s Hz cannot be stored; the nearest rate is 50/%d = %.3f Hz",
                  texteFifo.c_str(), n, tenu);
    return texte;
}

std::string VerifieConfig(const TOptionsCli& o)
{
    const auto& v = o.arguments;
    const bool sauve = v.size() == 1 && v[0] == "save";
    const bool compare = v.size() == 2 && (v[0] == "diff" || v[0] == "apply");
    if (!sauve && !compare)
        return "config: 'config save', 'config diff FILE' or 'config apply FILE' expected";
    if (sauve && o.sortie.empty())
        return "config save: --out is missing";
    if (!sauve && !o.sortie.empty())
        return "--out does not apply to config " + v[0];
    if (o.essai && v[0] != "apply")
        return "--dry-run does not apply to config " + v[0];
    return "";
}

std::string VerifiePorts(const TOptionsCli& o)
{
    const auto& v = o.arguments;
    const bool liste = v.empty();
    const bool assigne = v.size() == 3 && v[0] == "assign";
    const bool libere = v.size() == 2 && v[0] == "unassign";
    if (!liste && !assigne && !libere)
        return "ports: 'ports', 'ports assign COMn DEVICE' or 'ports unassign COMn' expected";
    if (!liste && NumeroCom(v[1]) == 0)
        return "ports: COMn expected (COM1, COM2, ...), got '" + v[1] + "'";
    return "";
}

// The checks of the options together, once each was read.
std::string VerifieEnsemble(const TLigneTriee& triee, const TDescription& d, TOptionsCli& o)
{
    if (d.ligne && o.port.empty())
        return std::string(d.nom) + ": --port is missing";
    if (SApplique(*FindOption(kOptions, "--id"), d) && o.id == 0)
        return std::string(d.nom) + ": --id is missing";
    if ((o.commande == TCommande::Scan || o.commande == TCommande::Find) && o.de > o.a)
        return std::string(d.nom) + ": --from must not be above --to";
    if (o.commande == TCommande::Set && !o.filtre && !o.fifo && !o.baudCapteur && !o.adresse)
        return "set: nothing to write (--filter, --fifo, --sensor-baud or --address)";
    if (o.commande == TCommande::Set && o.fifo)
        return VerifieFifo(triee, o);
    if (o.commande == TCommande::Report && o.sortie.empty()) {
        if (!o.json)
            return "report: --out is missing";
        o.sortie = "-";  // the JSON record on standard output
    }
    if (o.commande == TCommande::Config)
        return VerifieConfig(o);
    if (o.commande == TCommande::Ports)
        return VerifiePorts(o);
    return "";
}

const char* const kAideGeneraleTete =
    "Usage: vantor-cli COMMAND [options]\n"
    "Commissions Vantor sensors on a MODBUS RTU line through the korvane driver.\n"
    "\n"
    "Commands:\n"
    "  ports      list the serial devices; assign or unassign COMn names\n"
    "  scan       list the addresses at which a sensor answers\n"
    "  info       firmware, serial number, filter, FIFO rate, baud rate and address\n"
    "  read       acceleration, temperature, status bits and monitoring values\n"
    "  watch      poll the measurements until interrupted, optionally into a CSV file\n"
    "  set        write filter, FIFO rate, baud rate or address, then read them back\n"
    "  selftest   run the sensor's self test and report pass or fail\n"
    "  reset      reset the sensor, optionally waiting until it answers again\n"
    "  report     write a commissioning record (HTML, or JSON with --json)\n"
    "  find       find a sensor whose baud rate, line mode and address are unknown\n"
    "  config     save a sensor's settings to a file, compare them, apply a file\n";

const char* const kAideGeneraleFin =
    "\n"
    "Exit status: 0 success, 1 the sensor or the line failed, 2 wrong command line.\n"
    "'vantor-cli COMMAND --help' describes each command.\n";

std::string AideGenerale()
{
    return kAideGeneraleTete
           + ("\nOptions of every command that talks to a sensor:\n"
              + OptionHelpLines(Choisies({TPortee::Ligne}, TCommande::Aucune), kColonneAide))
           + ("\nOptions of every command:\n"
              + OptionHelpLines(Choisies({TPortee::Toutes}, TCommande::Aucune), kColonneAide))
           + kAideGeneraleFin;
}

// The generated end of a command's help: its own options, then the line options.
std::string AideOptions(TCommande commande)
{
    std::string texte =
        "\nOptions:\n" + OptionHelpLines(Choisies({TPortee::Commandes, TPortee::Toutes}, commande), kColonneAide);
    if (Description(commande)->ligne)
        texte += "\nLine options:\n" + OptionHelpLines(Choisies({TPortee::Ligne}, commande), kColonneAide);
    return texte;
}

}  // namespace

int NumeroCom(const std::string& nom)
{
    return static_cast<int>(ComNumber(nom, {.prefix = "COM", .anyCase = true, .max = 1000000}).value_or(0));
}

std::string NomCommande(TCommande commande)
{
    const TDescription* d = Description(commande);
    return d ? d->nom : "";
}

std::string TexteAide(TCommande commande)
{
    const TDescription* d = Description(commande);
    if (d == nullptr)
        return AideGenerale();
    return d->aide + AideOptions(commande);
}

TAnalyseCli AnalyseOptions(const std::vector<std::string>& arguments)
{
    TAnalyseCli analyse;
    TOptionsCli& o = analyse.options;
    TLigneTriee triee;
    analyse.erreur = Trie(arguments, o, triee);
    if (!analyse.erreur.empty())
        return analyse;
    // The flags of every command (--help, --json) first: help needs no command.
    for (const TOption* drapeau : triee.drapeaux)
        if (drapeau->extra.portee == TPortee::Toutes)
            drapeau->read("", o);
    if (o.aide)
        return analyse;
    if (o.commande == TCommande::Aucune) {
        analyse.erreur = "no command given";
        return analyse;
    }
    const TDescription& d = *Description(o.commande);
    analyse.erreur = LitOptions(triee, d, o);
    if (analyse.erreur.empty())
        analyse.erreur = VerifieEnsemble(triee, d, o);
    return analyse;
}
