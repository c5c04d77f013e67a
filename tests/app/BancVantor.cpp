#include "BancVantor.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#include "ApplicationEssai.h"
#include "korvane.h"

void BancVantor::AssureApplication()
{
    AssureApplicationEssai();
}

BancVantor::BancVantor() : BancVantor(Options{}) {}

BancVantor::BancVantor(Options options)
{
    AssureApplication();
    m_bus = std::make_unique<vantor::sim::SimBus>();
    m_bus->AddSensor(1);
    m_bus->AddSensor(5);

    m_fenetre = std::make_unique<TFenetrePrincipale>(nullptr, CheminReglages(), &m_boites);
    m_widgets.emplace(*m_fenetre);

    // Start-up tried the default device; point the connection at the simulator instead.
    MODBUS_ClosePort();
    MODBUS_SetupDevice(m_bus->DevicePath().c_str());
    MODBUS_SetupConnect(-1, -1, -1, m_widgets->EditId->value());
    if (options.portOuvert)
        MODBUS_OpenPort();
}

BancVantor::~BancVantor()
{
    MODBUS_ClosePort();
    m_widgets.reset();
    m_fenetre.reset();
    m_bus.reset();
}

vantor::sim::SimSensor& BancVantor::Capteur(std::uint8_t adresse)
{
    vantor::sim::SimSensor* capteur = m_bus->SensorAt(adresse);
    if (capteur == nullptr) {
        ADD_FAILURE() << "no simulated sensor at address " << int(adresse);
        std::abort();
    }
    return *capteur;
}

QString BancVantor::CheminReglages() const
{
    return m_dossier.filePath(QStringLiteral("AppVantor.xml"));
}
