// Identity texts: firmware revision and serial number.
#include <gtest/gtest.h>

#include "IdentiteVantor.h"

TEST(SensorIdentite, Revision)
{
    EXPECT_EQ(ChaineRevision(0x01, 0x0A), "1.10");
    EXPECT_EQ(ChaineRevision(0x02, 0x03), "2.3");
    EXPECT_EQ(ChaineRevision(0xFF, 0x00), "255.0");
}

TEST(SensorIdentite, SerialNumberIsTheFirstEightBytes)
{
    TDataArea zone{};
    const std::uint8_t octets[] = {0x41, 0x42, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37};
    std::copy(std::begin(octets), std::end(octets), zone.begin());
    EXPECT_EQ(ChaineNumSerie(zone), "AB123456");
    zone[2] = 0xE9;  // 8-bit codes stay as they are
    zone[3] = 0x00;
    EXPECT_EQ(ChaineNumSerie(zone), std::string("AB\xE9\0"
                                                "3456",
                                                8));
}
