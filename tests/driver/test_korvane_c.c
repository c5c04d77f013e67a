/* A C program using the library through its public header only: compiled as C99, it calls a
 * few exports whose results need no serial line and checks them against the header's codes. */
#include <stdio.h>
#include <string.h>

#include "korvane.h"

static int failures = 0;
static int checks = 0;

static void Expect(int ok, const char* what)
{
    ++checks;
    if (!ok) {
        ++failures;
        printf("FAILED: %s\n", what);
    }
}

#define EXPECT_CODE(call, code) Expect((call) == (code), #call " == " #code)

int main(void)
{
    char text[64];
    uint8_t data[KORVANE_DATA_AREA_SIZE];
    uint32_t length = KORVANE_DATA_AREA_SIZE;
    uint8_t count = 0x5A;

    memset(text, 'x', sizeof text);
    EXPECT_CODE(MODBUS_DllVersion(text), KORVANE_OK);
    Expect(strcmp(text, "korvane V3.0. KELDRA S.A. sept 2007.") == 0, "version text");
    memset(text, 'x', sizeof text);
    EXPECT_CODE(Korvane_DllVersion(text), KORVANE_OK);
    Expect(strcmp(text, "korvane V3.0. KELDRA S.A. sept 2007.") == 0, "version text by its second name");

    EXPECT_CODE(MODBUS_SetupConnect(-1, -1, -1, 128), KORVANE_BAD_ID);
    EXPECT_CODE(MODBUS_SetupConnect(-1, 3, -1, -1), KORVANE_BAD_LINE_MODE);
    EXPECT_CODE(MODBUS_SetupConnect(-1, -1, 6, -1), KORVANE_BAD_BAUD);
    EXPECT_CODE(SetupConnect(-2, -1, -1, -1), KORVANE_BAD_PORT);
    EXPECT_CODE(MODBUS_SetupConnect(-1, -1, -1, 0), KORVANE_OK);
    memset(data, 0x42, sizeof data);
    EXPECT_CODE(MODBUS_ReadHoldingRegisters(0, 1, &count, data), KORVANE_BAD_ID);
    Expect(count == 0x5A && data[0] == 0x42, "a refused read leaves count and data alone");
    EXPECT_CODE(MODBUS_exchange(data, &length), KORVANE_BAD_PARAM);
    Expect(length == KORVANE_DATA_AREA_SIZE, "a refused exchange leaves the length alone");

    EXPECT_CODE(MODBUS_SetupAdditional(0, 0, 0), KORVANE_OK);
    EXPECT_CODE(MODBUS_SetupDevice("/dev/no-such-korvane-device"), KORVANE_OK);
    EXPECT_CODE(MODBUS_OpenPort(), KORVANE_IO_ERROR);
    EXPECT_CODE(OpenPort(), KORVANE_IO_ERROR);
    EXPECT_CODE(MODBUS_ClosePort(), KORVANE_OK);
    EXPECT_CODE(ClosePort(), KORVANE_OK);

    printf("%d passed, %d failed\n", checks - failures, failures);
    return failures == 0 ? 0 : 1;
}
