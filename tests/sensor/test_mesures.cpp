// Measurements: binary32 values from data bytes, the seven monitoring scalings in register
// order, and the status word's bits in LED order.
#include <gtest/gtest.h>

#include "MesuresVantor.h"
#include "RegistresVantor.h"

namespace {

TDataArea ZoneDe(std::initializer_list<std::uint8_t> octets)
{
    TDataArea zone{};
    std::size_t i = 0;
    for (auto o : octets)
        zone[i++] = o;
    return zone;
}

}  // namespace

TEST(SensorMesures, FloatsOfTheDocumentedExamples)
{
    EXPECT_EQ(ValeurFlottante(ZoneDe({0x3F, 0x80, 0x00, 0x00}), 4), 1.0);
    EXPECT_EQ(ValeurFlottante(ZoneDe({0xC0, 0x00, 0x00, 0x00}), 4), -2.0);
    EXPECT_EQ(ValeurFlottante(ZoneDe({0x41, 0xB4, 0x00, 0x00}), 4), 22.5);
    EXPECT_EQ(ValeurFlottante(ZoneDe({0x00, 0x00, 0x00, 0x00}), 4), 0.0);
    EXPECT_EQ(ValeurFlottante(ZoneDe({0x3F, 0x80}), 2), static_cast<double>(1e38f));
}

TEST(SensorMesures, MonitoringScalings)
{
    EXPECT_DOUBLE_EQ(EchelleVout(0), -5.0);
    EXPECT_DOUBLE_EQ(EchelleVout(512), 0.0);
    EXPECT_DOUBLE_EQ(EchelleVout(1024), 5.0);
    EXPECT_DOUBLE_EQ(EchelleVin(0), 0.7);
    EXPECT_DOUBLE_EQ(EchelleVss(100), -1.0390625);
    EXPECT_DOUBLE_EQ(EchelleIsupply(1024), 50.0);
    EXPECT_DOUBLE_EQ(EchelleVref(1024), 5.0);
    EXPECT_DOUBLE_EQ(EchelleVdd(1024), 10.0);
    EXPECT_DOUBLE_EQ(EchelleVcell(1536), 5.0);
    EXPECT_DOUBLE_EQ(EchelleIsupply(65535), 3199.951171875);  // 65535 x 5000 fits 32 bits
}

TEST(SensorMesures, MonitoringReplyInRegisterOrder)
{
    const TDataArea zone =
        ZoneDe({0x12, 0x34, 0x04, 0x00, 0x06, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x64, 0x02, 0x00});
    EXPECT_EQ(MotEtat(zone), 0x1234);
    const auto v = ValeursMonitoring(zone);
    const std::array<double, 7> attendu{50.0, 5.0, 5.0, 0.7, 10.0, -1.0390625, 0.0};
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_DOUBLE_EQ(v[i], attendu[i]) << kLegendesMonitoring[i];
}

TEST(SensorMesures, StatusBitsInLedOrder)
{
    // 0x0100 is LED 1 only, 0x8000 LED 8, 0x0001 LED 9, 0x0080 LED 16.
    const struct {
        std::uint16_t mot;
        int led;
    } cas[] = {{0x0100, 0}, {0x8000, 7}, {0x0001, 8}, {0x0080, 15}};
    for (const auto& c : cas)
        for (int led = 0; led < 16; ++led)
            EXPECT_EQ(BitLed(c.mot, led), led == c.led) << std::hex << c.mot << " led " << led + 1;
    for (int led = 0; led < 16; ++led) {
        EXPECT_FALSE(BitLed(0x0000, led));
        EXPECT_TRUE(BitLed(0xFFFF, led));
    }
}

TEST(SensorMesures, SelfTestBitsAreLedsFiveToEight)
{
    for (int led = 0; led < 16; ++led)
        EXPECT_EQ(BitLed(kBitsAutoTest, led), led >= 4 && led <= 7) << led + 1;
    for (int led = 4; led <= 7; ++led)
        EXPECT_EQ(kLegendesBits[static_cast<std::size_t>(led)], "sensitive elmnt test");
    EXPECT_EQ(kLegendesBits[0], "Can");
    EXPECT_EQ(kLegendesBits[2], "T\xC2\xB0");
    EXPECT_EQ(kLegendesBits[8], "Isupp");
    EXPECT_EQ(kLegendesBits[15], "Vout");
}

TEST(SensorMesures, RequestsOfTheRegisterMap)
{
    EXPECT_EQ(kLectureAcceleration.debut, 0);
    EXPECT_EQ(kLectureAcceleration.nombre, 2);
    EXPECT_EQ(kLectureTemperature.debut, 2);
    EXPECT_EQ(kLectureMonitoring.debut, 4);
    EXPECT_EQ(kLectureMonitoring.nombre, 8);
    EXPECT_EQ(kLectureRevision.debut, 12);
    EXPECT_EQ(kLectureDetection.nombre, 1);
    EXPECT_EQ(kLectureFiltre.debut, 2);
    EXPECT_EQ(kLectureBaudAdresse.debut, 6);
    EXPECT_EQ(kLectureFifo.debut, 7);
    EXPECT_EQ(kLectureNumSerie.debut, 8);
    EXPECT_EQ(kLectureNumSerie.nombre, 4);
}
