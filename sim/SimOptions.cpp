#include "SimOptions.h"

#include <charconv>
#include <set>

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

}  // namespace

std::string UsageText()
{
    return "Usage: vantor-sim [options]\n"
           "Simulates Vantor sensors on one MODBUS RTU line carried by a pseudo-terminal, and runs\n"
           "until interrupted (SIGINT or SIGTERM).\n"
           "\n"
           "Line:\n"
           "  --id N               add a sensor at address N (1..127); repeatable; default one at 1\n"
           "  --link PATH          make PATH a symbolic link to the device (folders are created;\n"
           "                       the link is removed at exit)\n"
           "  --line-baud B        line speed for the end-of-frame silence (default: the speed the\n"
           "                       master sets on the device)\n"
           "  --seed N             seed of the simulated noise (default 1)\n"
           "  --strict-baud        a sensor hears only frames sent at its own baud rate (the\n"
           "                       speed the master set on the device)\n"
           "  --strict-line-mode   a sensor hears only frames sent in its own line mode (the\n"
           "                       stop bits and parity flag the master set on the device)\n"
           "  --help               show this text\n"
           "\n"
           "Sensor (for the last --id; before any --id: for every sensor):\n"
           "  --serial TEXT        serial number, 8 characters (default AB123456, AB123457, ...)\n"
           "  --firmware M.m       firmware revision (default 1.10)\n"
           "  --reboot-ms MS       silence after a reset (default 1500)\n"
           "  --self-test-ms MS    how long the self test shows in the status word (default 800)\n"
           "  --monit NAME=RAW     hold a monitoring raw value (isupply, vcell, vref, vin, vdd, vss,\n"
           "                       vout); out of its range it sets its status bit; repeatable\n"
           "  --temperature C      hold the temperature (outside -20..70 sets its status bit)\n"
           "  --baud B             the sensor's baud rate at start: 9600, 19200 (default) or 38400\n"
           "  --line-mode M        the line mode it talks in: none (default), even or odd\n"
           "\n"
           "Faults (per sensor, as above):\n"
           "  --silent             never answer\n"
           "  --wrong-crc          answer with a false CRC\n"
           "  --wrong-address      answer under another address\n"
           "  --exception CODE     answer every request with this exception code (1..255)\n"
           "  --exception-at REG   with --exception: only requests whose first register is REG\n"
           "  --delay MS           answer MS milliseconds late\n"
           "  --echo               echo every request (as an adapter that hears itself)\n"
           "  --babble             keep sending stray bytes: the line never falls silent\n"
           "  --cut N              drop the last N bytes of every answer\n"
           "  --corrupt P          garble each answer byte with probability P (0..1)\n"
           "  --ignore-writes      acknowledge register writes without storing them\n";
}

