#include "SimSignals.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vantor::sim {

namespace {

// Operating point and allowed range of each monitoring raw value (input registers 5..11). With
// the display scalings: Isupply 12.0 mA, Icellule 1.20, Vref 2.50 V, Vin 24.0 V, Vdd 5.00 V,
// Vss -5.00 V, Vout 2.00 V (1 g at 2 V/g).
struct Channel {
    std::uint16_t nominal, low, high;
    double noise;  // standard deviation in raw steps
};
constexpr std::array<Channel, LivingSignals::kChannels> kChannelTable{{
    {246, 102, 512, 1.5},  // Isupply: 5..25 mA
    {369, 154, 768, 1.0},  // Vcell: 0.5..2.5
    {512, 492, 532, 0.4},  // Vref: 2.40..2.60 V
    {434, 155, 657, 0.8},  // Vin: 9..36 V
    {512, 486, 537, 0.5},  // Vdd: 4.75..5.25 V
    {481, 457, 505, 0.5},  // Vss: -5.25..-4.75 V
    {717, 51, 972, 0.0},   // Vout: -4.5..4.5 V, follows the acceleration
}};

}  // namespace

LivingSignals::LivingSignals(std::uint32_t seed) : rng_(seed) {}

double LivingSignals::Gain(double f, double fc)
{
    if (!(fc > 0.0))
        return 1.0;
    const double r = f / fc;
    return 1.0 / std::sqrt(1.0 + r * r * r * r);
}

double LivingSignals::Acceleration(double t, double fc)
{
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    const double vibration =
        0.04 * Gain(3.0, fc) * std::sin(kTwoPi * 3.0 * t) + 0.02 * Gain(12.0, fc) * std::sin(kTwoPi * 12.0 * t + 0.7);
    // White noise keeps a power proportional to the bandwidth.
    const double noise = 0.003 * std::sqrt(std::clamp(fc, 0.01, 25.0) / 5.0) * gauss_(rng_);
    return 1.0 + vibration + noise;
}

double LivingSignals::Temperature(double t)
{
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    return 22.5 + 1.2 * std::sin(kTwoPi * t / 900.0) + 0.3 * std::sin(kTwoPi * t / 97.0) + 0.02 * gauss_(rng_);
}

std::uint16_t LivingSignals::MonitorRaw(int channel, double acceleration)
{
    const Channel& c = kChannelTable.at(static_cast<std::size_t>(channel));
    double raw = c.nominal + c.noise * gauss_(rng_);
    if (channel == 6)
        raw = (acceleration + 2.5) * 1024.0 / 5.0;
    return static_cast<std::uint16_t>(std::clamp(std::lround(raw), 0L, 65535L));
}

std::uint16_t LivingSignals::Nominal(int channel)
{
    return kChannelTable.at(static_cast<std::size_t>(channel)).nominal;
}
std::uint16_t LivingSignals::Low(int channel)
{
    return kChannelTable.at(static_cast<std::size_t>(channel)).low;
}
std::uint16_t LivingSignals::High(int channel)
{
    return kChannelTable.at(static_cast<std::size_t>(channel)).high;
}

}  // namespace vantor::sim
