#include "KorvaneEnregistreur.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

#include "DefKorvane.h"

namespace enregistreur {

namespace {

struct TReponse {
    TResultCode code;
    std::vector<std::uint8_t> donnees;
};

struct TEtat {
    std::vector<TAppel> appels;
    std::map<std::string, std::deque<TReponse>> reponses;
    std::function<void(const TAppel&)> crochet;
};

TEtat& Etat()
{
    static TEtat etat;
    return etat;
}

// Records the call, runs the hook and gives the scripted answer, if any.
bool Enregistre(TAppel appel, TReponse& reponse)
{
    TEtat& etat = Etat();
    etat.appels.push_back(appel);
    if (etat.crochet)
        etat.crochet(etat.appels.back());
    auto& file = etat.reponses[appel.fonction];
    if (file.empty())
        return false;
    reponse = std::move(file.front());
    file.pop_front();
    return true;
}

TResultCode Lecture(const char* fonction, std::uint16_t adresse, std::uint16_t quantite, std::uint8_t* nb,
                    std::uint8_t* data)
{
    TReponse reponse{kResOk, std::vector<std::uint8_t>(2u * quantite, 0)};
    Enregistre({fonction, {adresse, quantite}}, reponse);
    std::memset(data, 0, kTailleZone);
    *nb = 0;
    if (reponse.code != kResOk)
        return reponse.code;
    const std::size_t n = std::min<std::size_t>(reponse.donnees.size(), kTailleZone);
    std::copy_n(reponse.donnees.begin(), n, data);
    *nb = static_cast<std::uint8_t>(n);
    return kResOk;
}

TResultCode Simple(TAppel appel)
{
    TReponse reponse{kResOk, {}};
    Enregistre(std::move(appel), reponse);
    return reponse.code;
}

}  // namespace

const std::vector<TAppel>& Appels()
{
    return Etat().appels;
}

std::vector<TAppel> AppelsDe(const std::string& fonction)
{
    std::vector<TAppel> choisis;
    for (const TAppel& a : Etat().appels)
        if (a.fonction == fonction)
            choisis.push_back(a);
    return choisis;
}

void Reinitialise()
{
    Etat() = TEtat{};
}

void AjouteReponse(const std::string& fonction, TResultCode code, std::vector<std::uint8_t> donnees)
{
    Etat().reponses[fonction].push_back({code, std::move(donnees)});
}

void PendantAppel(std::function<void(const TAppel&)> crochet)
{
    Etat().crochet = std::move(crochet);
}

}  // namespace enregistreur

using enregistreur::Lecture;
using enregistreur::Simple;

extern "C" {

std::int32_t KORVANE_CALL MODBUS_SetupConnect(std::int32_t port, std::int32_t lineMode, std::int32_t baud,
                                              std::int32_t id)
{
    return Simple({"SetupConnect", {port, lineMode, baud, id}});
}

std::int32_t KORVANE_CALL MODBUS_OpenPort()
{
    return Simple({"OpenPort", {}});
}

std::int32_t KORVANE_CALL MODBUS_ClosePort()
{
    return Simple({"ClosePort", {}});
}

std::int32_t KORVANE_CALL MODBUS_ReadHoldingRegisters(std::uint16_t address, std::uint16_t quantity,
                                                      std::uint8_t* count, std::uint8_t* data)
{
    return Lecture("ReadHoldingRegisters", address, quantity, count, data);
}

std::int32_t KORVANE_CALL MODBUS_ReadInputRegisters(std::uint16_t address, std::uint16_t quantity, std::uint8_t* count,
                                                    std::uint8_t* data)
{
    return Lecture("ReadInputRegisters", address, quantity, count, data);
}

std::int32_t KORVANE_CALL MODBUS_ReadSystemRegisters(std::uint16_t address, std::uint16_t quantity, std::uint8_t* count,
                                                     std::uint8_t* data)
{
    return Lecture("ReadSystemRegisters", address, quantity, count, data);
}

std::int32_t KORVANE_CALL MODBUS_WriteSingleRegister(std::uint16_t address, std::uint8_t high, std::uint8_t low)
{
    return Simple({"WriteSingleRegister", {address, high, low}});
}

std::int32_t KORVANE_CALL MODBUS_WriteSystemRegister(std::uint16_t address, std::uint8_t high, std::uint8_t low)
{
    return Simple({"WriteSystemRegister", {address, high, low}});
}

std::int32_t KORVANE_CALL MODBUS_exchange(std::uint8_t* data, std::uint32_t* length)
{
    enregistreur::TAppel appel{"exchange", {static_cast<long>(*length)}};
    for (std::uint32_t i = 0; i < *length && i < kTailleZone; ++i)
        appel.arguments.push_back(data[i]);
    enregistreur::TReponse reponse{kResOk, {}};
    enregistreur::Enregistre(std::move(appel), reponse);
    std::memset(data, 0, kTailleZone);
    if (reponse.code != kResOk) {
        *length = 0;
        return reponse.code;
    }
    const std::size_t n = std::min<std::size_t>(reponse.donnees.size(), kTailleZone);
    std::copy_n(reponse.donnees.begin(), n, data);
    *length = static_cast<std::uint32_t>(n);
    return kResOk;
}

}  // extern "C"
