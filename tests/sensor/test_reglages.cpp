// Settings as register values: filter coefficients and their inverse, FIFO divider, the fields
// of register 6 and system-register words.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ReglagesVantor.h"
#include "UtilSerial.h"

TEST(SensorReglages, FilterAtFiveHertz)
{
    const TCoefficientsFiltre c = CoefficientsFiltre(5.0);
    EXPECT_NEAR(c.K, 3.0776835, 1e-7);
    EXPECT_NEAR(c.A, 0.067455274, 1e-9);
    EXPECT_NEAR(c.B, 16.944272, 1e-6);
    EXPECT_NEAR(c.C, -6.1196342, 1e-7);
    EXPECT_EQ(SingleToHexText(c.A), "3D8A25FD");
    EXPECT_EQ(SingleToHexText(c.B), "41878DDE");
    EXPECT_EQ(SingleToHexText(c.C), "C0C3D40B");
}

TEST(SensorReglages, FilterFrequencyBackFromB)
{
    double f = 0.0;
    ASSERT_EQ(FrequenceDeB(HexTextToSingle("41878DDE"), f), kResOk);
    EXPECT_NEAR(f, 5.0, 1e-5);
    ASSERT_EQ(FrequenceDeB(HexTextToSingle("3FE4F92E"), f), kResOk);
    EXPECT_NEAR(f, 10.0, 1e-5);
    ASSERT_EQ(FrequenceDeB(HexTextToSingle("4745E142"), f), kResOk);
    EXPECT_NEAR(f, 0.1, 1e-6);
    EXPECT_EQ(FrequenceDeB(0.0, f), kResFrameError);
    EXPECT_EQ(FrequenceDeB(-1.0, f), kResBadParam);
    EXPECT_EQ(FrequenceDeB(std::numeric_limits<double>::quiet_NaN(), f), kResFrameError);
}

TEST(SensorReglages, FifoDividerAndRate)
{
    EXPECT_EQ(DiviseurFifo(5.0), 10);
    EXPECT_EQ(DiviseurFifo(50.0), 1);
    EXPECT_EQ(DiviseurFifo(20.0), 2);
    EXPECT_EQ(DiviseurFifo(0.1), 0);
    EXPECT_EQ(DiviseurFifo(4.0), 12);
    EXPECT_DOUBLE_EQ(FrequenceFifo(2), 25.0);
    EXPECT_DOUBLE_EQ(FrequenceFifo(0), 0.1953125);
    EXPECT_NEAR(FrequenceFifo(3), 16.667, 5e-4);
}

TEST(SensorReglages, Register6Fields)
{
    // High byte: the baud entry; an index the sensor does not define reads as 19200 (entry 1).
    EXPECT_EQ(EntreeBaudLue(0), 0);
    EXPECT_EQ(EntreeBaudLue(1), 1);
    EXPECT_EQ(EntreeBaudLue(2), 2);
    EXPECT_EQ(EntreeBaudLue(3), 1);
    EXPECT_EQ(EntreeBaudLue(7), 1);
    EXPECT_EQ(EntreeBaudLue(255), 1);
    // Low byte: the address; one outside 1..127 reads as 1.
    EXPECT_EQ(AdresseLue(5), 5);
    EXPECT_EQ(AdresseLue(1), 1);
    EXPECT_EQ(AdresseLue(127), 127);
    EXPECT_EQ(AdresseLue(0), 1);
    EXPECT_EQ(AdresseLue(128), 1);
    EXPECT_EQ(AdresseLue(255), 1);
}

TEST(SensorReglages, BaudEntryOfAText)
{
    EXPECT_EQ(EntreeBaudDeTexte("9600"), 0);
    EXPECT_EQ(EntreeBaudDeTexte("19200"), 1);
    EXPECT_EQ(EntreeBaudDeTexte("38400"), 2);
    EXPECT_EQ(EntreeBaudDeTexte("57600"), -1);
    EXPECT_EQ(EntreeBaudDeTexte(" 9600"), -1);
    EXPECT_EQ(EntreeBaudDeTexte(""), -1);
}

TEST(SensorReglages, SystemRegisterWords)
{
    using M = std::pair<std::uint8_t, std::uint8_t>;
    EXPECT_EQ(MotsHexa("3D8A25FD"), (std::vector<M>{{0x3D, 0x8A}, {0x25, 0xFD}}));
    EXPECT_EQ(MotsHexa("ABC"), (std::vector<M>{{0xAB, 0xC0}}));
    EXPECT_TRUE(MotsHexa("").empty());
}
