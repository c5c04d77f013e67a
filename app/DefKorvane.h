// The exports of the korvane driver library that AppVantor binds when it is loaded, declared as
// the library's public header declares them (linkage and calling convention from korvane.h).
#pragma once

#include <cstdint>

#include "TypesKorvane.h"
#include "korvane.h"

extern "C" {
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_SetupConnect(std::int32_t port, std::int32_t lineMode,
                                                             std::int32_t baud, std::int32_t id);
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_OpenPort();
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_ClosePort();
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_ReadHoldingRegisters(std::uint16_t address, std::uint16_t quantity,
                                                                     std::uint8_t* count, std::uint8_t* data);
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_ReadInputRegisters(std::uint16_t address, std::uint16_t quantity,
                                                                   std::uint8_t* count, std::uint8_t* data);
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_ReadSystemRegisters(std::uint16_t address, std::uint16_t quantity,
                                                                    std::uint8_t* count, std::uint8_t* data);
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_WriteSingleRegister(std::uint16_t address, std::uint8_t high,
                                                                    std::uint8_t low);
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_WriteSystemRegister(std::uint16_t address, std::uint8_t high,
                                                                    std::uint8_t low);
KORVANE_PUBLIC std::int32_t KORVANE_CALL MODBUS_exchange(std::uint8_t* data, std::uint32_t* length);
}
