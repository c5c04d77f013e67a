// Measurement texts without a locale: seven significant digits, then the decimals.
#include <gtest/gtest.h>

#include <limits>

#include "ChaineMesure.h"

TEST(SensorChaineMesure, FixedForm)
{
    EXPECT_EQ(ChaineMesure(1.0, 5), "1.00000");
    EXPECT_EQ(ChaineMesure(-2.0, 5), "-2.00000");
    EXPECT_EQ(ChaineMesure(22.5, 1), "22.5");
    EXPECT_EQ(ChaineMesure(1234567.8, 5), "1234568.00000");
    EXPECT_EQ(ChaineMesure(0.0000049999996, 5), "0.00001");
    EXPECT_EQ(ChaineMesure(9.99996, 1), "10.0");
    EXPECT_EQ(ChaineMesure(0.96, 0), "1");
    EXPECT_EQ(ChaineMesure(-0.04, 1), "0.0");
}

TEST(SensorChaineMesure, ScientificAndNoNumber)
{
    EXPECT_EQ(ChaineMesure(12345678.0, 1), "1.234568E+7");
    EXPECT_EQ(ChaineMesure(-50000000.0, 5), "-5E+7");
    EXPECT_EQ(ChaineMesure(9999999.5, 5), "1E+7");
    EXPECT_EQ(ChaineMesure(std::numeric_limits<double>::quiet_NaN(), 1), "err");
    EXPECT_EQ(ChaineMesure(-std::numeric_limits<double>::infinity(), 5), "err");
}
