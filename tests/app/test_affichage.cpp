// Conversions of the sensor page: measurement texts in two locales, monitoring scalings, LED
// colours, filter coefficients and their inverse, FIFO divider, register 6 fields, identity
// texts and the splitting of hex text into system register words.
#include <gtest/gtest.h>

#include <QLocale>

#include <cmath>
#include <limits>

#include "AffichageVantor.h"
#include "UtilSerial.h"

namespace {

// Sets the default locale for one test and puts the previous one back.
class LocaleParDefaut {
public:
    explicit LocaleParDefaut(const QLocale& locale) : m_avant(QLocale()) { QLocale::setDefault(locale); }
    ~LocaleParDefaut() { QLocale::setDefault(m_avant); }

private:
    QLocale m_avant;
};

const QLocale kAnglais(QLocale::English, QLocale::UnitedStates);
const QLocale kFrancais(QLocale::French, QLocale::France);

TDataArea ZoneDe(std::initializer_list<std::uint8_t> octets)
{
    TDataArea zone{};
    std::size_t i = 0;
    for (auto o : octets)
        zone[i++] = o;
    return zone;
}

}  // namespace

// --- measurement texts ---------------------------------------------------------------------

TEST(TexteMesure, AccelerationAndTemperatureWithFullStop)
{
    LocaleParDefaut locale(kAnglais);
    EXPECT_EQ(TexteAcceleration(ValeurFlottante(ZoneDe({0x3F, 0x80, 0x00, 0x00}), 4)), "1.00000");
    EXPECT_EQ(TexteAcceleration(ValeurFlottante(ZoneDe({0xC0, 0x00, 0x00, 0x00}), 4)), "-2.00000");
    EXPECT_EQ(TexteAcceleration(ValeurFlottante(ZoneDe({0x00, 0x00, 0x00, 0x00}), 4)), "0.00000");
    EXPECT_EQ(TexteTemperature(ValeurFlottante(ZoneDe({0x41, 0xB4, 0x00, 0x00}), 4)), "22.5");
    EXPECT_EQ(TexteTemperature(-40.0), "-40.0");
    EXPECT_EQ(TexteAcceleration(0.0625), "0.06250");
}

TEST(TexteMesure, AccelerationAndTemperatureWithComma)
{
    LocaleParDefaut locale(kFrancais);
    EXPECT_EQ(TexteAcceleration(1.0), "1,00000");
    EXPECT_EQ(TexteAcceleration(-2.0), "-2,00000");
    EXPECT_EQ(TexteTemperature(22.5), "22,5");
    EXPECT_EQ(TexteMesure(1234.5678, 2), "1234,57");
    EXPECT_EQ(TexteMesure(123456789.0, 5), "1,234568E+8");
}

TEST(TexteMesure, RoundsToSevenSignificantDigitsFirst)
{
    // 1234567.8 keeps 7 significant digits: the fraction is gone before the decimals are added.
    EXPECT_EQ(TexteMesure(1234567.8, 5, kAnglais), "1234568.00000");
    EXPECT_EQ(TexteMesure(0.123456789, 5, kAnglais), "0.12346");
    EXPECT_EQ(TexteMesure(-0.000012345678, 5, kAnglais), "-0.00001");
    // Two roundings: 7 digits give 0.000005000000, which then rounds half up to 0.00001
    // (a single rounding to 5 decimals would give 0.00000).
    EXPECT_EQ(TexteMesure(0.0000049999996, 5, kAnglais), "0.00001");
    // 22.45 is stored as 22.4499999...; 7 digits give 22.45000, then 22.5.
    EXPECT_EQ(TexteMesure(22.45, 1, kAnglais), "22.5");
    EXPECT_EQ(TexteMesure(9.99996, 1, kAnglais), "10.0");
    EXPECT_EQ(TexteMesure(0.96, 0, kAnglais), "1");
}

