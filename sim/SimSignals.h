// Living signals of a simulated sensor: acceleration, temperature and the monitoring raw values.
#pragma once

#include <array>
#include <cstdint>
#include <random>

namespace vantor::sim {

class LivingSignals {
public:
    explicit LivingSignals(std::uint32_t seed);

    // Acceleration in g at time t (seconds): 1 g, a vibration and sensor noise, all passed
    // through a second-order low-pass of cut-off fc (Hz).
    double Acceleration(double t, double fc);
    // Temperature in °C at time t (seconds): room temperature drifting slowly.
    double Temperature(double t);
    // Raw monitoring value of channel 0..6 (input registers 5..11) around its operating point;
    // Vout (channel 6) follows the acceleration given.
    std::uint16_t MonitorRaw(int channel, double acceleration);

    static constexpr int kChannels = 7;
    static std::uint16_t Nominal(int channel);
    static std::uint16_t Low(int channel);
    static std::uint16_t High(int channel);
    // Gain of the low-pass at frequency f for cut-off fc.
    static double Gain(double f, double fc);

private:
    std::mt19937 rng_;
    std::normal_distribution<double> gauss_{0.0, 1.0};
};

}  // namespace vantor::sim
