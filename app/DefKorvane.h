// The exports of the korvane driver library that AppVantor binds when it is loaded.
#pragma once

#include <cstdint>

#include "TypesKorvane.h"

extern "C" {
std::int32_t KORVANE_API MODBUS_SetupConnect(std::int32_t port, std::int32_t lineMode, std::int32_t baud,
                                             std::int32_t id);
std::int32_t KORVANE_API MODBUS_OpenPort();
std::int32_t KORVANE_API MODBUS_ClosePort();
std::int32_t KORVANE_API MODBUS_ReadHoldingRegisters(std::uint16_t address, std::uint16_t quantity, std::uint8_t* count,
                                                     std::uint8_t* data);
std::int32_t KORVANE_API MODBUS_ReadInputRegisters(std::uint16_t address, std::uint16_t quantity, std::uint8_t* count,
                                                   std::uint8_t* data);
std::int32_t KORVANE_API MODBUS_ReadSystemRegisters(std::uint16_t address, std::uint16_t quantity, std::uint8_t* count,
                                                    std::uint8_t* data);
std::int32_t KORVANE_API MODBUS_WriteSingleRegister(std::uint16_t address, std::uint8_t high, std::uint8_t low);
std::int32_t KORVANE_API MODBUS_WriteSystemRegister(std::uint16_t address, std::uint8_t high, std::uint8_t low);
std::int32_t KORVANE_API MODBUS_exchange(std::uint8_t* data, std::uint32_t* length);
}
