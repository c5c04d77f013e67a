// vantor-cli: commissioning Vantor sensors from the command line, through the korvane driver.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Commandes.h"
#include "EchecCli.h"
#include "JournalLigne.h"
#include "LigneCli.h"
#include "OptionsCli.h"
#include "Plateforme.h"
#include "ReglagesCli.h"
#include "SortieCli.h"
#include "TexteSur.h"

namespace {

int Execute(const TOptionsCli& o, TSortieCli& sortie)
{
    switch (o.commande) {
    case TCommande::Ports: return CommandePorts(o, sortie);
    case TCommande::Scan: return CommandeScan(o, sortie);
    case TCommande::Info: return CommandeInfo(o, sortie);
    case TCommande::Read: return CommandeRead(o, sortie);
    case TCommande::Watch: return CommandeWatch(o, sortie);
    case TCommande::Set: return CommandeSet(o, sortie);
    case TCommande::SelfTest: return CommandeSelfTest(o, sortie);
    case TCommande::Reset: return CommandeReset(o, sortie);
    case TCommande::Report: return CommandeReport(o, sortie);
    case TCommande::Find: return CommandeFind(o, sortie);
    case TCommande::Config: return CommandeConfig(o, sortie);
    case TCommande::Aucune: break;
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const TAnalyseCli analyse = AnalyseOptions({argv + 1, argv + argc});
    const TOptionsCli& o = analyse.options;
    if (!analyse.erreur.empty()) {
        std::cerr << "vantor-cli: " << TexteAffichable(Utf8Valide(analyse.erreur)) << "\n";
        std::cerr << "(vantor-cli " << (o.commande == TCommande::Aucune ? "" : NomCommande(o.commande) + " ")
                  << "--help describes the options)\n";
        return 2;
    }
    if (o.aide) {
        std::cout << TexteAide(o.commande);
        return 0;
    }

    TSortieCli sortie(o.json, std::cout, std::cerr, EstTerminal(1), EstTerminal(2));
    try {
        if (!o.journal.empty())
            OuvreJournal(o.journal);
        const int statut = Execute(o, sortie);
        FermeJournal();
        return statut;
    } catch (const TEntreeInvalide& e) {
        sortie.Erreur(e.what());
        return 2;
    } catch (const TEchecCli& e) {
        sortie.FinProgres();
        // A record on standard output is the whole output: the failure is in it and on stderr.
        if (o.json && !(o.commande == TCommande::Report && o.sortie == "-"))
            sortie.Ecrit(
                TJson{{"command", NomCommande(o.commande)}, {"error", Utf8Valide(e.what())}, {"code", e.Code()}});
        sortie.Erreur(e.what());
        return 1;
    } catch (const std::exception& e) {
        sortie.Erreur(e.what());
        return 1;
    }
}
