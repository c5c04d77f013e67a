// The command line: codes handed to the driver, refused values, the help texts in step with
// the parser, and the manual page in step with the help texts.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "OptionsCli.h"
#include "ProgrammeCli.h"

namespace {

TAnalyseCli A(std::vector<std::string> arguments)
{
    return AnalyseOptions(arguments);
}

TEST(CliOptions, DefaultsAndDriverCodes)
{
    const auto a = A({"info", "--port", "COM3", "--id", "5"});
    ASSERT_EQ(a.erreur, "");
    EXPECT_EQ(a.options.commande, TCommande::Info);
    EXPECT_EQ(a.options.portIndex, 2);   // COM3 is port index 2
    EXPECT_EQ(a.options.codeBaud, 3);    // 19200
    EXPECT_EQ(a.options.codeParite, 2);  // none
    EXPECT_EQ(a.options.id, 5);
    const auto b = A({"read", "--port", "/dev/ttyUSB0", "--id", "127", "--baud", "2400", "--parity", "odd"});
    ASSERT_EQ(b.erreur, "");
    EXPECT_EQ(b.options.portIndex, -1);
    EXPECT_EQ(b.options.port, "/dev/ttyUSB0");
    EXPECT_EQ(b.options.codeBaud, 0);
    EXPECT_EQ(b.options.codeParite, 1);
    EXPECT_EQ(A({"info", "--port", "x", "--id", "1", "--baud", "57600", "--parity", "even"}).options.codeBaud, 5);
    EXPECT_EQ(A({"info", "--port", "x", "--id", "1", "--parity", "even"}).options.codeParite, 0);
}

TEST(CliOptions, ComNames)
{
    EXPECT_EQ(NumeroCom("COM1"), 1);
    EXPECT_EQ(NumeroCom("com12"), 12);
    EXPECT_EQ(NumeroCom("COM0"), 0);
    EXPECT_EQ(NumeroCom("COM"), 0);
    EXPECT_EQ(NumeroCom("COM-1"), 0);
    EXPECT_EQ(NumeroCom("COM+1"), 0);
    EXPECT_EQ(NumeroCom("COM1x"), 0);
    EXPECT_EQ(NumeroCom("/dev/COM1"), 0);
}

TEST(CliOptions, RefusedValues)
{
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"info", "--port", "p", "--id", "1", "--baud", "115200"},
             {"info", "--port", "p", "--id", "1", "--baud", "19200.0"},
             {"info", "--port", "p", "--id", "0"},
             {"info", "--port", "p", "--id", "128"},
             {"info", "--port", "p", "--id", "-3"},
             {"info", "--port", "p", "--id", " 3"},
             {"info", "--port", "", "--id", "3"},
             {"info", "--id", "3"},
             {"info", "--port", "p", "--id", "1", "--id", "2"},
             {"info", "--port", "p", "--id"},
             {"set", "--port", "p", "--id", "1", "--filter", "0.09"},
             {"set", "--port", "p", "--id", "1", "--filter", "10.01"},
             {"set", "--port", "p", "--id", "1", "--filter", "nan"},
             {"set", "--port", "p", "--id", "1", "--filter", "1e0"},
             {"set", "--port", "p", "--id", "1", "--fifo", "51"},
             {"set", "--port", "p", "--id", "1", "--fifo", "0.05"},
             {"set", "--port", "p", "--id", "1", "--fifo", "30"},
             {"set", "--port", "p", "--id", "1", "--sensor-baud", "4800"},
             {"set", "--port", "p", "--id", "1", "--address", "0"},
             {"watch", "--port", "p", "--id", "1", "--every", "5"},
             {"watch", "--port", "p", "--id", "1", "--count", "0"},
             {"report", "--port", "p", "--id", "1"},
             {"report", "--port", "p", "--id", "1", "--out", "f", "--seconds", "0"},
             {"reset", "--port", "p", "--id", "1", "--timeout", "0"},
             {"info", "--port", "p", "--id", "1", "--wait"},
             {"ports", "--port", "p"},
             {"ports", "assign", "COM1"},
             {"ports", "list"},
             {"scan", "--port", "p", "--from", "0"},
             {"scan", "--port", "p", "extra"},
             {"watch", "--port", "p", "--id", "1,1"},
             {"watch", "--port", "p", "--id", "1,"},
             {"watch", "--port", "p", "--id", "1,128"},
             {"info", "--port", "p", "--id", "1,5"},
             {"find", "--port", "p", "--id", "1"},
             {"scan", "--port", "p", "--all"},
             {"config", "--port", "p", "--id", "1"},
             {"config", "save", "--port", "p", "--id", "1"},
             {"config", "diff", "--port", "p", "--id", "1"},
             {"config", "diff", "f", "--port", "p", "--id", "1", "--out", "g"},
             {"config", "save", "--port", "p", "--id", "1", "--out", "g", "--dry-run"},
             {"config", "load", "f", "--port", "p", "--id", "1"},
             {"info", "--port", "p", "--id", "1", "--log", ""},
             {"ports", "--log", "f"},
         })
        EXPECT_NE(A(args).erreur, "") << args.back();
}