TEST(TexteMesure, NoNegativeZero)
{
    EXPECT_EQ(TexteMesure(-0.0, 5, kAnglais), "0.00000");
    EXPECT_EQ(TexteMesure(-0.000001, 5, kAnglais), "0.00000");
    EXPECT_EQ(TexteMesure(-0.04, 1, kAnglais), "0.0");
}

TEST(TexteMesure, ScientificBeyondSevenIntegerDigits)
{
    EXPECT_EQ(TexteMesure(9999999.0, 1, kAnglais), "9999999.0");
    EXPECT_EQ(TexteMesure(12345678.0, 1, kAnglais), "1.234568E+7");
    EXPECT_EQ(TexteMesure(-50000000.0, 5, kAnglais), "-5E+7");
    // 9999999.5 rounds to 7 digits as 1.000000E+7, which has 8 integer digits.
    EXPECT_EQ(TexteMesure(9999999.5, 5, kAnglais), "1E+7");
    // A reply of the wrong length decodes as 1e38.
    EXPECT_EQ(TexteAcceleration(ValeurFlottante(ZoneDe({0x3F, 0x80}), 2)), TexteMesure(1e38f, 5));
    EXPECT_EQ(TexteMesure(1e38f, 5, kAnglais), "1E+38");
}

TEST(TexteMesure, ValueWithoutNumberReadsErr)
{
    // Exponent field 255 (infinity and NaN patterns) has no value.
    EXPECT_EQ(TexteAcceleration(ValeurFlottante(ZoneDe({0x7F, 0x80, 0x00, 0x00}), 4)), "err");
    EXPECT_EQ(TexteTemperature(ValeurFlottante(ZoneDe({0xFF, 0xC0, 0x00, 0x01}), 4)), "err");
    EXPECT_EQ(TexteMesure(std::numeric_limits<double>::infinity(), 1), "err");
}

// --- monitoring ----------------------------------------------------------------------------

TEST(Monitoring, ScalingsOfTheDocumentedExamples)
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
}

TEST(Monitoring, FullScaleRawValuesDoNotOverflow)
{
    // 65535 x 5000 = 327,675,000 fits the 32-bit product.
    EXPECT_DOUBLE_EQ(EchelleIsupply(65535), 3199.951171875);
    EXPECT_DOUBLE_EQ(EchelleVcell(65535), 327675000.0 / 1536000.0);
    EXPECT_DOUBLE_EQ(EchelleVin(65535), 65535.0 * 55.0 / 1024.0 + 0.7);
    EXPECT_DOUBLE_EQ(EchelleVout(65535), (65535.0 * 5.0 / 1024.0 - 2.5) * 2.0);
    EXPECT_DOUBLE_EQ(EchelleVss(65535), 65535.0 * -10.64 / 1024.0);
}

TEST(Monitoring, ValuesTakenFromRegistersFiveToElevenInOrder)
{
    // Register 4 (status) 0xFFFF, then 1024, 1536, 1024, 0, 1024, 100, 512.
    const TDataArea zone =
        ZoneDe({0xFF, 0xFF, 0x04, 0x00, 0x06, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x64, 0x02, 0x00});
    EXPECT_EQ(MotRegistre(zone, 4, 4), 0xFFFF);
    EXPECT_EQ(MotRegistre(zone, 4, 10), 100);
    const auto v = ValeursMonitoring(zone);
    EXPECT_DOUBLE_EQ(v[0], 50.0);        // Isupply
    EXPECT_DOUBLE_EQ(v[1], 5.0);         // Vcell
    EXPECT_DOUBLE_EQ(v[2], 5.0);         // Vref
    EXPECT_DOUBLE_EQ(v[3], 0.7);         // Vin
    EXPECT_DOUBLE_EQ(v[4], 10.0);        // Vdd
    EXPECT_DOUBLE_EQ(v[5], -1.0390625);  // Vss
    EXPECT_DOUBLE_EQ(v[6], 0.0);         // Vout
}

