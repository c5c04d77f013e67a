// Falsification of an answer frame by the faults a sensor was told to show.
#pragma once

#include <random>

#include "SimVantor.h"

namespace vantor::sim {

// Frames the answer PDU with the address (or another one) and the CRC, then falsifies the CRC,
// garbles bytes and cuts the end as the faults ask.
Bytes FrameAnswer(std::uint8_t address, const Bytes& pdu, const SensorFaults& faults, std::mt19937& rng);

}  // namespace vantor::sim
