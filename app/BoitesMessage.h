// Where the main window's message boxes go: the one error box of the one-shot operations and the
// one warning about the settings file. The window is given an implementation when it is built;
// TBoitesModales (BoitesModales.h) shows the real modal boxes.
#pragma once

class QString;

class TBoitesMessage {
public:
    virtual ~TBoitesMessage() = default;

    // A failure of an operation the operator started: returns once the operator has seen it.
    virtual void Erreur(const QString& texte) = 0;
    // The settings file could not be used: returns once the operator has seen it.
    virtual void Avertissement(const QString& texte) = 0;
};
