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

using namespace vantor::sim;

namespace {

const char* BaudText(unsigned index)
{
    static const char* const kTexts[] = {"9600", "19200", "38400"};
    return index < 3 ? kTexts[index] : "?";
}

// Blocks the signals that stop the program, so that sigwait() takes them; every thread started
// from here on inherits the mask.
sigset_t BlockStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

void AddSensor(SimBus& bus, const SensorConfig& c)
{
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

void ReportBaudChanges(SimBus& bus)
{
    bus.OnBaudChange([](std::uint8_t address, std::uint8_t index) {
        std::printf("sensor %u: baud index %u (%s baud) stored; the pseudo-terminal has no line speed\n", address,
                    index, BaudText(index));
        std::fflush(stdout);
    });
}

// The lines that tell where the bus is and which sensors it carries.
void PrintStart(SimBus& bus, const ProgramOptions& options, bool linked)
{
    std::printf("device %s\n", bus.DevicePath().c_str());
    if (linked)
        std::printf("link %s -> %s\n", options.link.c_str(), bus.DevicePath().c_str());
    for (const SensorConfig& c : options.sensors) {
        SimSensor* s = bus.SensorAt(c.address);
        const auto [major, minor] = s->Firmware();
        std::printf("sensor %u: serial %s, firmware %u.%u\n", c.address, s->Serial().c_str(), major, minor);
    }
    std::fflush(stdout);
}

// Serves the sensors until SIGINT, SIGTERM or SIGHUP: the exit status.
int Run(const ProgramOptions& options)
{
    const sigset_t stopSignals = BlockStopSignals();
    try {
        SimBus bus(options.bus);
        for (const SensorConfig& c : options.sensors)
            AddSensor(bus, c);
        ReportBaudChanges(bus);

        std::unique_ptr<DeviceLink> link;
        if (!options.link.empty())
            link = std::make_unique<DeviceLink>(options.link, bus.DevicePath());
        PrintStart(bus, options, link != nullptr);

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

}  // namespace

int main(int argc, char** argv)
{
    const ParsedOptions parsed = ParseOptions({argv + 1, argv + argc});
    if (!parsed.error.empty()) {
        std::cerr << "vantor-sim: " << parsed.error << "\n(vantor-sim --help lists the options)\n";
        return 2;
    }
    if (parsed.options.help) {
        std::cout << UsageText();
        return 0;
    }
    return Run(parsed.options);
}
