// The port's time-outs per rate row, in the two forms the platforms take them: limits per call
// (POSIX line) and the five values set once at open (Windows). Both must give the same times.
#include <gtest/gtest.h>

#include "comrs.h"

namespace {

TEST(PortTimeouts, FiveValuesOfEachRateRow)
{
    const struct {
        std::uint8_t row;
        std::uint32_t read;
        std::uint32_t write;
    } rows[] = {
        {1, 28, 52}, {2, 24, 36}, {3, 22, 28}, {4, 21, 24}, {5, 21, 22}, {6, 21, 21},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << int(r.row));
        const TPortTimeouts t = PortTimeoutsFor(r.row);
        EXPECT_EQ(t.readInterval, r.read);
        EXPECT_EQ(t.readMultiplier, r.read);
        EXPECT_EQ(t.readConstant, 20u);
        EXPECT_EQ(t.writeMultiplier, r.write);
        EXPECT_EQ(t.writeConstant, 20u);
    }
    // An unknown row counts as row 3.
    EXPECT_EQ(PortTimeoutsFor(0).readMultiplier, 22u);
    EXPECT_EQ(PortTimeoutsFor(7).writeMultiplier, 28u);
}

TEST(PortTimeouts, AgreeWithTheLimitsOfEachCall)
{
    for (std::uint8_t row = 0; row <= 7; ++row) {
        const TPortTimeouts t = PortTimeoutsFor(row);
        for (std::size_t n : {1u, 2u, 8u, 255u, 256u}) {
            SCOPED_TRACE(::testing::Message() << "row " << int(row) << ", " << n << " bytes");
            const TReadTimeouts limits = ReadTimeoutsFor(row, n);
            EXPECT_EQ(static_cast<std::uint32_t>(limits.totalMs), t.readMultiplier * n + t.readConstant);
            EXPECT_EQ(static_cast<std::uint32_t>(limits.intervalMs), t.readInterval);
            EXPECT_EQ(static_cast<std::uint32_t>(WriteTimeoutFor(row, n)), t.writeMultiplier * n + t.writeConstant);
        }
    }
    // The single-byte reads of answer collection: 48, 44, 42, 41, 41 and 41 ms.
    const int single[] = {48, 44, 42, 41, 41, 41};
    for (std::uint8_t row = 1; row <= 6; ++row)
        EXPECT_EQ(ReadTimeoutsFor(row, 1).totalMs, single[row - 1]);
}

TEST(PortTimeouts, RowOfEachBaudRate)
{
    EXPECT_EQ(RateRowOfBaud(2400), 1);
    EXPECT_EQ(RateRowOfBaud(4800), 2);
    EXPECT_EQ(RateRowOfBaud(9600), 3);
    EXPECT_EQ(RateRowOfBaud(19200), 4);
    EXPECT_EQ(RateRowOfBaud(38400), 5);
    EXPECT_EQ(RateRowOfBaud(57600), 6);
    EXPECT_EQ(RateRowOfBaud(115200), 3);
    EXPECT_EQ(RateRowOfBaud(0), 3);
    for (std::uint8_t row = 1; row <= 6; ++row)
        EXPECT_EQ(RateRowOfBaud(RateRowEntry(row).baud), row);
}

}  // namespace
