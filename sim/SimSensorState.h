// Inner state of a simulated sensor and the execution of its requests (bus thread side).
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "SimSignals.h"
#include "SimVantor.h"

namespace vantor::sim {

using Clock = std::chrono::steady_clock;

// Register map of the sensor.
inline constexpr int kInputCount = 13;   // input 0..12
inline constexpr int kHoldingFirst = 2;  // holding 2..11
inline constexpr int kHoldingLast = 11;
inline constexpr int kSystemFirst = 64;  // system 64..69
inline constexpr int kSystemLast = 69;

// Status word bits (input register 4).
inline constexpr std::uint16_t kStatusTemperature = 0x0400;
inline constexpr std::uint16_t kStatusSelfTest = 0xF000;
// Low-byte status bit of each monitoring channel.
inline constexpr std::array<std::uint16_t, 7> kStatusMonitor{0x01, 0x02, 0x04, 0x10, 0x20, 0x40, 0x80};

inline constexpr double kTemperatureLow = -20.0;
inline constexpr double kTemperatureHigh = 70.0;

struct SimSensor::State {
    State(std::uint8_t address, const std::string& serial, std::uint32_t seed);

    mutable std::mutex mutex;
    const Clock::time_point born = Clock::now();

    // Stored settings (kept across a reset).
    std::uint8_t address;
    std::uint8_t baudIndex = 1;       // 19200
    LineMode mode = LineMode::None;   // the line mode it talks in (not a register)
    std::uint16_t fifoWord = 0x0AFF;  // divider 10: 5 Hz
    std::array<char, 8> serial{};
    std::uint8_t fwMajor = 1, fwMinor = 10;
    std::array<std::uint16_t, 6> system{};  // system registers 64..69

    // Living values.
    LivingSignals signals;
    std::array<std::optional<std::uint16_t>, kInputCount> inputOverride{};
    std::array<std::optional<std::uint16_t>, 7> monitorOverride{};
    std::optional<float> temperatureOverride;

    SensorFaults faults;
    std::chrono::milliseconds rebootTime{1500};
    std::chrono::milliseconds selfTestTime{800};
    Clock::time_point rebootUntil{};
    Clock::time_point selfTestUntil{};

    // Set by the bus: wakes its serving thread when a change must show on the line at once
    // (a babbling fault switched on). Called without the mutex held.
    std::function<void()> wakeBus;

    std::map<std::uint8_t, int> requests;
    int answers = 0, resets = 0, selfTests = 0;

    // Everything below expects the mutex held.
    void SetSerialLocked(const std::string& text);
    double CutoffHzLocked() const;
    std::array<std::uint16_t, kInputCount> InputsLocked(Clock::time_point now);
    std::optional<std::uint16_t> HoldingLocked(int reg) const;  // nullopt outside the map
    bool RebootingLocked(Clock::time_point now) const { return now < rebootUntil; }

    // Executes a request PDU (function code first) and gives the answer PDU (an exception PDU
    // for a refused request). Counting, faults and silence are the caller's business.
    Bytes ExecuteLocked(const Bytes& pdu, Clock::time_point now);
    // Its steps for the reads (0x03, 0x04, 0x41), a holding register write (0x06) and a system
    // register write (0x42), given a pdu of five bytes: the function code and two words.
    Bytes ReadLocked(const Bytes& pdu, Clock::time_point now);
    Bytes WriteSingleLocked(const Bytes& pdu);
    Bytes WriteSystemLocked(const Bytes& pdu);
};

// Converts a float register pair to its value.
float FloatOfWords(std::uint16_t high, std::uint16_t low);
// And back: the binary32 pattern, high word first.
std::array<std::uint16_t, 2> WordsOfFloat(float value);

}  // namespace vantor::sim
