#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "UtilSerial.h"

namespace {
std::uint32_t Bits(float f)
{
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}
}  // namespace

TEST(HexText, ToInt)
{
    EXPECT_EQ(HexTextToInt(""), 0);
    EXPECT_EQ(HexTextToInt("FF"), 255);
    EXPECT_EQ(HexTextToInt("0100"), 256);
    EXPECT_EQ(HexTextToInt("FFFFFFFF"), -1);
    EXPECT_EQ(static_cast<std::uint32_t>(HexTextToInt("FFFFFFFF")), 4294967295u);
    EXPECT_EQ(HexTextToInt("1FFFFFFFF"), -1);  // digits beyond the eighth add nothing
    EXPECT_EQ(HexTextToInt("0a"), 42);         // lower case is not folded
    EXPECT_EQ(HexTextToInt("ff"), 799);
    EXPECT_EQ(HexTextToInt("7FFFFFFF"), 2147483647);
    EXPECT_EQ(HexTextToInt("G"), 16);   // 'G' - 0x37
    EXPECT_EQ(HexTextToInt(" "), -16);  // 0x20 - 0x30, kept modulo 2^32
}

TEST(HexText, FromInt)
{
    EXPECT_EQ(IntToHexText(0), "00");
    EXPECT_EQ(IntToHexText(10), "0A");
    EXPECT_EQ(IntToHexText(255), "FF");
    EXPECT_EQ(IntToHexText(256), "0100");
    EXPECT_EQ(IntToHexText(65535), "FFFF");
    EXPECT_EQ(IntToHexText(74565), "012345");
    EXPECT_EQ(IntToHexText(-1), "FFFFFFFF");
    EXPECT_EQ(IntToHexText(0x01000000), "01000000");
    EXPECT_EQ(IntToHexText(7), "07");
}

TEST(HexText, Bytes)
{
    EXPECT_TRUE(HexTextToBytes("ABC").empty());
    EXPECT_TRUE(HexTextToBytes("").empty());
    EXPECT_EQ(HexTextToBytes("0A1B"), (TByteString{0x0A, 0x1B}));
    EXPECT_EQ(HexTextToBytes("ff"), (TByteString{0x1F}));  // low 8 bits of 799
    EXPECT_EQ(BytesToHexText({}), "");
    EXPECT_EQ(BytesToHexText({0x00, 0x0A, 0xFF, 0x64}), "000AFF64");
}

TEST(HexText, Buffer)
{
    TDataArea zone;
    zone.fill(0xEE);
    HexTextToBuffer("64", zone);
    EXPECT_EQ(zone[0], 0x64);
    for (std::size_t i = 1; i < zone.size(); ++i)
        ASSERT_EQ(zone[i], 0) << i;

    zone.fill(0xEE);
    HexTextToBuffer("123", zone);  // odd length: all zero
    for (auto octet : zone)
        ASSERT_EQ(octet, 0);

    // Longer than the area: only 256 bytes are converted, nothing is written beyond.
    std::string long_texte(600, 'A');
    HexTextToBuffer(long_texte, zone);
    for (auto octet : zone)
        ASSERT_EQ(octet, 0xAA);

    zone.fill(0);
    zone[0] = 0x01;
    zone[1] = 0xAB;
    zone[2] = 0x0C;
    EXPECT_EQ(BufferToHexText(zone, 0), "");
    EXPECT_EQ(BufferToHexText(zone, 2), "01AB");
    EXPECT_EQ(BufferToHexText(zone, 3), "01AB0C");
    EXPECT_EQ(BufferToHexText(zone, 1000).size(), 512u);
    EXPECT_EQ(BufferToHexText(zone, -3), "");
    ClearBuffer(zone);
    for (auto octet : zone)
        ASSERT_EQ(octet, 0);
}

TEST(SingleFloat, FromHexText)
{
    EXPECT_EQ(HexTextToSingle("3F800000"), 1.0f);
    EXPECT_EQ(HexTextToSingle("C0000000"), -2.0f);
    EXPECT_EQ(HexTextToSingle("41A00000"), 20.0f);
    EXPECT_EQ(HexTextToSingle("41B40000"), 22.5f);
    EXPECT_EQ(HexTextToSingle("00000000"), 0.0f);
    EXPECT_EQ(HexTextToSingle("3F8000"), 1.0f);
    EXPECT_EQ(HexTextToSingle("123"), 1e38f);
    EXPECT_EQ(HexTextToSingle(""), 1e38f);
    EXPECT_EQ(HexTextToSingle("3F80000000"), 1e38f);
    // Exponent 0 still gets the forced leading bit: 80000000 is -2^-127, not zero.
    EXPECT_EQ(HexTextToSingle("80000000"), -std::ldexp(1.0f, -127));
    EXPECT_EQ(HexTextToSingle("418799DE"), 16.950130462646484f);
    EXPECT_EQ(Bits(HexTextToSingle("7F7FFFFF")), 0x7F7FFFFFu);
    // Exponent 255 has no value.
    EXPECT_TRUE(std::isnan(HexTextToSingle("7F800000")));
    EXPECT_TRUE(std::isnan(HexTextToSingle("FFC00000")));
    EXPECT_TRUE(std::isnan(HexTextToSingle("7F8000")));
}

TEST(SingleFloat, ToHexTextTruncates)
{
    EXPECT_EQ(SingleToHexText(1.0), "3F800000");
    EXPECT_EQ(SingleToHexText(-2.5), "C0200000");
    EXPECT_EQ(SingleToHexText(100.0), "42C80000");
    EXPECT_EQ(SingleToHexText(0.1), "3DCCCCCC");  // rounding would give ...CD
    EXPECT_EQ(SingleToHexText(1e-16), "00000000");
    EXPECT_EQ(SingleToHexText(-1e-16), "00000000");
    EXPECT_EQ(SingleToHexText(0.0), "00000000");
    EXPECT_EQ(SingleToHexText(22.5), "41B40000");
    EXPECT_EQ(SingleToHexText(1.7888543819998317), "3FE4F92E");
    EXPECT_EQ(SingleToHexText(std::ldexp(1.0, 127)), "7F000000");
    EXPECT_EQ(SingleToHexText(std::ldexp(1.0, 130)), "7F7FFFFF");
    EXPECT_EQ(SingleToHexText(-std::ldexp(1.0, 130)), "FF7FFFFF");
    EXPECT_EQ(SingleToHexText(std::nan("")), "00000000");
}

TEST(SingleFloat, RoundTripOfExactValues)
{
    for (float f : {1.0f, -1.0f, 0.5f, 3.25f, -1234.5f, 16.944271087646484f, 1e-10f, 6.5e20f}) {
        const std::string texte = SingleToHexText(f);
        EXPECT_EQ(HexTextToSingle(texte), f) << texte;
        EXPECT_EQ(static_cast<std::uint32_t>(HexTextToInt(texte)), Bits(f)) << texte;
    }
}
