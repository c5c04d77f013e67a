#include "OptionsCli.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <set>

#include "GatewayName.h"
#include "ReglagesVantor.h"
#include "RegistresVantor.h"

namespace {

struct TDescription {
    TCommande commande;
    const char* nom;
    bool ligne;                     // talks to a sensor: --port and the line options apply
    std::set<std::string> options;  // its own options
};

const std::vector<TDescription>& Descriptions()
{
    static const std::vector<TDescription> kDescriptions = {
        {TCommande::Ports, "ports", false, {}},
        {TCommande::Scan, "scan", true, {"--from", "--to"}},
        {TCommande::Info, "info", true, {"--id"}},
        {TCommande::Read, "read", true, {"--id"}},
        {TCommande::Watch, "watch", true, {"--id", "--every", "--count", "--csv"}},
        {TCommande::Set, "set", true, {"--id", "--filter", "--fifo", "--sensor-baud", "--address"}},
        {TCommande::SelfTest, "selftest", true, {"--id", "--timeout"}},
        {TCommande::Reset, "reset", true, {"--id", "--wait", "--timeout"}},
        {TCommande::Report, "report", true, {"--id", "--out", "--seconds", "--note"}},
        {TCommande::Find, "find", true, {"--all", "--from", "--to"}},
        {TCommande::Config, "config", true, {"--id", "--out", "--dry-run"}},
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

const char* const kAideGenerale =
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
    "  config     save a sensor's settings to a file, compare them, apply a file\n"
    "\n"
    "Options of every command that talks to a sensor:\n"
    "  --port P          COM1, COM2, ... (as the window names ports), a device path, or a\n"
    "                    serial server: rfc2217://HOST:PORT, tcp://HOST:PORT; required\n"
    "  --baud B          2400, 4800, 9600, 19200 (default), 38400 or 57600\n"
    "  --parity P        even, odd or none (default); even and odd use two stop bits\n"
    "  --id N            the sensor's address, 1..127\n"
    "  --json            machine-readable output\n"
    "  --log FILE        one JSON line per transaction on the line into FILE\n"
    "  --help            help of the command\n"
    "\n"
    "Exit status: 0 success, 1 the sensor or the line failed, 2 wrong command line.\n"
    "'vantor-cli COMMAND --help' describes each command.\n";

const char* const kAideLigne =
    "\n"
    "Line options:\n"
    "  --port P          COM1, COM2, ..., a device path or rfc2217:// tcp://HOST:PORT (required)\n"
    "  --baud B          2400, 4800, 9600, 19200 (default), 38400 or 57600\n"
    "  --parity P        even, odd or none (default)\n"
    "  --json            machine-readable output\n"
    "  --log FILE        one JSON line per transaction: time, operation, address,\n"
    "                    register or function, result code, duration\n";

}  // namespace

int NumeroCom(const std::string& nom)
{
    if (nom.size() < 4)
        return 0;
    std::string prefixe = nom.substr(0, 3);
    std::transform(prefixe.begin(), prefixe.end(), prefixe.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    long long n = 0;
    if (prefixe != "COM" || !Entier(nom.substr(3), 1, 1000000, n) || nom[3] == '+' || nom[3] == '-')
        return 0;
    return static_cast<int>(n);
}

std::string NomCommande(TCommande commande)
{
    const TDescription* d = Description(commande);
    return d ? d->nom : "";
}

std::string TexteAide(TCommande commande)
{
    switch (commande) {
    case TCommande::Aucune: return kAideGenerale;
    case TCommande::Ports:
        return "Usage: vantor-cli ports [--json]\n"
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
    case TCommande::Scan:
        return std::string(
                   "Usage: vantor-cli scan --port P [--from 1] [--to 127] [line options]\n"
                   "Tries every address from --from to --to with a read of input register 0,\n"
                   "the port held open, 10 ms apart, and lists the addresses that answer.\n"
                   "Progress goes to standard error on a terminal; Ctrl+C stops the scan\n"
                   "after the address being tried, lists what was found and exits 130.\n")
               + kAideLigne;
    case TCommande::Info:
        return std::string(
                   "Usage: vantor-cli info --port P --id N [line options]\n"
                   "Reads the firmware revision, serial number, filter cut-off, FIFO rate and\n"
                   "the sensor's own baud rate and address.\n")
               + kAideLigne;
    case TCommande::Read:
        return std::string(
                   "Usage: vantor-cli read --port P --id N [line options]\n"
                   "Reads acceleration (g), temperature (degrees C), the status word with\n"
                   "each bit named by its LED caption, and the seven monitoring values.\n")
               + kAideLigne;
    case TCommande::Watch:
        return std::string(
                   "Usage: vantor-cli watch --port P --id N[,N...] [--every MS] [--count K] [--csv FILE]\n"
                   "Reads the measurements every MS milliseconds (default 1000, at least 10)\n"
                   "from each sensor of --id in turn (--id 1,5,17), the port held open,\n"
                   "until K samples were taken (default: until interrupted with Ctrl+C).\n"
                   "--csv writes every sample with an ISO 8601 UTC time stamp to FILE, one\n"
                   "column group per sensor; the file is complete when the command ends. A\n"
                   "failed read shows 'err' and polling goes on; the exit status is 1 only\n"
                   "when no read of any sensor succeeded.\n")
               + kAideLigne;
    case TCommande::Set:
        return std::string(
                   "Usage: vantor-cli set --port P --id N [--filter HZ] [--fifo HZ]\n"
                   "                     [--sensor-baud 9600|19200|38400] [--address A]\n"
                   "Writes the given settings as the window writes them, then reads every\n"
                   "setting back (at the new address and baud rate) and reports what the\n"
                   "sensor holds. --filter is 0.1..10 Hz; --fifo must be 50/n Hz for a\n"
                   "divider n of 1..256; --address is 1..127. A read-back that differs\n"
                   "from what was written is an error (exit status 1).\n")
               + kAideLigne;
    case TCommande::SelfTest:
        return std::string(
                   "Usage: vantor-cli selftest --port P --id N [--timeout MS]\n"
                   "Starts the self test, then reads the status word until its bits 4-7\n"
                   "(the 'sensitive elmnt test' bits of the high byte) clear: pass, or\n"
                   "until MS milliseconds passed (default 5000): fail, exit status 1.\n")
               + kAideLigne;
    case TCommande::Reset:
        return std::string(
                   "Usage: vantor-cli reset --port P --id N [--wait] [--timeout MS]\n"
                   "Resets the sensor. With --wait, reads it until it answers again and\n"
                   "reports how long that took (at most MS milliseconds, default 10000).\n")
               + kAideLigne;
    case TCommande::Report:
        return std::string(
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
                   "operation failed and why, and exit status 1.\n")
               + kAideLigne;
    case TCommande::Find:
        return std::string(
                   "Usage: vantor-cli find --port P [--all] [--from 1] [--to 127] [--json]\n"
                   "Finds a sensor whose baud rate, line mode and address are unknown. Tries\n"
                   "the sensor's own baud rates first (19200, its factory rate, then 9600 and\n"
                   "38400), then the driver's others (57600, 4800, 2400), each with the line\n"
                   "modes none, even and odd; at each, reads input register 0 at addresses\n"
                   "--from to --to as scan does, the port held open. Stops at the first sensor found\n"
                   "(--all: tries every setting) and prints the options to reach it.\n"
                   "Exit status 1 when no sensor answered.\n")
               + kAideLigne;
    case TCommande::Config:
        return std::string(
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
                   "as it is.\n")
               + kAideLigne;
    }
    return kAideGenerale;
}

TAnalyseCli AnalyseOptions(const std::vector<std::string>& arguments)
{
    TAnalyseCli analyse;
    TOptionsCli& o = analyse.options;
    auto echec = [&](std::string message) {
        analyse.erreur = std::move(message);
        return analyse;
    };

    std::vector<std::pair<std::string, std::string>> donnees;  // options with their values
    std::set<std::string> drapeaux;
    static const std::set<std::string> kAvecValeur = {
        "--port",   "--baud", "--parity",      "--id",      "--from",    "--to",  "--every",   "--count", "--csv",
        "--filter", "--fifo", "--sensor-baud", "--address", "--timeout", "--out", "--seconds", "--note",  "--log"};
    static const std::set<std::string> kSansValeur = {"--json", "--help", "-h", "--wait", "--all", "--dry-run"};
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (kAvecValeur.count(a)) {
            if (i + 1 >= arguments.size())
                return echec(a + " needs a value");
            for (const auto& [nom, valeur] : donnees)
                if (nom == a)
                    return echec(a + " given twice");
            donnees.emplace_back(a, arguments[++i]);
        } else if (kSansValeur.count(a)) {
            drapeaux.insert(a == "-h" ? "--help" : a);
        } else if (a.size() > 1 && a[0] == '-' && a.rfind("--", 0) == 0) {
            return echec("unknown option '" + a + "'");
        } else if (o.commande == TCommande::Aucune) {
            for (const auto& d : Descriptions())
                if (a == d.nom)
                    o.commande = d.commande;
            if (o.commande == TCommande::Aucune)
                return echec("unknown command '" + a + "'");
        } else if (o.commande == TCommande::Ports || o.commande == TCommande::Config) {
            o.arguments.push_back(a);
        } else {
            return echec("unexpected argument '" + a + "'");
        }
    }

    o.aide = drapeaux.count("--help") > 0;
    o.json = drapeaux.count("--json") > 0;
    if (o.aide)
        return analyse;
    if (o.commande == TCommande::Aucune)
        return echec("no command given");

    const TDescription& d = *Description(o.commande);
    for (const char* drapeau : {"--wait", "--all", "--dry-run"})
        if (drapeaux.count(drapeau) && !d.options.count(drapeau))
            return echec(std::string(drapeau) + " does not apply to " + std::string(d.nom));
    o.attendre = drapeaux.count("--wait") > 0;
    o.tous = drapeaux.count("--all") > 0;
    o.essai = drapeaux.count("--dry-run") > 0;

    static const std::set<std::string> kLigne = {"--port", "--baud", "--parity", "--log"};
    std::string texteFifo;
    for (const auto& [nom, valeur] : donnees) {
        if (!(d.ligne && kLigne.count(nom)) && !d.options.count(nom))
            return echec(nom + " does not apply to " + std::string(d.nom));
        long long n = 0;
        double x = 0.0;
        if (nom == "--port") {
            if (valeur.empty())
                return echec("--port: empty name");
            if (IsGatewayName(valeur) && !ParseGatewayName(valeur))
                return echec("--port: tcp://HOST:PORT or rfc2217://HOST:PORT expected, got '" + valeur + "'");
            o.port = valeur;
            const int com = NumeroCom(valeur);
            o.portIndex = com > 0 ? com - 1 : -1;
        } else if (nom == "--baud") {
            static const int kBauds[] = {2400, 4800, 9600, 19200, 38400, 57600};
            o.codeBaud = -1;
            for (int c = 0; c < 6; ++c)
                if (Entier(valeur, 1, 1000000, n) && n == kBauds[c])
                    o.codeBaud = c;
            if (o.codeBaud < 0)
                return echec("--baud: 2400, 4800, 9600, 19200, 38400 or 57600 expected, got '" + valeur + "'");
            o.baud = static_cast<int>(n);
        } else if (nom == "--parity") {
            if (valeur == "even")
                o.codeParite = 0;
            else if (valeur == "odd")
                o.codeParite = 1;
            else if (valeur == "none")
                o.codeParite = 2;
            else
                return echec("--parity: even, odd or none expected, got '" + valeur + "'");
            o.parite = valeur;
        } else if (nom == "--id") {
            // watch takes a list of sensors, the others one.
            std::size_t debut = 0;
            for (;;) {
                const std::size_t virgule =
                    o.commande == TCommande::Watch ? valeur.find(',', debut) : std::string::npos;
                const std::string un =
                    valeur.substr(debut, virgule == std::string::npos ? std::string::npos : virgule - debut);
                if (!Entier(un, kAdresseMin, kAdresseMax, n))
                    return echec("--id: address 1..127 expected, got '" + valeur + "'");
                if (std::find(o.ids.begin(), o.ids.end(), static_cast<int>(n)) != o.ids.end())
                    return echec("--id: address " + un + " given twice");
                o.ids.push_back(static_cast<int>(n));
                if (virgule == std::string::npos)
                    break;
                debut = virgule + 1;
            }
            o.id = o.ids.front();
        } else if (nom == "--log") {
            if (valeur.empty())
                return echec("--log: empty file name");
            o.journal = valeur;
        } else if (nom == "--from" || nom == "--to") {
            if (!Entier(valeur, kAdresseMin, kAdresseMax, n))
                return echec(nom + ": address 1..127 expected, got '" + valeur + "'");
            (nom == "--from" ? o.de : o.a) = static_cast<int>(n);
        } else if (nom == "--every") {
            if (!Entier(valeur, 10, 86400000, n))
                return echec("--every: 10..86400000 milliseconds expected, got '" + valeur + "'");
            o.periodeMs = static_cast<int>(n);
        } else if (nom == "--count") {
            if (!Entier(valeur, 1, 1000000000, n))
                return echec("--count: a number of samples (at least 1) expected, got '" + valeur + "'");
            o.nombre = n;
        } else if (nom == "--csv" || nom == "--out") {
            if (valeur.empty())
                return echec(nom + ": empty file name");
            (nom == "--csv" ? o.csv : o.sortie) = valeur;
        } else if (nom == "--filter") {
            if (!Reel(valeur, x) || x < kFiltreMin || x > kFiltreMax)
                return echec("--filter: cut-off 0.1..10 Hz expected, got '" + valeur + "'");
            o.filtre = x;
        } else if (nom == "--fifo") {
            if (!Reel(valeur, x) || x < kFifoMin || x > kFifoMax)
                return echec("--fifo: rate 0.1..50 Hz expected, got '" + valeur + "'");
            o.fifo = x;
            texteFifo = valeur;
        } else if (nom == "--sensor-baud") {
            const int entree = EntreeBaudDeTexte(valeur);
            if (entree < 0)
                return echec("--sensor-baud: 9600, 19200 or 38400 expected, got '" + valeur + "'");
            o.baudCapteur = kBaudsCapteur[static_cast<std::size_t>(entree)];
        } else if (nom == "--address") {
            if (!Entier(valeur, kAdresseMin, kAdresseMax, n))
                return echec("--address: address 1..127 expected, got '" + valeur + "'");
            o.adresse = static_cast<int>(n);
        } else if (nom == "--timeout") {
            if (!Entier(valeur, 1, 3600000, n))
                return echec("--timeout: 1..3600000 milliseconds expected, got '" + valeur + "'");
            o.delaiMs = static_cast<int>(n);
        } else if (nom == "--seconds") {
            if (!Reel(valeur, x) || x < 0.1 || x > 3600.0)
                return echec("--seconds: 0.1..3600 expected, got '" + valeur + "'");
            o.secondes = x;
        } else if (nom == "--note") {
            o.note = valeur;
        }
    }

    if (d.ligne && o.port.empty())
        return echec(std::string(d.nom) + ": --port is missing");
    if (d.options.count("--id") && o.id == 0)
        return echec(std::string(d.nom) + ": --id is missing");
    if ((o.commande == TCommande::Scan || o.commande == TCommande::Find) && o.de > o.a)
        return echec(std::string(d.nom) + ": --from must not be above --to");
    if (o.commande == TCommande::Set && !o.filtre && !o.fifo && !o.baudCapteur && !o.adresse)
        return echec("set: nothing to write (--filter, --fifo, --sensor-baud or --address)");
    if (o.commande == TCommande::Set && o.fifo) {
        // Only 50 / n Hz can be stored: refuse a rate the sensor would hold as another one.
        const double tenu = FrequenceFifo(DiviseurFifo(*o.fifo));
        if (std::fabs(tenu - *o.fifo) > 5e-4) {
            const int n = DiviseurFifo(*o.fifo) == 0 ? 256 : DiviseurFifo(*o.fifo);
            char texte[160];
            std::snprintf(texte, sizeof texte, "--fifo: %s Hz cannot be stored; the nearest rate is 50/%d = %.3f Hz",
                          texteFifo.c_str(), n, tenu);
            return echec(texte);
        }
    }
    if (o.commande == TCommande::Report && o.sortie.empty()) {
        if (!o.json)
            return echec("report: --out is missing");
        o.sortie = "-";  // the JSON record on standard output
    }
    if (o.commande == TCommande::Config) {
        const auto& v = o.arguments;
        const bool sauve = v.size() == 1 && v[0] == "save";
        const bool compare = v.size() == 2 && (v[0] == "diff" || v[0] == "apply");
        if (!sauve && !compare)
            return echec("config: 'config save', 'config diff FILE' or 'config apply FILE' expected");
        if (sauve && o.sortie.empty())
            return echec("config save: --out is missing");
        if (!sauve && !o.sortie.empty())
            return echec("--out does not apply to config " + v[0]);
        if (o.essai && v[0] != "apply")
            return echec("--dry-run does not apply to config " + v[0]);
    }
    if (o.commande == TCommande::Ports) {
        const auto& v = o.arguments;
        const bool liste = v.empty();
        const bool assigne = v.size() == 3 && v[0] == "assign";
        const bool libere = v.size() == 2 && v[0] == "unassign";
        if (!liste && !assigne && !libere)
            return echec("ports: 'ports', 'ports assign COMn DEVICE' or 'ports unassign COMn' expected");
        if (!liste && NumeroCom(v[1]) == 0)
            return echec("ports: COMn expected (COM1, COM2, ...), got '" + v[1] + "'");
    }
    return analyse;
}
