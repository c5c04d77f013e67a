// MODBUS function codes of the requests the driver sends and the sensor answers.
#pragma once

#include <cstdint>

namespace modbus {

enum : std::uint8_t {
    kReadHolding = 0x03,
    kReadInput = 0x04,
    kWriteSingle = 0x06,
    kReadSystem = 0x41,
    kWriteSystem = 0x42,
    kReset = 0x46,
    kSelfTest = 0x64,
};

}  // namespace modbus