TEST(Monitoring, LedColourOfEachBit)
{
    const QColor rouge(255, 0, 0);
    const QColor vert(0, 255, 0);
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(CouleurLed(0x00, bit), vert) << bit;
        EXPECT_EQ(CouleurLed(0xFF, bit), rouge) << bit;
        EXPECT_EQ(CouleurLed(static_cast<std::uint8_t>(1u << bit), bit), rouge) << bit;
        EXPECT_EQ(CouleurLed(static_cast<std::uint8_t>(~(1u << bit)), bit), vert) << bit;
    }
}

// --- filter --------------------------------------------------------------------------------

TEST(Filtre, CoefficientsAtFiveHertz)
{
    const TCoefficientsFiltre c = CoefficientsFiltre(5.0);
    EXPECT_NEAR(c.K, 3.0776835, 1e-7);
    EXPECT_NEAR(c.Q, std::sqrt(2.0), 1e-15);
    EXPECT_NEAR(c.A, 0.067455274, 1e-9);
    EXPECT_NEAR(c.B, 16.944272, 1e-6);
    EXPECT_NEAR(c.C, -6.1196342, 1e-7);
    // Truncated patterns, word by word as they go to system registers 64 to 69.
    EXPECT_EQ(SingleToHexText(c.A), "3D8A25FD");  // rounding would give ...25FE
    EXPECT_EQ(SingleToHexText(c.B), "41878DDE");
    EXPECT_EQ(SingleToHexText(c.C), "C0C3D40B");
}

TEST(Filtre, CoefficientBAtTheLimitsOfTheField)
{
    EXPECT_NEAR(CoefficientsFiltre(10.0).B, 1.7888544, 1e-7);
    EXPECT_EQ(SingleToHexText(CoefficientsFiltre(10.0).B), "3FE4F92E");
    EXPECT_NEAR(CoefficientsFiltre(0.1).B, 50657.258, 1e-3);
    EXPECT_EQ(SingleToHexText(CoefficientsFiltre(0.1).B), "4745E142");
}

TEST(Filtre, FrequencyFromCoefficientB)
{
    double f = -1.0;
    ASSERT_EQ(FrequenceDeB(HexTextToSingle("41878DDE"), f), kResOk);
    EXPECT_NEAR(f, 5.0, 1e-5);
    ASSERT_EQ(FrequenceDeB(HexTextToSingle("3FE4F92E"), f), kResOk);
    EXPECT_NEAR(f, 10.0, 1e-5);
    ASSERT_EQ(FrequenceDeB(HexTextToSingle("4745E142"), f), kResOk);
    EXPECT_NEAR(f, 0.1, 1e-6);
    ASSERT_EQ(FrequenceDeB(1.0, f), kResOk);  // about 10.9 Hz, beyond the field's range
    EXPECT_NEAR(f, 10.8976, 1e-4);
}

TEST(Filtre, FrequencyRefusedForBZeroMinusOneAndNoValue)
{
    double f = 7.0;
    EXPECT_EQ(FrequenceDeB(0.0, f), kResFrameError);
    EXPECT_EQ(FrequenceDeB(-1.0, f), kResBadParam);
    EXPECT_EQ(FrequenceDeB(-3.5, f), kResBadParam);
    EXPECT_EQ(FrequenceDeB(HexTextToSingle("7FC00000"), f), kResFrameError);
    EXPECT_EQ(f, 7.0);
    EXPECT_EQ(FrequenceDeB(-0.5, f), kResOk);
}

// --- FIFO ----------------------------------------------------------------------------------

TEST(Fifo, DividerOfTheDocumentedExamples)
{
    EXPECT_EQ(DiviseurFifo(5.0), 10);
    EXPECT_EQ(DiviseurFifo(50.0), 1);
    EXPECT_EQ(DiviseurFifo(20.0), 2);  // 2.5 goes to the even neighbour
    EXPECT_EQ(DiviseurFifo(0.1), 0);   // 500 is beyond 255: 0 stands for 256
    EXPECT_EQ(DiviseurFifo(16.667), 3);
}

