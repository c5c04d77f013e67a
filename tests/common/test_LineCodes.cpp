#include <gtest/gtest.h>

#include <optional>

#include "LineCodes.h"

namespace {

TEST(LineCodes, BaudCodesAreTheTableRows)
{
    const struct {
        long long baud;
        std::optional<int> code;
    } cases[] = {{2400, 0},
                 {4800, 1},
                 {9600, 2},
                 {19200, 3},
                 {38400, 4},
                 {57600, 5},
                 {115200, std::nullopt},
                 {0, std::nullopt},
                 {-9600, std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(BaudCode(c.baud), c.code) << c.baud;
    for (std::size_t code = 0; code < kRates.size(); ++code)
        EXPECT_EQ(BaudCode(kRates[code].baud), static_cast<int>(code));
}

TEST(LineCodes, LineModeWords)
{
    EXPECT_EQ(LineModeCode("even"), 0);
    EXPECT_EQ(LineModeCode("odd"), 1);
    EXPECT_EQ(LineModeCode("none"), 2);
    EXPECT_EQ(LineModeCode("EVEN"), std::nullopt);
    EXPECT_EQ(LineModeCode(""), std::nullopt);
    EXPECT_EQ(LineModeCode("mark"), std::nullopt);
    // Parity (0 none, 1 odd, 2 even) goes with two stop bits.
    EXPECT_EQ(kLineModes[0].parity, 2);
    EXPECT_EQ(kLineModes[0].stopBits, 1);
    EXPECT_EQ(kLineModes[1].parity, 1);
    EXPECT_EQ(kLineModes[1].stopBits, 1);
    EXPECT_EQ(kLineModes[2].parity, 0);
    EXPECT_EQ(kLineModes[2].stopBits, 0);
}

}  // namespace