TEST(CliOptions, SensorListsLogAndNewCommands)
{
    const auto w = A({"watch", "--port", "p", "--id", "1,5,17", "--log", "l.jsonl"});
    ASSERT_EQ(w.erreur, "");
    EXPECT_EQ(w.options.ids, (std::vector<int>{1, 5, 17}));
    EXPECT_EQ(w.options.id, 1);
    EXPECT_EQ(w.options.journal, "l.jsonl");
    const auto r = A({"report", "--port", "p", "--id", "3", "--json"});
    ASSERT_EQ(r.erreur, "");
    EXPECT_EQ(r.options.sortie, "-");  // the JSON record on standard output
    const auto f = A({"find", "--port", "p", "--all"});
    ASSERT_EQ(f.erreur, "");
    EXPECT_TRUE(f.options.tous);
    const auto c = A({"config", "apply", "site.json", "--port", "p", "--id", "2", "--dry-run"});
    ASSERT_EQ(c.erreur, "");
    EXPECT_EQ(c.options.arguments, (std::vector<std::string>{"apply", "site.json"}));
    EXPECT_TRUE(c.options.essai);
}

TEST(CliOptions, FifoRatesOfTheFormFiftyOverN)
{
    for (const char* f : {"50", "25", "5", "16.667", "0.1953125", "0.196", "10"})
        EXPECT_EQ(A({"set", "--port", "p", "--id", "1", "--fifo", f}).erreur, "") << f;
}

TEST(CliOptions, SerialServerNamesAsPorts)
{
    EXPECT_EQ(A({"scan", "--port", "rfc2217://gw-1:4001"}).erreur, "");
    EXPECT_EQ(A({"scan", "--port", "tcp://10.0.0.9:502?latency=30"}).options.port, "tcp://10.0.0.9:502?latency=30");
    EXPECT_EQ(A({"scan", "--port", "tcp://10.0.0.9:502"}).options.portIndex, -1);
    for (const char* bad : {"rfc2217://gw", "tcp://gw:0", "tcp://gw:502?latency=slow"})
        EXPECT_EQ(A({"scan", "--port", bad}).erreur,
                  std::string("--port: tcp://HOST:PORT or rfc2217://HOST:PORT expected, got '") + bad + "'");
}

// The options a help text lists, one a line as "  --name [VALUE]  what it does".
std::set<std::string> OptionsListees(const std::string& aide)
{
    std::set<std::string> options;
    std::istringstream lignes(aide);
    for (std::string ligne; std::getline(lignes, ligne);) {
        if (ligne.rfind("  --", 0) != 0)
            continue;
        const std::size_t fin = ligne.find(' ', 2);
        EXPECT_NE(ligne.find_first_not_of(' ', ligne.find("  ", fin)), std::string::npos) << "no help: " << ligne;
        options.insert(ligne.substr(2, fin - 2));
    }
    return options;
}

// Whether the parser takes the option for this command at all (its value may still be wrong),
// tried both as a flag and with a value.
bool Acceptee(const std::vector<std::string>& commande, const std::string& option)
{
    for (const auto& valeur : {std::vector<std::string>{}, std::vector<std::string>{"1"}}) {
        std::vector<std::string> arguments = commande;
        arguments.push_back(option);
        arguments.insert(arguments.end(), valeur.begin(), valeur.end());
        const std::string erreur = A(arguments).erreur;
        if (erreur == "unknown option '" + option + "'" || erreur.rfind(option + " does not apply to ", 0) == 0)
            return false;
    }
    return true;
}

