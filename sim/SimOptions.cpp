#include "SimOptions.h"

#include <charconv>
#include <initializer_list>
#include <set>

#include "TableOptions.h"

namespace vantor::sim {

namespace {

bool ToInt(const std::string& text, long long low, long long high, long long& out)
{
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end && out >= low && out <= high;
}

bool ToFirmware(const std::string& text, std::pair<std::uint8_t, std::uint8_t>& out)
{
    const auto dot = text.find('.');
    long long major = 0, minor = 0;
    if (dot == std::string::npos || !ToInt(text.substr(0, dot), 0, 255, major)
        || !ToInt(text.substr(dot + 1), 0, 255, minor))
        return false;
    out = {static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor)};
    return true;
}

bool ToProbability(const std::string& text, double& out)
{
    try {
        std::size_t used = 0;
        out = std::stod(text, &used);
        return used == text.size() && out >= 0.0 && out <= 1.0;
    } catch (const std::exception&) {
        return false;
    }
}

bool ToMonitor(const std::string& text, std::pair<Monit, std::uint16_t>& out)
{
    static const char* const kNames[] = {"isupply", "vcell", "vref", "vin", "vdd", "vss", "vout"};
    const auto eq = text.find('=');
    long long raw = 0;
    if (eq == std::string::npos || !ToInt(text.substr(eq + 1), 0, 65535, raw))
        return false;
    for (int c = 0; c < static_cast<int>(Monit::Count); ++c)
        if (text.compare(0, eq, kNames[c]) == 0) {
            out = {static_cast<Monit>(c), static_cast<std::uint16_t>(raw)};
            return true;
        }
    return false;
}

bool ToCelsius(const std::string& text, float& out)
{
    try {
        std::size_t used = 0;
        out = std::stof(text, &used);
        return used == text.size() && out > -300.0F && out < 1000.0F;
    } catch (const std::exception&) {
        return false;
    }
}

// "NAME: EXPECTED, got 'TEXT'".
std::string Refused(const char* name, const char* expected, const std::string& text)
{
    return std::string(name) + ": " + expected + ", got '" + text + "'";
}

// A whole number and the words of its refusal.
struct WholeRule {
    const char* expected;
    long long low, high;
};

constexpr WholeRule kMilliseconds{"number 0..600000 expected", 0, 600000};

template <typename Out>  // int or std::optional<int>
std::string ReadWhole(const std::string& text, const char* name, const WholeRule& rule, Out& out)
{
    long long n = 0;
    if (!ToInt(text, rule.low, rule.high, n))
        return Refused(name, rule.expected, text);
    out = static_cast<int>(n);
    return "";
}

// The position of text among the choices, or -1.
int Choice(const std::string& text, std::initializer_list<const char*> choices)
{
    int index = 0;
    for (const char* choice : choices) {
        if (text == choice)
            return index;
        ++index;
    }
    return -1;
}

// The command line as read so far.
struct Reading {
    ProgramOptions options;
    SensorConfig common;      // the sensor options given before any --id
    std::set<int> addresses;  // of the --id given

