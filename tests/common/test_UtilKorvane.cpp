#include <gtest/gtest.h>

#include "UtilKorvane.h"

TEST(Crc16Modbus, KnownFrames)
{
    // Read holding register 6, quantity 1, slave 1: 01 03 00 06 00 01 64 0B.
    EXPECT_EQ(AppendCrc({0x01, 0x03, 0x00, 0x06, 0x00, 0x01}),
              (TByteString{0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0B}));
    // Reset of slave 1: 01 46 81 D2.
    EXPECT_EQ(AppendCrc({0x01, 0x46}), (TByteString{0x01, 0x46, 0x81, 0xD2}));
    // Standard check value of CRC-16/MODBUS over "123456789" is 0x4B37.
    const TByteString texte{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(CrcOf(texte), (std::array<std::uint8_t, 2>{0x37, 0x4B}));
}

TEST(Crc16Modbus, Check)
{
    EXPECT_TRUE(CheckCrc({0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0B}));
    EXPECT_FALSE(CheckCrc({0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x0B, 0x64}));
    EXPECT_FALSE(CheckCrc({0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0A}));
    EXPECT_FALSE(CheckCrc({}));
    EXPECT_FALSE(CheckCrc({0x01}));
    EXPECT_FALSE(CheckCrc({0xFF, 0xFF}));  // two bytes never pass, whatever they hold
}

TEST(MessageTable, CodesIndexesAndTexts)
{
    const struct {
        TResultCode code;
        TMessageIndex index;
        const char* texte;
    } table[] = {
        {-1, 1, "I/O error."},
        {-2, 2, "Frames exchange error"},
        {-3, 3, "No detected sensor"},
        {-4, 4, "Erroneous CRC"},
        {-10, 5, "invalid parity parameter"},
        {-11, 6, "Invalid Baud-Rate"},
        {-12, 7, "Invalid identifier"},
        {-13, 8, "Invalid com port"},
        {-14, 9, "Invalid parameter"},
        {-20, 10, "Modbus : unknown function"},
        {-21, 11, "Modbus : bad address"},
        {-22, 12, "Modbus : bad value"},
        {-23, 13, "Modbus : device failure"},
    };
    for (const auto& ligne : table) {
        EXPECT_EQ(ResultCodeToMessageIndex(ligne.code), ligne.index) << ligne.code;
        EXPECT_EQ(ResultCodeFromIndex(ligne.index), ligne.code) << int(ligne.index);
        EXPECT_EQ(MessageText(ligne.index), ligne.texte);
    }
}

TEST(MessageTable, UnlistedCodesAndIndexes)
{
    for (TResultCode code : {0, 1, 5, -5, -9, -15, -19, -24, -100, 2147483647})
        EXPECT_EQ(ResultCodeToMessageIndex(code), 0) << code;
    EXPECT_EQ(MessageText(0), "");
    EXPECT_EQ(MessageText(14), "unknown error");
    EXPECT_EQ(MessageText(127), "unknown error");
    EXPECT_EQ(MessageText(128), "");  // only the low 7 bits count
    EXPECT_EQ(MessageText(128 + 3), "No detected sensor");
    EXPECT_EQ(ResultCodeFromIndex(14), 0);
    EXPECT_EQ(ResultCodeFromIndex(128 + 4), -4);
}

TEST(MessageTable, ExceptionCodes)
{
    EXPECT_EQ(ExceptionToResultCode(1), -20);
    EXPECT_EQ(ExceptionToResultCode(2), -21);
    EXPECT_EQ(ExceptionToResultCode(3), -22);
    EXPECT_EQ(ExceptionToResultCode(4), -23);
    EXPECT_EQ(ExceptionToResultCode(0), -23);
    EXPECT_EQ(ExceptionToResultCode(7), -23);
    EXPECT_EQ(ExceptionToResultCode(255), -23);
}
