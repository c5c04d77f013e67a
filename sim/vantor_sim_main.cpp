// vantor-sim: Vantor sensors on a pseudo-terminal, until SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>

#include "SimLink.h"
#include "SimOptions.h"
#include "SimVantor.h"

namespace {

const char* BaudText(unsigned index)
{
    static const char* const kTexts[] = {"9600", "19200", "38400"};
    return index < 3 ? kTexts[index] : "?";
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace vantor::sim;
    const ParsedOptions parsed = ParseOptions({argv + 1, argv + argc});
    if (!parsed.error.empty()) {
        std::cerr << "vantor-sim: " << parsed.error << "\n(vantor-sim --help lists the options)\n";
        return 2;
    }
    const ProgramOptions& options = parsed.options;
    if (options.help) {
        std::cout << UsageText();
        return 0;
    }

    // The signals are taken by sigwait() below; every thread started from here inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        SimBus bus(options.bus);
        for (const SensorConfig& c : options.sensors) {
            SimSensor& s = bus.AddSensor(c.address);
            if (c.serial)
                s.SetSerial(*c.serial);
            if (c.firmware)
                s.SetFirmware(c.firmware->first, c.firmware->second);
            if (c.rebootMs)
                s.SetRebootTime(std::chrono::milliseconds(*c.rebootMs));
            if (c.selfTestMs)
                s.SetSelfTestTime(std::chrono::milliseconds(*c.selfTestMs));
            for (const auto& [channel, raw] : c.pinnedMonitors)
                s.ForceMonitor(channel, raw);
            if (c.temperature)
                s.ForceTemperature(*c.temperature);
            if (c.baudIndex)
                s.SetBaudIndex(*c.baudIndex);
            if (c.mode)
                s.SetMode(*c.mode);
            s.SetFaults(c.faults);
        }
        bus.OnBaudChange([](std::uint8_t address, std::uint8_t index) {
            std::printf("sensor %u: baud index %u (%s baud) stored; the pseudo-terminal has no line speed\n", address,
                        index, BaudText(index));
            std::fflush(stdout);
        });

        std::unique_ptr<DeviceLink> link;
        if (!options.link.empty())
            link = std::make_unique<DeviceLink>(options.link, bus.DevicePath());

        std::printf("device %s\n", bus.DevicePath().c_str());
        if (link)
            std::printf("link %s -> %s\n", options.link.c_str(), bus.DevicePath().c_str());
        for (const SensorConfig& c : options.sensors) {
            SimSensor* s = bus.SensorAt(c.address);
            const auto [major, minor] = s->Firmware();
            std::printf("sensor %u: serial %s, firmware %u.%u\n", c.address, s->Serial().c_str(), major, minor);
        }
        std::fflush(stdout);

        int signal = 0;
        sigwait(&stopSignals, &signal);
        bus.Stop();
        std::printf("stopped\n");
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "vantor-sim: " << e.what() << "\n";
        return 1;
    }
}
