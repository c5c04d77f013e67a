// A failure of the sensor or of the line: the driver's result code and the message the operator
// sees (the driver's message text, or a text of the tool's own). Ends the command with status 1.
#pragma once

#include <stdexcept>
#include <string>

#include "TypesKorvane.h"
#include "UtilKorvane.h"

class TEchecCli : public std::runtime_error {
public:
    explicit TEchecCli(TResultCode code) : std::runtime_error(Message(code)), code_(code) {}
    explicit TEchecCli(const std::string& message, TResultCode code = kResOk) : std::runtime_error(message), code_(code)
    {
    }
    TResultCode Code() const { return code_; }

    // The driver's text for a failure code; a code without a text gets its number.
    static std::string Message(TResultCode code)
    {
        const std::string texte = MessageText(ResultCodeToMessageIndex(code));
        return texte.empty() ? "result code " + std::to_string(code) : texte;
    }

private:
    TResultCode code_;
};

// The outcome of one read: the driver's result code and, when it is 0, the value.
template <class T>
struct TLu {
    TResultCode code = kResOk;
    T valeur{};
    bool Ok() const { return code == kResOk; }
};

// The value of a read that must succeed.
template <class T>
T Exige(const TLu<T>& lu)
{
    if (!lu.Ok())
        throw TEchecCli(lu.code);
    return lu.valeur;
}