// What the program prints for --help of each command lists exactly the options its parser
// accepts for that command, and the general help's options are taken by every command that
// talks to a sensor.
TEST(CliOptions, EachHelpListsExactlyTheOptionsOfItsCommand)
{
    const std::vector<std::vector<std::vector<std::string>>> commandes = {
        {{"ports"}},
        {{"scan"}},
        {{"info"}},
        {{"read"}},
        {{"watch"}},
        {{"set"}},
        {{"selftest"}},
        {{"reset"}},
        {{"report"}},
        {{"find"}},
        {{"config", "save"}, {"config", "apply", "f"}},
    };
    const clitest::TResultat general = clitest::TProgrammeCli::Lance({"--help"});
    ASSERT_EQ(general.statut, 0);
    std::map<std::string, std::string> aides;
    std::set<std::string> toutes;  // every option any help names
    const std::regex option(R"(--[a-z][a-z-]*)");
    for (const auto& formes : commandes) {
        const std::string& nom = formes.front().front();
        const clitest::TResultat r = clitest::TProgrammeCli::Lance({nom, "--help"});
        ASSERT_EQ(r.statut, 0) << nom;
        aides[nom] = r.sortie;
        for (std::sregex_iterator i(r.sortie.begin(), r.sortie.end(), option), fin; i != fin; ++i)
            toutes.insert(i->str());
    }
    for (std::sregex_iterator i(general.sortie.begin(), general.sortie.end(), option), fin; i != fin; ++i)
        toutes.insert(i->str());
    ASSERT_GT(toutes.size(), 15u);

    for (const auto& formes : commandes) {
        const std::string& nom = formes.front().front();
        const std::set<std::string> listees = OptionsListees(aides[nom]);
        EXPECT_TRUE(listees.count("--help") && listees.count("--json")) << nom;
        for (const std::string& o : toutes) {
            bool acceptee = false;
            for (const auto& forme : formes)
                acceptee = acceptee || Acceptee(forme, o);
            EXPECT_EQ(acceptee, listees.count(o) == 1) << o << " for " << nom;
        }
    }
    const std::set<std::string> generales = OptionsListees(general.sortie);
    EXPECT_TRUE(generales.count("--port") && generales.count("--baud") && generales.count("--parity"));
    for (const auto& formes : commandes) {
        const std::string& nom = formes.front().front();
        if (nom == "ports")
            continue;
        for (const std::string& o : generales)
            EXPECT_EQ(OptionsListees(aides[nom]).count(o), 1u) << o << " of the general help, for " << nom;
    }
    EXPECT_FALSE(Acceptee({"ports"}, "--port"));
    EXPECT_FALSE(Acceptee({"scan"}, "--id"));
    EXPECT_TRUE(Acceptee({"reset"}, "--wait"));
}

// Every option of the help texts is in the manual page, and every command has its section.
TEST(CliOptions, ManualPageInStepWithTheHelp)
{
    std::ifstream f(VANTOR_CLI_MANPAGE);
    ASSERT_TRUE(f.good());
    std::stringstream s;
    s << f.rdbuf();
    std::string page = s.str();
    // roff writes a hyphen as \- : compare the plain text.
    for (std::size_t p; (p = page.find("\\-")) != std::string::npos;)
        page.replace(p, 2, "-");
    const std::regex option(R"(--[a-z][a-z-]*)");
    for (TCommande c : {TCommande::Aucune, TCommande::Ports, TCommande::Scan, TCommande::Info, TCommande::Read,
                        TCommande::Watch, TCommande::Set, TCommande::SelfTest, TCommande::Reset, TCommande::Report,
                        TCommande::Find, TCommande::Config}) {
        const std::string aide = TexteAide(c);
        for (std::sregex_iterator i(aide.begin(), aide.end(), option), fin; i != fin; ++i)
            EXPECT_NE(page.find(i->str()), std::string::npos) << i->str() << " of " << NomCommande(c);
        if (c != TCommande::Aucune) {
            EXPECT_NE(page.find(".SS " + NomCommande(c)), std::string::npos) << NomCommande(c);
        }
    }
    EXPECT_NE(page.find(".SH EXIT STATUS"), std::string::npos);
}

}  // namespace
