// Command line of the vantor-sim program.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "SimVantor.h"

namespace vantor::sim {

struct SensorConfig {
    std::uint8_t address = 1;
    std::optional<std::string> serial;
    std::optional<std::pair<std::uint8_t, std::uint8_t>> firmware;
    SensorFaults faults;
    std::optional<int> rebootMs;
    std::optional<int> selfTestMs;
    std::vector<std::pair<Monit, std::uint16_t>> pinnedMonitors;  // raw values held fixed
    std::optional<float> temperature;                             // temperature held fixed
    std::optional<std::uint8_t> baudIndex;                        // starting baud rate (index)
    std::optional<LineMode> mode;                                 // line mode it talks in
};

struct ProgramOptions {
    std::vector<SensorConfig> sensors;  // at least one after a successful parse
    std::string link;                   // empty: no link
    BusOptions bus;
    bool help = false;
};

struct ParsedOptions {
    ProgramOptions options;
    std::string error;  // empty on success
};

// Sensor options apply to the sensor of the last --id; given before any --id they apply to every
// sensor that follows (and to the single sensor at address 1 when there is no --id at all).
ParsedOptions ParseOptions(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace vantor::sim
