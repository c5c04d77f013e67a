// The library's version text and the second names of its exports, called through the library as
// a program links it. Built into the export tests of both platforms: test_driver_exports here,
// test_win_exports against korvane.dll (tests/wine).
#include <gtest/gtest.h>

#include <cstring>

#include "korvane.h"

namespace {

TEST(Exports, VersionTextAndSecondNames)
{
    char text[64];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(MODBUS_DllVersion(text), 0);
    EXPECT_STREQ(text, "korvane V3.0. KELDRA S.A. sept 2007.");
    EXPECT_EQ(text[37], 'x');
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(Korvane_DllVersion(text), 0);
    EXPECT_STREQ(text, "korvane V3.0. KELDRA S.A. sept 2007.");

    EXPECT_EQ(reinterpret_cast<void*>(&SetupConnect), reinterpret_cast<void*>(&MODBUS_SetupConnect));
    EXPECT_EQ(reinterpret_cast<void*>(&OpenPort), reinterpret_cast<void*>(&MODBUS_OpenPort));
    EXPECT_EQ(reinterpret_cast<void*>(&ClosePort), reinterpret_cast<void*>(&MODBUS_ClosePort));
    EXPECT_EQ(reinterpret_cast<void*>(&Korvane_DllVersion), reinterpret_cast<void*>(&MODBUS_DllVersion));
}

}  // namespace
