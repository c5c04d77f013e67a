// ports: the serial devices of this machine and the COMn names beside the program.
#include "Commandes.h"
#include "EchecCli.h"
#include "GatewayName.h"
#include "OptionsCli.h"
#include "PortsSerie.h"
#include "TexteSur.h"

namespace {

std::string Affichable(const std::string& texte)
{
    return TexteAffichable(Utf8Valide(texte));
}

int Liste(const TOptionsCli&, TSortieCli& sortie)
{
    const TRacinesPorts racines = RacinesPorts();
    const auto ports = ListePorts(racines);
    const auto liens = LiensCom(racines);
    if (sortie.Json()) {
        TJson tous = TJson::array();
        for (const auto& p : ports) {
            TJson j{{"path", Utf8Valide(p.chemin)},
                    {"by_id", Utf8Valide(p.parId)},
                    {"driver", Utf8Valide(p.pilote)},
                    {"usb", Utf8Valide(p.usb)},
                    {"product", Utf8Valide(p.produit)},
                    {"accessible", p.accessible},
                    {"busy", p.occupe},
                    {"com", p.noms}};
            if (!p.accessible)
                j["fix"] = Utf8Valide(p.remede);
            tous.push_back(j);
        }
        TJson com = TJson::array();
        for (const auto& l : liens)
            com.push_back(
                {{"name", "COM" + std::to_string(l.numero)}, {"target", Utf8Valide(l.cible)}, {"valid", l.valide}});
        sortie.Ecrit(TJson{
            {"command", "ports"}, {"dosdevices", Utf8Valide(racines.dosdevices)}, {"ports", tous}, {"links", com}});
        return 0;
    }
    if (ports.empty())
        sortie.Ligne("no serial device found");
    for (const auto& p : ports) {
        std::string ligne = Affichable(p.chemin);
        if (!p.noms.empty()) {
            ligne += "  (";
            for (std::size_t i = 0; i < p.noms.size(); ++i)
                ligne += (i ? ", " : "") + p.noms[i];
            ligne += ")";
        }
        sortie.Ligne(ligne);
        if (!p.parId.empty())
            sortie.Ligne("  by-id     " + Affichable(p.parId));
        if (!p.pilote.empty())
            sortie.Ligne("  driver    " + Affichable(p.pilote));
        if (!p.usb.empty())
            sortie.Ligne("  usb       " + Affichable(p.usb) + (p.produit.empty() ? "" : "  " + Affichable(p.produit)));
        sortie.Ligne(std::string("  access    ") + (p.accessible ? "yes" : "no: " + Affichable(p.remede)));
        if (p.accessible)
            sortie.Ligne(std::string("  busy      ") + (p.occupe ? "yes" : "no"));
    }
    if (AssignationPossible()) {
        sortie.Ligne("");
        sortie.Ligne("COM names in " + Affichable(racines.dosdevices) + ":" + (liens.empty() ? " none" : ""));
        for (const auto& l : liens)
            sortie.Ligne("  COM" + std::to_string(l.numero) + " -> " + Affichable(l.cible)
                         + (IsGatewayName(l.cible) ? (l.valide ? "  (server answers)" : "  (no answer from the server)")
                                                   : (l.valide ? "" : "  (missing)")));
    }
    return 0;
}

}  // namespace

int CommandePorts(const TOptionsCli& o, TSortieCli& sortie)
{
    if (o.arguments.empty())
        return Liste(o, sortie);
    const std::string nom = "COM" + std::to_string(NumeroCom(o.arguments[1]));
    if (!AssignationPossible()) {
        sortie.Ligne("not needed on this system: " + nom + " is the system's own name");
        return 0;
    }
    const TRacinesPorts racines = RacinesPorts();
    if (o.arguments[0] == "assign") {
        const std::string cible = AssignePort(racines, NumeroCom(o.arguments[1]), o.arguments[2]);
        if (sortie.Json())
            sortie.Ecrit(TJson{{"command", "ports assign"}, {"name", nom}, {"target", Utf8Valide(cible)}});
        else
            sortie.Ligne(nom + " -> " + Affichable(cible));
    } else {
        LiberePort(racines, NumeroCom(o.arguments[1]));
        if (sortie.Json())
            sortie.Ecrit(TJson{{"command", "ports unassign"}, {"name", nom}});
        else
            sortie.Ligne(nom + " unassigned");
    }
    return 0;
}
