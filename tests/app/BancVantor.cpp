#include "BancVantor.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#include "korvane.h"

void BancVantor::AssureApplication()
{
    if (QApplication::instance() != nullptr)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char nom[] = "test";
    static char* argv[] = {nom, nullptr};
    // Lives until the process ends (reachable through this static, so not a leak).
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

BancVantor::BancVantor() : BancVantor(Options{}) {}

BancVantor::BancVantor(Options options)
{
    AssureApplication();
    m_bus = std::make_unique<vantor::sim::SimBus>();
    m_bus->AddSensor(1);
    m_bus->AddSensor(5);

    m_fenetre = std::make_unique<TFenetrePrincipale>(nullptr, CheminReglages());
    m_fenetre->captureErreur = [this](const QString& texte) { m_erreurs << texte; };

    // Start-up tried the default device; point the connection at the simulator instead.
    MODBUS_ClosePort();
    MODBUS_SetupDevice(m_bus->DevicePath().c_str());
    MODBUS_SetupConnect(-1, -1, -1, m_fenetre->ui->EditId->value());
    if (options.portOuvert)
        MODBUS_OpenPort();
}

BancVantor::~BancVantor()
{
    MODBUS_ClosePort();
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
