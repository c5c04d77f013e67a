// The sensor's operations, each made of the same driver requests as the window's: reads that
// give a value or a failure code, and writes that give the driver's result code.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "EchecCli.h"
#include "OptionsCli.h"
#include "TypesKorvane.h"

struct TIdentite {
    std::string revision;  // "1.10"
    std::string numSerie;  // 8 characters as the sensor holds them (8-bit codes)
};

struct TConfiguration {
    double coefB = 0.0;             // filter coefficient B as read
    double filtreHz = 0.0;          // cut-off frequency derived from it
    std::uint8_t diviseurFifo = 0;  // high byte of holding 7 (0 stands for 256)
    double fifoHz = 0.0;
    std::uint16_t registre6 = 0;  // high byte baud index, low byte address
    int baudCapteur = 0;          // 9600, 19200 or 38400, as the window reads the index
    int adresse = 0;              // 1..127, as the window reads the low byte
};

struct TMonitoring {
    std::uint16_t etat = 0;                // status word (input register 4)
    std::array<std::uint16_t, 7> bruts{};  // input registers 5..11
    std::array<double, 7> valeurs{};       // scaled
};

TLu<double> LitAcceleration();
TLu<double> LitTemperature();
TLu<TMonitoring> LitMonitoring();
TLu<std::uint16_t> LitEtat();  // the status word alone (input register 4)

// Firmware revision (input 12) and serial number (holding 8..11).
TIdentite LitIdentite();
// Filter (holding 2-3), FIFO divider (holding 7), baud index and address (holding 6).
TConfiguration LitConfiguration();
TLu<std::uint16_t> LitRegistre6();

// Identity and configuration together, the port held open for these reads only.
struct TFicheCapteur {
    TIdentite identite;
    TConfiguration configuration;
};
TFicheCapteur LitFiche(const TOptionsCli& options);

// Filter coefficients A, B, C into system registers 64..69, one word per request; stops at
// the first failure and gives its code.
TResultCode EcritFiltre(double frequence);
TResultCode EcritFifo(std::uint8_t diviseur);
TResultCode EcritRegistre6(std::uint8_t indexBaud, std::uint8_t adresse);
// Whether the answer to a write of register 6 is final: a refusal (an exception) or a port that
// failed. A missing or garbled answer may come from a sensor that switched to its new address
// or rate before answering: the read-back decides.
bool Registre6Refuse(TResultCode code);

// A one-byte PDU of the sensor's own (self test, reset): the driver's code, or the code of the
// exception the sensor answered with.
TResultCode EnvoieCommande(std::uint8_t fonction);

// The bus scan's probe: one read of input register 0 at the slave identifier in force.
TResultCode Sonde();
