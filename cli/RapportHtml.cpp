#include "RapportHtml.h"

#include <tuple>
#include <utility>

#include "ChaineMesure.h"
#include "CourbeSvg.h"
#include "TexteSur.h"

namespace {

// Every text of the record is UTF-8 already (the JSON document holds nothing else).
std::string E(const std::string& texte)
{
    return EchappeHtml(Utf8Valide(texte));
}

std::string Ligne(const std::string& id, const std::string& titre, const std::string& valeur)
{
    return "<tr><th>" + E(titre) + "</th><td id=\"" + id + "\">" + E(valeur) + "</td></tr>\n";
}

std::string Mesure(const TJson& valeur, int decimales, const std::string& unite = "")
{
    if (!valeur.is_number())
        return "err";
    return ChaineMesure(valeur.get<double>(), decimales) + unite;
}

std::string Verdict(bool reussi)
{
    return reussi ? "pass" : "fail";
}

std::vector<TPointCourbe> Points(const TJson& echantillons, const char* cle)
{
    std::vector<TPointCourbe> points;
    for (const auto& e : echantillons) {
        TPointCourbe p{e["t"].get<double>(), std::nullopt};
        if (e[cle].is_number())
            p.valeur = e[cle].get<double>();
        points.push_back(p);
    }
    return points;
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.15em;margin-top:1.5em}"
    "table{border-collapse:collapse}th,td{border:1px solid #ccc;padding:.25em .6em;text-align:left}"
    "th{background:#f4f4f4;font-weight:normal}"
    ".pass{color:#1a7f37;font-weight:bold}.fail{color:#c62828;font-weight:bold}"
    "td.set{color:#c62828}td.clear{color:#1a7f37}";

// The page's head and the verdict, with the failure when a step failed.
std::string Tete(const TJson& r, const std::string& serie)
{
    const bool reussi = r["verdict"]["pass"].get<bool>();
    std::string h =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n<head>\n"
        "<meta charset=\"UTF-8\"/>\n<title>Vantor commissioning record "
        + E(serie) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    h += "<h1>Vantor commissioning record</h1>\n";
    h += "<p>Sensor <strong id=\"title-serial\">" + E(serie) + "</strong>: <span id=\"verdict\" class=\""
         + Verdict(reussi) + "\">" + Verdict(reussi) + "</span></p>\n";
    if (r.contains("failure")) {
        const TJson& f = r["failure"];
        h += "<p id=\"failure\" class=\"fail\">Failed while <span id=\"failure-operation\">"
             + E(f["operation"].get<std::string>()) + "</span>: <span id=\"failure-message\">"
             + E(f["message"].get<std::string>()) + "</span></p>\n";
    }
    return h;
}

// When, where and why: date, line settings and note.
std::string Enregistrement(const TJson& r)
{
    const TJson& ligne = r["line"];
    std::string h = "<h2>Record</h2>\n<table id=\"record\">\n";
    h += Ligne("date", "Date and time (UTC)", r["date"].get<std::string>());
    h += Ligne("port", "Port", ligne["port"].get<std::string>());
    h += Ligne("baud", "Baud rate", std::to_string(ligne["baud"].get<int>()));
    h += Ligne("parity", "Parity", ligne["parity"].get<std::string>());
    h += Ligne("id", "Slave identifier", std::to_string(ligne["id"].get<int>()));
    h += Ligne("note", "Note", r["note"].get<std::string>());
    return h + "</table>\n";
}

std::string Identite(const TJson& identite)
{
    std::string h = "<h2>Identity</h2>\n<table id=\"identity\">\n";
    if (identite.is_object()) {
        h += Ligne("firmware", "Firmware revision", identite["firmware"].get<std::string>());
        h += Ligne("serial", "Serial number", identite["serial"].get<std::string>());
    } else {
        h += Ligne("identity-missing", "Identity", "not read");
    }
    return h + "</table>\n";
}

std::string Configuration(const TJson& config)
{
    std::string h = "<h2>Configuration</h2>\n<table id=\"configuration\">\n";
    if (config.is_object()) {
        h += Ligne("filter", "Filter cut-off", Mesure(config["filter_hz"], 1, " Hz"));
        h += Ligne("fifo", "FIFO sampling rate", Mesure(config["fifo_hz"], 3, " Hz"));
        h += Ligne("sensor-baud", "Sensor baud rate", std::to_string(config["sensor_baud"].get<int>()));
        h += Ligne("address", "Sensor address", std::to_string(config["address"].get<int>()));
    } else {
        h += Ligne("configuration-missing", "Configuration", "not read");
    }
    return h + "</table>\n";
}

// The monitoring values, then the status word with each of its bits.
std::string Monitoring(const TJson& monitoring)
{
    const TJson& etat = monitoring["status"];
    std::string h = "<h2>Monitoring</h2>\n<table id=\"monitoring\">\n";
    for (const auto& [nom, valeur] : monitoring["monitoring"].items())
        h += Ligne("monitoring-" + nom, nom, Mesure(valeur, 2));
    h += "</table>\n";

    h += "<h2>Status word <span id=\"status-word\">" + E(etat["hex"].get<std::string>())
         + "</span>: <span id=\"status-verdict\" class=\"" + Verdict(etat["pass"].get<bool>()) + "\">"
         + Verdict(etat["pass"].get<bool>()) + "</span></h2>\n";
    h += "<table id=\"status\">\n<tr><th>LED</th><th>Byte</th><th>Bit</th><th>Caption</th><th>State</th></tr>\n";
    for (const auto& b : etat["bits"]) {
        const bool actif = b["set"].get<bool>();
        h += "<tr><td>" + std::to_string(b["led"].get<int>()) + "</td><td>" + E(b["byte"].get<std::string>())
             + "</td><td>" + std::to_string(b["bit"].get<int>()) + "</td><td>" + E(b["caption"].get<std::string>())
             + "</td><td class=\"" + (actif ? "set" : "clear") + "\">" + (actif ? "set" : "clear") + "</td></tr>\n";
    }
    return h + "</table>\n";
}

std::string AutoTest(const TJson& autoTest)
{
    const bool reussi = autoTest["pass"].get<bool>();
    std::string h = "<h2>Self test: <span id=\"selftest\" class=\"" + Verdict(reussi) + "\">" + Verdict(reussi)
                    + "</span></h2>\n<table id=\"selftest-details\">\n";
    h += Ligne("selftest-duration", "Duration", std::to_string(autoTest["duration_ms"].get<long long>()) + " ms");
    h += Ligne("selftest-status", "Last status word", autoTest["status"].get<std::string>());
    if (autoTest.contains("error"))
        h += Ligne("selftest-error", "Error", autoTest["error"].get<std::string>());
    return h + "</table>\n";
}

// Mean, standard deviation, min and max of each measurement recorded.
std::string Statistiques(const TJson& stats)
{
    std::string h =
        "<table id=\"statistics\">\n<tr><th></th><th>Mean</th><th>Standard deviation</th><th>Min</th>"
        "<th>Max</th></tr>\n";
    for (const auto& [cle, nom, id, decimales] :
         {std::tuple{"acceleration_g", "Acceleration (g)", "acceleration", 5}, std::tuple{"temperature_c",
                                                                                          "Temperature (\xC2\xB0"
                                                                                          "C)",
                                                                                          "temperature", 2}}) {
        const TJson& st = stats[cle];
        h += "<tr><th>" + E(nom) + "</th>";
        for (const char* grandeur : {"mean", "sd", "min", "max"})
            h += "<td id=\"" + std::string(id) + "-" + grandeur + "\">" + Mesure(st[grandeur], decimales + 1) + "</td>";
        h += "</tr>\n";
    }
    return h + "</table>\n";
}

// The recording: its length, its statistics and its plot.
std::string Courbes(const TJson& enregistrement)
{
    const TJson& echantillons = enregistrement["samples"];
    const double duree = enregistrement["duration_s"].get<double>();
    std::string h = "<h2>Recording</h2>\n<p><span id=\"samples\">" + std::to_string(echantillons.size())
                    + "</span> samples over <span id=\"duration\">" + ChaineMesure(duree, 1) + "</span> s.</p>\n";
    h += Statistiques(enregistrement["statistics"]);
    h += SvgCourbes({{"acceleration", "Acceleration (g)", 5, Points(echantillons, "acceleration_g")},
                     {"temperature",
                      "Temperature (\xC2\xB0"
                      "C)",
                      1, Points(echantillons, "temperature_c")}},
                    duree);
    return h;
}

// The line's health: transactions, failures by kind, response times.
std::string SanteLigne(const TJson& sante)
{
    const TJson& echecs = sante["failures"];
    const TJson& temps = sante["response_ms"];
    std::string h = "<h2>Line</h2>\n<table id=\"line\">\n";
    h += Ligne("line-transactions", "Transactions", std::to_string(sante["transactions"].get<long long>()));
    for (const auto& [cle, nom] :
         {std::pair{"no_answer", "No answer"}, std::pair{"crc", "CRC error"}, std::pair{"frame", "Frame error"},
          std::pair{"exception", "Exception"}, std::pair{"other", "Other failure"}})
        h += Ligne(std::string("line-") + cle, nom, std::to_string(echecs[cle].get<long long>()));
    for (const auto& [cle, nom] :
         {std::pair{"min", "Response time, min"}, std::pair{"median", "Response time, median"},
          std::pair{"p95", "Response time, 95th percentile"}, std::pair{"max", "Response time, max"}})
        h += Ligne(std::string("line-") + cle, nom, ChaineMesure(temps[cle].get<double>(), 1) + " ms");
    return h + "</table>\n";
}

}  // namespace

std::string HtmlRapport(const TJson& r)
{
    const TJson& identite = r["identity"];
    const std::string serie = identite.is_object() ? identite["serial"].get<std::string>() : std::string("unknown");
    std::string h = Tete(r, serie);
    h += Enregistrement(r);
    h += Identite(identite);
    h += Configuration(r["configuration"]);
    if (r["monitoring"].is_object())
        h += Monitoring(r["monitoring"]);
    if (r["self_test"].is_object())
        h += AutoTest(r["self_test"]);
    if (r["recording"].is_object())
        h += Courbes(r["recording"]);
    if (r.contains("line_health"))
        h += SanteLigne(r["line_health"]);
    h += "</body>\n</html>\n";
    return h;
}
