// Execution of one request by a simulated sensor: function codes, register map, exceptions.
#include "ModbusFunctions.h"
#include "SimSensorState.h"

namespace vantor::sim {

namespace {

using namespace modbus;

enum : std::uint8_t { kExcFunction = 1, kExcAddress = 2, kExcValue = 3 };

Bytes Exception(std::uint8_t function, std::uint8_t code)
{
    return {static_cast<std::uint8_t>(function | 0x80), code};
}

int Word(const Bytes& pdu, std::size_t at)
{
    return pdu[at] << 8 | pdu[at + 1];
}

}  // namespace

Bytes SimSensor::State::ExecuteLocked(const Bytes& pdu, Clock::time_point now)
{
    if (pdu.empty())
        return {};
    const std::uint8_t fc = pdu[0];
    const bool twoWords = pdu.size() == 5;  // the function code, then a register and a quantity or value

    switch (fc) {
    case kReadHolding:
    case kReadInput:
    case kReadSystem: return twoWords ? ReadLocked(pdu, now) : Exception(fc, kExcValue);
    case kWriteSingle: return twoWords ? WriteSingleLocked(pdu) : Exception(fc, kExcValue);
    case kWriteSystem: return twoWords ? WriteSystemLocked(pdu) : Exception(fc, kExcValue);
    case kReset:
        if (pdu.size() != 1)
            return Exception(fc, kExcValue);
        ++resets;
        selfTestUntil = {};
        rebootUntil = now + rebootTime;  // the bus sends the answer first
        return pdu;
    case kSelfTest:
        if (pdu.size() != 1)
            return Exception(fc, kExcValue);
        ++selfTests;
        selfTestUntil = now + selfTestTime;
        return pdu;
    default: return Exception(fc, kExcFunction);
    }
}

Bytes SimSensor::State::ReadLocked(const Bytes& pdu, Clock::time_point now)
{
    const std::uint8_t fc = pdu[0];
    const int start = Word(pdu, 1);
    const int quantity = Word(pdu, 3);
    if (quantity < 1 || quantity > 125)
        return Exception(fc, kExcValue);
    const int last = start + quantity - 1;
    Bytes answer{fc, static_cast<std::uint8_t>(2 * quantity)};
    auto put = [&answer](std::uint16_t w) {
        answer.push_back(static_cast<std::uint8_t>(w >> 8));
        answer.push_back(static_cast<std::uint8_t>(w & 0xFF));
    };
    if (fc == kReadInput) {
        if (last >= kInputCount)
            return Exception(fc, kExcAddress);
        const auto in = InputsLocked(now);
        for (int r = start; r <= last; ++r)
            put(in[static_cast<std::size_t>(r)]);
    } else if (fc == kReadHolding) {
        if (start < kHoldingFirst || last > kHoldingLast)
            return Exception(fc, kExcAddress);
        for (int r = start; r <= last; ++r)
            put(*HoldingLocked(r));
    } else {
        if (start < kSystemFirst || last > kSystemLast)
            return Exception(fc, kExcAddress);
        for (int r = start; r <= last; ++r)
            put(system[static_cast<std::size_t>(r - kSystemFirst)]);
    }
    return answer;
}

Bytes SimSensor::State::WriteSingleLocked(const Bytes& pdu)
{
    const std::uint8_t fc = pdu[0];
    const int reg = Word(pdu, 1);
    const std::uint8_t high = pdu[3], low = pdu[4];
    if (reg == 6) {
        if (high > 2 || low < 1 || low > 127)
            return Exception(fc, kExcValue);
        baudIndex = high;
        address = low;  // the bus answers under the address of the request
    } else if (reg == 7) {
        fifoWord = static_cast<std::uint16_t>(high << 8 | low);
    } else {
        return Exception(fc, kExcAddress);  // read-only or outside the map
    }
    return pdu;
}

Bytes SimSensor::State::WriteSystemLocked(const Bytes& pdu)
{
    const std::uint8_t fc = pdu[0];
    const int reg = Word(pdu, 1);
    if (reg < kSystemFirst || reg > kSystemLast)
        return Exception(fc, kExcAddress);
    system[static_cast<std::size_t>(reg - kSystemFirst)] = static_cast<std::uint16_t>(Word(pdu, 3));
    return pdu;
}

}  // namespace vantor::sim
