// Where a command's results go: text or JSON on standard output, progress on standard error
// only when it is a terminal, colour only when standard output is a terminal.
#pragma once

#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

using TJson = nlohmann::ordered_json;

class TSortieCli {
public:
    TSortieCli(bool json, std::ostream& sortie, std::ostream& erreurs, bool terminalSortie, bool terminalErreurs);

    bool Json() const { return json_; }
    std::ostream& Flux() { return sortie_; }

    // One JSON document on its own line.
    void Ecrit(const TJson& document);
    // One line of text.
    void Ligne(const std::string& texte);
    // "pass" or "fail", in green or red on a terminal.
    std::string Verdict(bool reussi) const;

    // A progress line on standard error, rewritten in place; nothing off a terminal.
    void Progres(const std::string& texte);
    // Clears the progress line.
    void FinProgres();
    // The one form of every error message: "vantor-cli: TEXT" on standard error, the text made
    // valid UTF-8 and free of terminal controls, after the progress line is cleared.
    void Erreur(const std::string& texte);

private:
    bool json_;
    std::ostream& sortie_;
    std::ostream& erreurs_;
    bool couleur_;
    bool progres_;
    bool progresAffiche_ = false;
};

// A float read from the sensor as the double of its shortest decimal text, so that JSON shows
// 22.35 and not 22.350000381469727.
double Decimal(double valeurFlottante);
