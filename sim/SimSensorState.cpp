#include "SimSensorState.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace vantor::sim {

float FloatOfWords(std::uint16_t high, std::uint16_t low)
{
    return std::bit_cast<float>(static_cast<std::uint32_t>(high) << 16 | low);
}

std::array<std::uint16_t, 2> WordsOfFloat(float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return {static_cast<std::uint16_t>(bits >> 16), static_cast<std::uint16_t>(bits & 0xFFFF)};
}

SimSensor::State::State(std::uint8_t address_, const std::string& serialText, std::uint32_t seed)
    : address(address_), signals(seed)
{
    SetSerialLocked(serialText);
    // Filter coefficients A, B, C of a 5.0 Hz cut-off.
    system = {0x3D8A, 0x25FD, 0x4187, 0x8DDE, 0xC0C3, 0xD40B};
}

void SimSensor::State::SetSerialLocked(const std::string& text)
{
    serial.fill(' ');
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), serial.size()), serial.begin());
}

double SimSensor::State::CutoffHzLocked() const
{
    // B = 2 (K² - 1) with K = 1 / tan(pi f / 50), hence f = 50 atan(1 / sqrt(B / 2 + 1)) / pi.
    const double b = FloatOfWords(system[2], system[3]);
    if (!std::isfinite(b) || b / 2.0 + 1.0 <= 0.0)
        return 25.0;  // no usable filter: the whole band up to half the sampling rate
    return 50.0 * std::atan(1.0 / std::sqrt(b / 2.0 + 1.0)) / std::numbers::pi;
}

std::array<std::uint16_t, kInputCount> SimSensor::State::InputsLocked(Clock::time_point now)
{
    std::array<std::uint16_t, kInputCount> in{};
    const double t = std::chrono::duration<double>(now - born).count();

    const double accel = signals.Acceleration(t, CutoffHzLocked());
    const auto a = WordsOfFloat(static_cast<float>(accel));
    in[0] = a[0];
    in[1] = a[1];

    const double tempe = temperatureOverride ? *temperatureOverride : signals.Temperature(t);
    const auto te = WordsOfFloat(static_cast<float>(tempe));
    in[2] = te[0];
    in[3] = te[1];

    std::uint16_t status = 0;
    if (tempe < kTemperatureLow || tempe > kTemperatureHigh)
        status |= kStatusTemperature;
    for (int c = 0; c < LivingSignals::kChannels; ++c) {
        const auto k = static_cast<std::size_t>(c);
        const std::uint16_t raw = monitorOverride[k] ? *monitorOverride[k] : signals.MonitorRaw(c, accel);
        in[5 + k] = raw;
        if (raw < LivingSignals::Low(c) || raw > LivingSignals::High(c))
            status |= kStatusMonitor[k];
    }
    if (now < selfTestUntil)
        status |= kStatusSelfTest;
    in[4] = status;
    in[12] = static_cast<std::uint16_t>(fwMajor << 8 | fwMinor);

    for (std::size_t r = 0; r < in.size(); ++r)
        if (inputOverride[r])
            in[r] = *inputOverride[r];
    return in;
}

std::optional<std::uint16_t> SimSensor::State::HoldingLocked(int reg) const
{
    switch (reg) {
    case 2: return system[2];  // coefficient B as last written to system 66-67
    case 3: return system[3];
    case 4:
    case 5: return 0;  // reserved
    case 6: return static_cast<std::uint16_t>(baudIndex << 8 | address);
    case 7: return fifoWord;
    case 8:
    case 9:
    case 10:
    case 11: {
        const auto i = static_cast<std::size_t>(reg - 8) * 2;
        return static_cast<std::uint16_t>(static_cast<std::uint8_t>(serial[i]) << 8
                                          | static_cast<std::uint8_t>(serial[i + 1]));
    }
    default: return std::nullopt;
    }
}

}  // namespace vantor::sim
