/* Public interface of the korvane driver library: a MODBUS RTU master on one serial port,
 * offered as flat C functions. Every function returns 0 on success or a negative result code.
 *
 * Plain C (C99 or later) and C++. On 32-bit Windows the functions use the stdcall convention;
 * every argument occupies a 32-bit slot and the result is a 32-bit signed integer. */
#ifndef KORVANE_H
#define KORVANE_H

#include <stdint.h>

/* Calling convention of every export. */
#if defined(_WIN32) && !defined(_WIN64)
#define KORVANE_CALL __stdcall
#else
#define KORVANE_CALL
#endif

/* Linkage: the library's own build defines KORVANE_BUILDING. On Windows the module definition
 * file names the exports (undecorated), so the library itself needs no dllexport; programs
 * import the functions from korvane.dll. Elsewhere the names have default visibility. */
#if defined(_WIN32)
#if defined(KORVANE_BUILDING)
#define KORVANE_PUBLIC
#else
#define KORVANE_PUBLIC __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KORVANE_PUBLIC __attribute__((visibility("default")))
#else
#define KORVANE_PUBLIC
#endif

/* Result codes. */
#define KORVANE_OK 0
#define KORVANE_IO_ERROR (-1)       /* port could not be opened, or an unexpected fault */
#define KORVANE_FRAME_ERROR (-2)    /* echo too short, or answer from another identifier */
#define KORVANE_NO_ANSWER (-3)      /* no byte received */
#define KORVANE_CRC_ERROR (-4)      /* wrong CRC, or answer shorter than 3 bytes */
#define KORVANE_BAD_LINE_MODE (-10) /* line mode code outside 0..2 */
#define KORVANE_BAD_BAUD (-11)      /* baud code outside 0..5 */
#define KORVANE_BAD_ID (-12)        /* identifier outside 0..127, or a register read from 0 */
#define KORVANE_BAD_PORT (-13)      /* negative port index */
#define KORVANE_BAD_PARAM (-14)     /* raw exchange of 256 bytes or more */
#define KORVANE_EXC_FUNCTION (-20)  /* MODBUS exception 1: illegal function */
#define KORVANE_EXC_ADDRESS (-21)   /* MODBUS exception 2: illegal data address */
#define KORVANE_EXC_VALUE (-22)     /* MODBUS exception 3: illegal data value */
#define KORVANE_EXC_DEVICE (-23)    /* MODBUS exception 4 and every other exception code */

/* Size of the data area of the register reads and of the raw exchange. */
#define KORVANE_DATA_AREA_SIZE 256

#ifdef __cplusplus
extern "C" {
#endif

/* Port index (i selects "\\.\COM<i+1>"), line mode code (0 even parity and two stop bits,
 * 1 odd parity and two stop bits, 2 no parity and one stop bit), baud code (0..5 for 2400,
 * 4800, 9600, 19200, 38400, 57600) and slave identifier (0..127); -1 leaves a setting alone. */
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_SetupConnect(int32_t port, int32_t lineMode, int32_t baud, int32_t id);
KORVANE_PUBLIC int32_t KORVANE_CALL SetupConnect(int32_t port, int32_t lineMode, int32_t baud, int32_t id);
/* Device path used as it stands; an open port is closed, renamed and reopened. */
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_SetupDevice(const char* name);
/* echo != 0: the adapter echoes every transmitted byte; the two other options are stored only. */
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_SetupAdditional(int32_t echo, int32_t second, int32_t third);
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_OpenPort(void);
KORVANE_PUBLIC int32_t KORVANE_CALL OpenPort(void);
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_ClosePort(void);
KORVANE_PUBLIC int32_t KORVANE_CALL ClosePort(void);
/* data: a 256-byte area, cleared and then filled with the answer's data bytes; count: their number. */
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_ReadHoldingRegisters(uint16_t address, uint16_t quantity, uint8_t* count,
                                                                uint8_t* data);
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_ReadInputRegisters(uint16_t address, uint16_t quantity, uint8_t* count,
                                                              uint8_t* data);
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_ReadSystemRegisters(uint16_t address, uint16_t quantity, uint8_t* count,
                                                               uint8_t* data);
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_WriteSingleRegister(uint16_t address, uint8_t high, uint8_t low);
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_WriteSystemRegister(uint16_t address, uint8_t high, uint8_t low);
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_ResetModule(void);
/* data: a 256-byte area holding the request PDU (length bytes) and receiving the answer PDU. */
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_exchange(uint8_t* data, uint32_t* length);
/* Copies "korvane V3.0. KELDRA S.A. sept 2007." and its NUL into text. */
KORVANE_PUBLIC int32_t KORVANE_CALL MODBUS_DllVersion(char* text);
KORVANE_PUBLIC int32_t KORVANE_CALL Korvane_DllVersion(char* text);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_H */