ParsedOptions ParseOptions(const std::vector<std::string>& args)
{
    ParsedOptions result;
    ProgramOptions& o = result.options;
    SensorConfig common;
    bool sawId = false;
    std::set<int> addresses;

    auto current = [&]() -> SensorConfig& { return sawId ? o.sensors.back() : common; };
    auto fail = [&](const std::string& message) {
        result.error = message;
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string value = hasValue ? args[i + 1] : std::string();
        long long n = 0;
        auto needs = [&](const char* what) -> bool {
            if (!hasValue)
                result.error = a + " needs " + what;
            else
                ++i;
            return hasValue;
        };

        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--id") {
            if (!needs("an address"))
                return result;
            if (!ToInt(value, 1, 127, n))
                return fail("--id: address 1..127 expected, got '" + value + "'");
            if (!addresses.insert(static_cast<int>(n)).second)
                return fail("--id: address " + value + " given twice");
            SensorConfig s = common;
            s.address = static_cast<std::uint8_t>(n);
            o.sensors.push_back(s);
            sawId = true;
        } else if (a == "--link") {
            if (!needs("a path"))
                return result;
            if (value.empty())
                return fail("--link: empty path");
            o.link = value;
        } else if (a == "--line-baud") {
            if (!needs("a speed"))
                return result;
            if (!ToInt(value, 50, 4000000, n))
                return fail("--line-baud: speed expected, got '" + value + "'");
            o.bus.lineBaud = static_cast<int>(n);
        } else if (a == "--seed") {
            if (!needs("a number"))
                return result;
            if (!ToInt(value, 0, 0xFFFFFFFFLL, n))
                return fail("--seed: number expected, got '" + value + "'");
            o.bus.seed = static_cast<std::uint32_t>(n);
        } else if (a == "--serial") {
            if (!needs("a text"))
                return result;
            if (value.size() != 8)
                return fail("--serial: 8 characters expected, got '" + value + "'");
            current().serial = value;
        } else if (a == "--firmware") {
            if (!needs("a revision"))
                return result;
            std::pair<std::uint8_t, std::uint8_t> fw;
            if (!ToFirmware(value, fw))
                return fail("--firmware: major.minor expected (e.g. 1.10), got '" + value + "'");
            current().firmware = fw;
        } else if (a == "--reboot-ms" || a == "--self-test-ms" || a == "--delay" || a == "--cut") {
            if (!needs("a number"))
                return result;
            if (!ToInt(value, 0, 600000, n))
                return fail(a + ": number 0..600000 expected, got '" + value + "'");
            if (a == "--reboot-ms")
                current().rebootMs = static_cast<int>(n);
            else if (a == "--self-test-ms")
                current().selfTestMs = static_cast<int>(n);
            else if (a == "--delay")
                current().faults.delayMs = static_cast<int>(n);
            else
                current().faults.cutBytes = static_cast<int>(n);
        } else if (a == "--exception") {
            if (!needs("a code"))
                return result;
            if (!ToInt(value, 1, 255, n))
                return fail("--exception: code 1..255 expected, got '" + value + "'");
            current().faults.exceptionCode = static_cast<int>(n);
        } else if (a == "--exception-at") {
            if (!needs("a register"))
                return result;
            if (!ToInt(value, 0, 65535, n))
                return fail("--exception-at: register 0..65535 expected, got '" + value + "'");
            current().faults.exceptionRegister = static_cast<int>(n);
        } else if (a == "--corrupt") {
            if (!needs("a probability"))
                return result;
            double p = 0;
            if (!ToProbability(value, p))
                return fail("--corrupt: probability 0..1 expected, got '" + value + "'");
            current().faults.corruptProbability = p;
        } else if (a == "--monit") {
            if (!needs("NAME=RAW"))
                return result;
            std::pair<Monit, std::uint16_t> pin;
            if (!ToMonitor(value, pin))
                return fail("--monit: NAME=RAW expected (e.g. vin=40), got '" + value + "'");
            current().pinnedMonitors.push_back(pin);
        } else if (a == "--temperature") {
            if (!needs("a temperature"))
                return result;
            float celsius = 0;
            if (!ToCelsius(value, celsius))
                return fail("--temperature: degrees expected, got '" + value + "'");
            current().temperature = celsius;
        } else if (a == "--strict-baud") {
            o.bus.strictBaud = true;
        } else if (a == "--strict-line-mode") {
            o.bus.strictLineMode = true;
        } else if (a == "--baud") {
            if (!needs("a baud rate"))
                return result;
            if (value != "9600" && value != "19200" && value != "38400")
                return fail("--baud: 9600, 19200 or 38400 expected, got '" + value + "'");
            current().baudIndex = static_cast<std::uint8_t>(value == "9600" ? 0 : value == "19200" ? 1 : 2);
        } else if (a == "--line-mode") {
            if (!needs("a line mode"))
                return result;
            if (value != "none" && value != "even" && value != "odd")
                return fail("--line-mode: none, even or odd expected, got '" + value + "'");
            current().mode = value == "none" ? LineMode::None : value == "even" ? LineMode::Even : LineMode::Odd;
        } else if (a == "--silent") {
            current().faults.silent = true;
        } else if (a == "--wrong-crc") {
            current().faults.wrongCrc = true;
        } else if (a == "--wrong-address") {
            current().faults.wrongAddress = true;
        } else if (a == "--ignore-writes") {
            current().faults.ignoreWrites = true;
        } else if (a == "--echo") {
            current().faults.echo = true;
        } else if (a == "--babble") {
            current().faults.babble = true;
        } else {
            return fail("unknown option '" + a + "'");
        }
    }
    if (!sawId)
        o.sensors.push_back(common);
    return result;
}

}  // namespace vantor::sim
