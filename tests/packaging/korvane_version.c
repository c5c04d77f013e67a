/* A developer's first program: built outside the project, against the installed header and
 * library only, it prints the library's version text and checks one refused argument. */
#include <stdio.h>

#include <korvane.h>

int main(void)
{
    char text[64];

    if (MODBUS_DllVersion(text) != KORVANE_OK)
        return 1;
    if (MODBUS_SetupConnect(-1, -1, -1, 128) != KORVANE_BAD_ID)
        return 2;
    printf("%s\n", text);
    return 0;
}