TEST(Fifo, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(DiviseurFifo(4.0), 12);  // 12.5
    EXPECT_EQ(DiviseurFifo(0.8), 62);  // 62.5
    EXPECT_EQ(DiviseurFifo(40.0), 1);  // 1.25
    EXPECT_EQ(DiviseurFifo(50.0 / 2.75), 3);
}

TEST(Fifo, LimitsOneTwoFiftyFiveAndZero)
{
    EXPECT_EQ(DiviseurFifo(100.0), 1);  // 0.5 rounds to 0, raised to 1
    EXPECT_EQ(DiviseurFifo(500.0), 1);
    EXPECT_EQ(DiviseurFifo(50.0 / 255.0), 255);
    EXPECT_EQ(DiviseurFifo(50.0 / 255.4), 255);
    EXPECT_EQ(DiviseurFifo(50.0 / 255.6), 0);
    EXPECT_EQ(DiviseurFifo(0.0), 0);
    EXPECT_EQ(DiviseurFifo(std::numeric_limits<double>::quiet_NaN()), 1);
}

TEST(Fifo, RateOfADivider)
{
    EXPECT_DOUBLE_EQ(FrequenceFifo(2), 25.0);
    EXPECT_NEAR(FrequenceFifo(3), 16.667, 5e-4);
    EXPECT_DOUBLE_EQ(FrequenceFifo(0), 0.1953125);
    EXPECT_DOUBLE_EQ(FrequenceFifo(10), 5.0);
    EXPECT_DOUBLE_EQ(FrequenceFifo(255), 50.0 / 255.0);
}

// --- register 6: the entry to write (the fields read are the sensor layer's, tested there) --

TEST(Registre6, BaudEntryToWriteFromSelectionOrTypedText)
{
    EXPECT_EQ(EntreeBaudAEcrire(2, "9600"), 2);  // the selection wins
    EXPECT_EQ(EntreeBaudAEcrire(0, ""), 0);
    EXPECT_EQ(EntreeBaudAEcrire(-1, "9600"), 0);
    EXPECT_EQ(EntreeBaudAEcrire(-1, "19200"), 1);
    EXPECT_EQ(EntreeBaudAEcrire(-1, "38400"), 2);
    EXPECT_EQ(EntreeBaudAEcrire(-1, "57600"), -1);
    EXPECT_EQ(EntreeBaudAEcrire(-1, ""), -1);
    EXPECT_EQ(EntreeBaudAEcrire(-1, "1920"), -1);
}

// --- identity ------------------------------------------------------------------------------

TEST(Identite, RevisionText)
{
    EXPECT_EQ(TexteRevision(0x01, 0x0A), "1.10");
    EXPECT_EQ(TexteRevision(0x02, 0x03), "2.3");
    EXPECT_EQ(TexteRevision(0xFF, 0x00), "255.0");
}

TEST(Identite, SerialNumberText)
{
    EXPECT_EQ(TexteNumSerie(ZoneDe({0x41, 0x42, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37})), "AB123456");
    EXPECT_EQ(TexteNumSerie(ZoneDe({0xC9, 0x74, 0xE9, 0x20, 0x2D, 0x2D, 0x2D, 0x2D})),
              QString::fromUtf8("\xC3\x89t\xC3\xA9 ----"));
}

// --- system register words -----------------------------------------------------------------

TEST(MotsHexa, WordsHighByteFirst)
{
    using M = std::pair<std::uint8_t, std::uint8_t>;
    EXPECT_EQ(MotsHexa("3D8A25FD"), (std::vector<M>{{0x3D, 0x8A}, {0x25, 0xFD}}));
    EXPECT_EQ(MotsHexa("ABC"), (std::vector<M>{{0xAB, 0xC0}}));
    EXPECT_EQ(MotsHexa("12345"), (std::vector<M>{{0x12, 0x34}, {0x50, 0x00}}));
    EXPECT_TRUE(MotsHexa("").empty());
}
