#include "CapteurCli.h"

#include <chrono>

#include "IdentiteVantor.h"
#include "JournalLigne.h"
#include "LigneCli.h"
#include "MesuresVantor.h"
#include "OperationsVantor.h"
#include "ReglagesVantor.h"
#include "RegistresVantor.h"
#include "UtilSerial.h"
#include "korvane.h"

namespace {

using THorloge = std::chrono::steady_clock;

// Runs one driver transaction and notes it in the line's journal.
template <class F>
TResultCode Transaction(const char* operation, const char* champ, int valeur, F&& appel)
{
    const auto debut = THorloge::now();
    const TResultCode code = appel();
    const double ms = std::chrono::duration<double, std::milli>(THorloge::now() - debut).count();
    NoteTransaction(operation, AdresseLigne(), champ, valeur, code, ms);
    return code;
}

struct TReponse {
    TResultCode code;
    TDataArea zone;
    std::uint8_t nbOctets;
};

TReponse LitEntrees(const TRequete& r)
{
    TReponse rep{kResOk, {}, 0};
    rep.code = Transaction("read input", "register", r.debut, [&] {
        return MODBUS_ReadInputRegisters(r.debut, r.nombre, &rep.nbOctets, rep.zone.data());
    });
    return rep;
}

TReponse LitMaintien(const TRequete& r)
{
    TReponse rep{kResOk, {}, 0};
    rep.code = Transaction("read holding", "register", r.debut, [&] {
        return MODBUS_ReadHoldingRegisters(r.debut, r.nombre, &rep.nbOctets, rep.zone.data());
    });
    return rep;
}

// The answer of a read that must succeed.
TReponse Reussie(const TReponse& rep)
{
    if (rep.code != kResOk)
        throw TEchecCli(rep.code);
    return rep;
}

// Register k of an answer that starts at register premier, or the failure of the read.
TLu<std::uint16_t> Mot(const TReponse& rep, int premier, int k)
{
    if (rep.code != kResOk)
        return {rep.code, 0};
    return {kResOk, MotRegistre(rep.zone, premier, k)};
}

TLu<double> Flottant(const TRequete& r)
{
    const TReponse rep = LitEntrees(r);
    if (rep.code != kResOk)
        return {rep.code, 0.0};
    return {kResOk, ValeurFlottante(rep.zone, rep.nbOctets)};
}

// One word into a system register, as one logged transaction.
TResultCode EcritureSysteme(std::uint8_t registre, std::uint8_t haut, std::uint8_t bas)
{
    return Transaction("write system", "register", registre,
                       [&] { return MODBUS_WriteSystemRegister(registre, haut, bas); });
}

}  // namespace

TLu<double> LitAcceleration()
{
    return Flottant(kLectureAcceleration);
}

TLu<double> LitTemperature()
{
    return Flottant(kLectureTemperature);
}

TLu<TMonitoring> LitMonitoring()
{
    const TReponse rep = LitEntrees(kLectureMonitoring);
    if (rep.code != kResOk)
        return {rep.code, {}};
    TMonitoring m;
    m.etat = MotEtat(rep.zone);
    for (int i = 0; i < 7; ++i)
        m.bruts[static_cast<std::size_t>(i)] = MotRegistre(rep.zone, 4, 5 + i);
    m.valeurs = ValeursMonitoring(rep.zone);
    return {kResOk, m};
}

TLu<std::uint16_t> LitEtat()
{
    return Mot(LitEntrees({kLectureMonitoring.debut, 1}), 4, 4);
}

TIdentite LitIdentite()
{
    TIdentite id;
    const TReponse revision = Reussie(LitEntrees(kLectureRevision));
    id.revision = ChaineRevision(revision.zone[0], revision.zone[1]);
    id.numSerie = ChaineNumSerie(Reussie(LitMaintien(kLectureNumSerie)).zone);
    return id;
}

TLu<std::uint16_t> LitRegistre6()
{
    return Mot(LitMaintien(kLectureBaudAdresse), 6, 6);
}

TConfiguration LitConfiguration()
{
    TConfiguration c;
    const TReponse filtre = Reussie(LitMaintien(kLectureFiltre));
    c.coefB = ValeurFlottante(filtre.zone, filtre.nbOctets);
    const TResultCode verdict = FrequenceDeB(c.coefB, c.filtreHz);
    if (verdict != kResOk)
        throw TEchecCli(verdict);

    c.diviseurFifo = Reussie(LitMaintien(kLectureFifo)).zone[0];
    c.fifoHz = FrequenceFifo(c.diviseurFifo);

    c.registre6 = Exige(LitRegistre6());
    c.baudCapteur = kBaudsCapteur[static_cast<std::size_t>(EntreeBaudLue(static_cast<std::uint8_t>(c.registre6 >> 8)))];
    c.adresse = AdresseLue(static_cast<std::uint8_t>(c.registre6 & 0xFF));
    return c;
}

TFicheCapteur LitFiche(const TOptionsCli& options)
{
    const TLigneOuverte ligne(options);
    TFicheCapteur fiche;
    fiche.identite = LitIdentite();
    fiche.configuration = LitConfiguration();
    return fiche;
}

TResultCode EcritFiltre(double frequence)
{
    return EcritFiltreSysteme(frequence, EcritureSysteme);
}

TResultCode EcritFifo(std::uint8_t diviseur)
{
    return Transaction("write holding", "register", kRegistreFifo,
                       [&] { return MODBUS_WriteSingleRegister(kRegistreFifo, diviseur, kOctetBasFifo); });
}

TResultCode EcritRegistre6(std::uint8_t indexBaud, std::uint8_t adresse)
{
    return Transaction("write holding", "register", kRegistreBaudAdresse,
                       [&] { return MODBUS_WriteSingleRegister(kRegistreBaudAdresse, indexBaud, adresse); });
}

TResultCode EnvoieCommande(std::uint8_t fonction)
{
    TDataArea zone{};
    HexTextToBuffer(IntToHexText(fonction), zone);
    std::uint32_t longueur = 1;
    return Transaction("command", "function", fonction, [&]() -> TResultCode {
        const TResultCode code = MODBUS_exchange(zone.data(), &longueur);
        if (code != kResOk)
            return code;
        // An exception answer is a valid exchange for the driver: its code is the failure here.
        if (longueur >= 2 && zone[0] == (fonction | 0x80))
            return ExceptionToResultCode(zone[1]);
        return kResOk;
    });
}

bool Registre6Refuse(TResultCode code)
{
    const bool exception = code <= kResExcFunction && code >= kResExcDevice;
    return code != kResOk && (exception || code == kResIoError);
}

TResultCode Sonde()
{
    return LitEntrees(kLectureDetection).code;
}
