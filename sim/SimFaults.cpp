#include "SimFaults.h"

#include "UtilKorvane.h"

namespace vantor::sim {

Bytes FrameAnswer(std::uint8_t address, const Bytes& pdu, const SensorFaults& faults, std::mt19937& rng)
{
    Bytes frame;
    frame.reserve(pdu.size() + 3);
    frame.push_back(faults.wrongAddress ? static_cast<std::uint8_t>(address % 247 + 1) : address);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    const auto crc = CrcOf(frame);
    frame.push_back(crc[0]);
    frame.push_back(static_cast<std::uint8_t>(faults.wrongCrc ? crc[1] ^ 0xFF : crc[1]));

    if (faults.corruptProbability > 0.0) {
        std::bernoulli_distribution garble(std::min(faults.corruptProbability, 1.0));
        std::uniform_int_distribution<int> mask(1, 255);
        for (auto& b : frame)
            if (garble(rng))
                b = static_cast<std::uint8_t>(b ^ mask(rng));
    }
    if (faults.cutBytes > 0) {
        const auto cut = std::min<std::size_t>(static_cast<std::size_t>(faults.cutBytes), frame.size());
        frame.resize(frame.size() - cut);
    }
    return frame;
}

}  // namespace vantor::sim
