// Public interface of the korvane driver library: a MODBUS RTU master on one serial port,
// offered as flat C functions. Every function returns 0 on success or a negative result code.
#pragma once

#include <cstdint>

#include "TypesKorvane.h"

extern "C" {
// Port index (i selects "\\.\COM<i+1>"), line mode code (0 even parity and two stop bits,
// 1 odd parity and two stop bits, 2 no parity and one stop bit), baud code (0..5 for 2400,
// 4800, 9600, 19200, 38400, 57600) and slave identifier (0..127); -1 leaves a setting alone.
std::int32_t KORVANE_API MODBUS_SetupConnect(std::int32_t port, std::int32_t lineMode, std::int32_t baud, std::int32_t id);
std::int32_t KORVANE_API SetupConnect(std::int32_t port, std::int32_t lineMode, std::int32_t baud, std::int32_t id);
// Device path used as it stands (other than the "\\.\COMn" names); an open port is reopened.
std::int32_t KORVANE_API MODBUS_SetupDevice(const char* name);
// echo != 0: the adapter echoes every transmitted byte; the two other options are stored only.
std::int32_t KORVANE_API MODBUS_SetupAdditional(std::int32_t echo, std::int32_t second, std::int32_t third);
std::int32_t KORVANE_API MODBUS_OpenPort();
std::int32_t KORVANE_API OpenPort();
std::int32_t KORVANE_API MODBUS_ClosePort();
std::int32_t KORVANE_API ClosePort();
// data: a 256-byte area, cleared and then filled with the answer's data bytes; count: their number.
std::int32_t KORVANE_API MODBUS_ReadHoldingRegisters(std::uint16_t address, std::uint16_t quantity, std::uint8_t* count, std::uint8_t* data);
std::int32_t KORVANE_API MODBUS_ReadInputRegisters(std::uint16_t address, std::uint16_t quantity, std::uint8_t* count, std::uint8_t* data);
std::int32_t KORVANE_API MODBUS_ReadSystemRegisters(std::uint16_t address, std::uint16_t quantity, std::uint8_t* count, std::uint8_t* data);
std::int32_t KORVANE_API MODBUS_WriteSingleRegister(std::uint16_t address, std::uint8_t high, std::uint8_t low);
std::int32_t KORVANE_API MODBUS_WriteSystemRegister(std::uint16_t address, std::uint8_t high, std::uint8_t low);
std::int32_t KORVANE_API MODBUS_ResetModule();
// data: a 256-byte area holding the request PDU (length bytes) and receiving the answer PDU.
std::int32_t KORVANE_API MODBUS_exchange(std::uint8_t* data, std::uint32_t* length);
// Copies "korvane V3.0. KELDRA S.A. sept 2007." and its NUL into text.
std::int32_t KORVANE_API MODBUS_DllVersion(char* text);
std::int32_t KORVANE_API Korvane_DllVersion(char* text);
}