    // The sensor the sensor options apply to: that of the last --id, before any --id all of them.
    SensorConfig& Current() { return options.sensors.empty() ? common : options.sensors.back(); }
};

std::string ReadId(const std::string& value, Reading& r)
{
    long long n = 0;
    if (!ToInt(value, 1, 127, n))
        return Refused("--id", "address 1..127 expected", value);
    if (!r.addresses.insert(static_cast<int>(n)).second)
        return "--id: address " + value + " given twice";
    SensorConfig s = r.common;
    s.address = static_cast<std::uint8_t>(n);
    r.options.sensors.push_back(s);
    return "";
}

std::string ReadSeed(const std::string& value, Reading& r)
{
    long long n = 0;
    if (!ToInt(value, 0, 0xFFFFFFFFLL, n))
        return Refused("--seed", "number expected", value);
    r.options.bus.seed = static_cast<std::uint32_t>(n);
    return "";
}

std::string ReadLink(const std::string& value, Reading& r)
{
    if (value.empty())
        return "--link: empty path";
    r.options.link = value;
    return "";
}

std::string ReadLineBaud(const std::string& value, Reading& r)
{
    return ReadWhole(value, "--line-baud", {"speed expected", 50, 4000000}, r.options.bus.lineBaud);
}

template <bool BusOptions::*Flag>
std::string SetBusFlag(const std::string&, Reading& r)
{
    r.options.bus.*Flag = true;
    return "";
}

std::string ReadHelp(const std::string&, Reading& r)
{
    r.options.help = true;
    return "";
}

std::string ReadSerial(const std::string& value, Reading& r)
{
    if (value.size() != 8)
        return Refused("--serial", "8 characters expected", value);
    r.Current().serial = value;
    return "";
}

std::string ReadFirmware(const std::string& value, Reading& r)
{
    std::pair<std::uint8_t, std::uint8_t> fw;
    if (!ToFirmware(value, fw))
        return Refused("--firmware", "major.minor expected (e.g. 1.10)", value);
    r.Current().firmware = fw;
    return "";
}

std::string ReadRebootMs(const std::string& value, Reading& r)
{
    return ReadWhole(value, "--reboot-ms", kMilliseconds, r.Current().rebootMs);
}

std::string ReadSelfTestMs(const std::string& value, Reading& r)
{
    return ReadWhole(value, "--self-test-ms", kMilliseconds, r.Current().selfTestMs);
}

std::string ReadMonit(const std::string& value, Reading& r)
{
    std::pair<Monit, std::uint16_t> pin;
    if (!ToMonitor(value, pin))
        return Refused("--monit", "NAME=RAW expected (e.g. vin=40)", value);
    r.Current().pinnedMonitors.push_back(pin);
    return "";
}

std::string ReadTemperature(const std::string& value, Reading& r)
{
    float celsius = 0;
    if (!ToCelsius(value, celsius))
        return Refused("--temperature", "degrees expected", value);
    r.Current().temperature = celsius;
    return "";
}

std::string ReadBaud(const std::string& value, Reading& r)
{
    const int index = Choice(value, {"9600", "19200", "38400"});
    if (index < 0)
        return Refused("--baud", "9600, 19200 or 38400 expected", value);
    r.Current().baudIndex = static_cast<std::uint8_t>(index);
    return "";
}

std::string ReadLineMode(const std::string& value, Reading& r)
{
    static constexpr LineMode kModes[] = {LineMode::None, LineMode::Even, LineMode::Odd};
    const int index = Choice(value, {"none", "even", "odd"});
    if (index < 0)
        return Refused("--line-mode", "none, even or odd expected", value);
    r.Current().mode = kModes[index];
    return "";
}

template <bool SensorFaults::*Fault>
std::string SetFault(const std::string&, Reading& r)
{
    r.Current().faults.*Fault = true;
    return "";
}

std::string ReadException(const std::string& value, Reading& r)
{
    return ReadWhole(value, "--exception", {"code 1..255 expected", 1, 255}, r.Current().faults.exceptionCode);
}

std::string ReadExceptionAt(const std::string& value, Reading& r)
{
    return ReadWhole(value, "--exception-at", {"register 0..65535 expected", 0, 65535},
                     r.Current().faults.exceptionRegister);
}

std::string ReadDelay(const std::string& value, Reading& r)
{
    return ReadWhole(value, "--delay", kMilliseconds, r.Current().faults.delayMs);
}

std::string ReadCut(const std::string& value, Reading& r)
{
    return ReadWhole(value, "--cut", kMilliseconds, r.Current().faults.cutBytes);
}

std::string ReadCorrupt(const std::string& value, Reading& r)
{
    double p = 0;
    if (!ToProbability(value, p))
        return Refused("--corrupt", "probability 0..1 expected", value);
    r.Current().faults.corruptProbability = p;
    return "";
}

// What an option's missing-value message says it needs: "--id needs an address".
struct Needs {
    const char* what = nullptr;
};

using SimOption = TOptionRow<Reading, Needs>;

// The options of each part of the help, in its order.
const std::vector<SimOption>& LineOptions()
{
    static const std::vector<SimOption> kOptions = {
        {"--id", "N", "add a sensor at address N (1..127); repeatable; default one at 1", ReadId, {"an address"}},
        {"--link",
         "PATH",
         "make PATH a symbolic link to the device (folders are created;\n"
         "the link is removed at exit)",
         ReadLink,
         {"a path"}},
        {"--line-baud",
         "B",
         "line speed for the end-of-frame silence (default: the speed the\n"
         "master sets on the device)",
         ReadLineBaud,
         {"a speed"}},
        {"--seed", "N", "seed of the simulated noise (default 1)", ReadSeed, {"a number"}},
        {"--strict-baud", nullptr,
         "a sensor hears only frames sent at its own baud rate (the\n"
         "speed the master set on the device)",
         SetBusFlag<&BusOptions::strictBaud>},
        {"--strict-line-mode", nullptr,
         "a sensor hears only frames sent in its own line mode (the\n"
         "stop bits and parity flag the master set on the device)",
         SetBusFlag<&BusOptions::strictLineMode>},
        {"--help", nullptr, "show this text", ReadHelp, {}, "-h"},
    };
    return kOptions;
}

const std::vector<SimOption>& SensorOptions()
{
    static const std::vector<SimOption> kOptions = {
        {"--serial", "TEXT", "serial number, 8 characters (default AB123456, AB123457, ...)", ReadSerial, {"a text"}},
        {"--firmware", "M.m", "firmware revision (default 1.10)", ReadFirmware, {"a revision"}},
        {"--reboot-ms", "MS", "silence after a reset (default 1500)", ReadRebootMs, {"a number"}},
        {"--self-test-ms",
         "MS",
         "how long the self test shows in the status word (default 800)",
         ReadSelfTestMs,
         {"a number"}},
        {"--monit",
         "NAME=RAW",
         "hold a monitoring raw value (isupply, vcell, vref, vin, vdd, vss,\n"
         "vout); out of its range it sets its status bit; repeatable",
         ReadMonit,
         {"NAME=RAW"}},
        {"--temperature",
         "C",
         "hold the temperature (outside -20..70 sets its status bit)",
         ReadTemperature,
         {"a temperature"}},
        {"--baud", "B", "the sensor's baud rate at start: 9600, 19200 (default) or 38400", ReadBaud, {"a baud rate"}},
        {"--line-mode", "M", "the line mode it talks in: none (default), even or odd", ReadLineMode, {"a line mode"}},
    };
    return kOptions;
}

const std::vector<SimOption>& FaultOptions()
{
    using F = SensorFaults;
    static const std::vector<SimOption> kOptions = {
        {"--silent", nullptr, "never answer", SetFault<&F::silent>},
        {"--wrong-crc", nullptr, "answer with a false CRC", SetFault<&F::wrongCrc>},
        {"--wrong-address", nullptr, "answer under another address", SetFault<&F::wrongAddress>},
        {"--exception", "CODE", "answer every request with this exception code (1..255)", ReadException, {"a code"}},
        {"--exception-at",
         "REG",
         "with --exception: only requests whose first register is REG",
         ReadExceptionAt,
         {"a register"}},
        {"--delay", "MS", "answer MS milliseconds late", ReadDelay, {"a number"}},
        {"--echo", nullptr, "echo every request (as an adapter that hears itself)", SetFault<&F::echo>},
        {"--babble", nullptr, "keep sending stray bytes: the line never falls silent", SetFault<&F::babble>},
        {"--cut", "N", "drop the last N bytes of every answer", ReadCut, {"a number"}},
        {"--corrupt", "P", "garble each answer byte with probability P (0..1)", ReadCorrupt, {"a probability"}},
        {"--ignore-writes", nullptr, "acknowledge register writes without storing them", SetFault<&F::ignoreWrites>},
    };
    return kOptions;
}

// Every option, for the lookup.
const std::vector<SimOption>& Options()
{
    static const std::vector<SimOption> kOptions = [] {
        std::vector<SimOption> all;
        for (const auto* part : {&LineOptions(), &SensorOptions(), &FaultOptions()})
            all.insert(all.end(), part->begin(), part->end());
        return all;
    }();
    return kOptions;
}

std::string HelpLines(const std::vector<SimOption>& options)
{
    constexpr std::size_t kColumn = 23;
    return OptionHelpLines(SelectOptions(options, [](const SimOption&) { return true; }), kColumn);
}

}  // namespace

std::string UsageText()
{
    return "Usage: vantor-sim [options]\n"
           "Simulates Vantor sensors on one MODBUS RTU line carried by a pseudo-terminal, and runs\n"
           "until interrupted (SIGINT or SIGTERM).\n"
           "\n"
           "Line:\n"
           + HelpLines(LineOptions()) + "\nSensor (for the last --id; before any --id: for every sensor):\n"
           + HelpLines(SensorOptions()) + "\nFaults (per sensor, as above):\n" + HelpLines(FaultOptions());
}

ParsedOptions ParseOptions(const std::vector<std::string>& args)
{
    Reading reading;
    ParsedOptions result;
    result.error = ReadOptions(Options(), args, reading, [](const std::string& option, const SimOption& row) {
        return option + " needs " + row.extra.what;
    });
    if (result.error.empty() && reading.options.sensors.empty())
        reading.options.sensors.push_back(reading.common);
    result.options = std::move(reading.options);
    return result;
}

}  // namespace vantor::sim
