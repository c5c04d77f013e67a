// The vantor-sim program: its command line, and the program run as a process with a link,
// two sensors and a clean stop on SIGTERM or SIGINT.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "SimOptions.h"
#include "SimTestProgram.h"
#include "SimTestMaster.h"

using namespace simtest;
using namespace vantor::sim;
namespace fs = std::filesystem;

namespace {

TEST(SimOptions, SensorsAndTheirOptions)
{
    const auto p = ParseOptions({"--delay",
                                 "7",
                                 "--id",
                                 "1",
                                 "--silent",
                                 "--id",
                                 "5",
                                 "--serial",
                                 "ZZ000005",
                                 "--firmware",
                                 "2.3",
                                 "--exception",
                                 "4",
                                 "--corrupt",
                                 "0.25",
                                 "--cut",
                                 "2",
                                 "--link",
                                 "dos/com1",
                                 "--echo",
                                 "--babble",
                                 "--wrong-crc",
                                 "--wrong-address",
                                 "--reboot-ms",
                                 "100",
                                 "--self-test-ms",
                                 "50",
                                 "--line-baud",
                                 "9600",
                                 "--seed",
                                 "9",
                                 "--monit",
                                 "vin=40",
                                 "--monit",
                                 "vout=0",
                                 "--temperature",
                                 "85.5"});
    ASSERT_EQ(p.error, "");
    const ProgramOptions& o = p.options;
    ASSERT_EQ(o.sensors.size(), 2u);
    EXPECT_EQ(o.sensors[0].address, 1);
    EXPECT_TRUE(o.sensors[0].faults.silent);
    EXPECT_EQ(o.sensors[0].faults.delayMs, 7);  // given before any --id: for every sensor
    EXPECT_FALSE(o.sensors[0].serial.has_value());
    const SensorConfig& s = o.sensors[1];
    EXPECT_EQ(s.address, 5);
    EXPECT_FALSE(s.faults.silent);
    EXPECT_EQ(s.faults.delayMs, 7);
    EXPECT_EQ(s.serial, "ZZ000005");
    EXPECT_EQ(s.firmware, (std::pair<std::uint8_t, std::uint8_t>{2, 3}));
    EXPECT_EQ(s.faults.exceptionCode, 4);
    EXPECT_DOUBLE_EQ(s.faults.corruptProbability, 0.25);
    EXPECT_EQ(s.faults.cutBytes, 2);
    EXPECT_TRUE(s.faults.echo && s.faults.babble && s.faults.wrongCrc && s.faults.wrongAddress);
    EXPECT_EQ(s.rebootMs, 100);
    EXPECT_EQ(s.selfTestMs, 50);
    EXPECT_EQ(s.pinnedMonitors, (std::vector<std::pair<Monit, std::uint16_t>>{{Monit::Vin, 40}, {Monit::Vout, 0}}));
    EXPECT_EQ(s.temperature, 85.5F);
    EXPECT_EQ(o.link, "dos/com1");
    EXPECT_EQ(o.bus.lineBaud, 9600);
    EXPECT_EQ(o.bus.seed, 9u);
}

TEST(SimOptions, DefaultIsOneSensorAtOne)
{
    const auto p = ParseOptions({"--wrong-crc"});
    ASSERT_EQ(p.error, "");
    ASSERT_EQ(p.options.sensors.size(), 1u);
    EXPECT_EQ(p.options.sensors[0].address, 1);
    EXPECT_TRUE(p.options.sensors[0].faults.wrongCrc);
}

TEST(SimOptions, RefusedCommandLines)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--id", "0"},
                                                 {"--id", "128"},
                                                 {"--id", "1", "--id", "1"},
                                                 {"--id"},
                                                 {"--id", "x"},
                                                 {"--serial", "ABC"},
                                                 {"--firmware", "1"},
                                                 {"--firmware", "1.300"},
                                                 {"--corrupt", "2"},
                                                 {"--corrupt", "x"},
                                                 {"--exception", "0"},
                                                 {"--delay", "-1"},
                                                 {"--frobnicate"},
                                                 {"--link", ""},
                                                 {"--line-baud", "fast"},
                                                 {"--monit", "vin"},
                                                 {"--monit", "vxx=3"},
                                                 {"--monit", "vin=70000"},
                                                 {"--temperature", "warm"}})
        EXPECT_NE(ParseOptions(args).error, "") << args[0];
}

TEST(SimOptions, HelpListsEveryOption)
{
    EXPECT_TRUE(ParseOptions({"--help"}).options.help);
    const std::string usage = UsageText();
    for (const char* option : {"--id",        "--link",          "--line-baud", "--seed",         "--help",
                               "--serial",    "--firmware",      "--reboot-ms", "--self-test-ms", "--silent",
                               "--wrong-crc", "--wrong-address", "--exception", "--delay",        "--echo",
                               "--babble",    "--cut",           "--corrupt",   "--monit",        "--temperature"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

// Every option's message for a missing or refused value, word for word.
TEST(SimOptions, RefusalMessages)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--id"}, "--id needs an address"},
        {{"--id", "x"}, "--id: address 1..127 expected, got 'x'"},
        {{"--id", "128"}, "--id: address 1..127 expected, got '128'"},
        {{"--id", "1", "--id", "1"}, "--id: address 1 given twice"},
        {{"--link"}, "--link needs a path"},
        {{"--link", ""}, "--link: empty path"},
        {{"--line-baud"}, "--line-baud needs a speed"},
        {{"--line-baud", "fast"}, "--line-baud: speed expected, got 'fast'"},
        {{"--line-baud", "49"}, "--line-baud: speed expected, got '49'"},
        {{"--seed"}, "--seed needs a number"},
        {{"--seed", "-1"}, "--seed: number expected, got '-1'"},
        {{"--serial"}, "--serial needs a text"},
        {{"--serial", "ABC"}, "--serial: 8 characters expected, got 'ABC'"},
        {{"--firmware"}, "--firmware needs a revision"},
        {{"--firmware", "1"}, "--firmware: major.minor expected (e.g. 1.10), got '1'"},
        {{"--firmware", "1.300"}, "--firmware: major.minor expected (e.g. 1.10), got '1.300'"},
        {{"--reboot-ms"}, "--reboot-ms needs a number"},
        {{"--reboot-ms", "600001"}, "--reboot-ms: number 0..600000 expected, got '600001'"},
        {{"--self-test-ms", "x"}, "--self-test-ms: number 0..600000 expected, got 'x'"},
        {{"--delay", "-1"}, "--delay: number 0..600000 expected, got '-1'"},
        {{"--self-test-ms"}, "--self-test-ms needs a number"},
        {{"--delay"}, "--delay needs a number"},
        {{"--cut"}, "--cut needs a number"},
        {{"--cut", "1.5"}, "--cut: number 0..600000 expected, got '1.5'"},
        {{"--exception"}, "--exception needs a code"},
        {{"--exception", "0"}, "--exception: code 1..255 expected, got '0'"},
        {{"--exception-at"}, "--exception-at needs a register"},
        {{"--exception-at", "65536"}, "--exception-at: register 0..65535 expected, got '65536'"},
        {{"--corrupt"}, "--corrupt needs a probability"},
        {{"--corrupt", "2"}, "--corrupt: probability 0..1 expected, got '2'"},
        {{"--corrupt", "x"}, "--corrupt: probability 0..1 expected, got 'x'"},
        {{"--monit"}, "--monit needs NAME=RAW"},
        {{"--monit", "vin"}, "--monit: NAME=RAW expected (e.g. vin=40), got 'vin'"},
        {{"--monit", "vxx=3"}, "--monit: NAME=RAW expected (e.g. vin=40), got 'vxx=3'"},
        {{"--monit", "vin=70000"}, "--monit: NAME=RAW expected (e.g. vin=40), got 'vin=70000'"},
        {{"--temperature"}, "--temperature needs a temperature"},
        {{"--temperature", "warm"}, "--temperature: degrees expected, got 'warm'"},
        {{"--temperature", "1000"}, "--temperature: degrees expected, got '1000'"},
        {{"--baud"}, "--baud needs a baud rate"},
        {{"--baud", "57600"}, "--baud: 9600, 19200 or 38400 expected, got '57600'"},
        {{"--line-mode"}, "--line-mode needs a line mode"},
        {{"--line-mode", "mark"}, "--line-mode: none, even or odd expected, got 'mark'"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--silent", "3"}, "unknown option '3'"},
        {{"--silent=1"}, "unknown option '--silent=1'"},
        {{"--help", "--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--id=3"}, "unknown option '--id=3'"},
        {{"-h", "x"}, "unknown option 'x'"},
        {{"--id", "5", "--serial"}, "--serial needs a text"},
    };
    for (const auto& [args, message] : cases)
        EXPECT_EQ(ParseOptions(args).error, message) << args[0];
}

// The help text, word for word.
TEST(SimOptions, UsageTextKnownAnswer)
{
    EXPECT_EQ(UsageText(), R"(Usage: vantor-sim [options]
Simulates Vantor sensors on one MODBUS RTU line carried by a pseudo-terminal, and runs
until interrupted (SIGINT or SIGTERM).

Line:
  --id N               add a sensor at address N (1..127); repeatable; default one at 1
  --link PATH          make PATH a symbolic link to the device (folders are created;
                       the link is removed at exit)
  --line-baud B        line speed for the end-of-frame silence (default: the speed the
                       master sets on the device)
  --seed N             seed of the simulated noise (default 1)
  --strict-baud        a sensor hears only frames sent at its own baud rate (the
                       speed the master set on the device)
  --strict-line-mode   a sensor hears only frames sent in its own line mode (the
                       stop bits and parity flag the master set on the device)
  --help               show this text

Sensor (for the last --id; before any --id: for every sensor):
  --serial TEXT        serial number, 8 characters (default AB123456, AB123457, ...)
  --firmware M.m       firmware revision (default 1.10)
  --reboot-ms MS       silence after a reset (default 1500)
  --self-test-ms MS    how long the self test shows in the status word (default 800)
  --monit NAME=RAW     hold a monitoring raw value (isupply, vcell, vref, vin, vdd, vss,
                       vout); out of its range it sets its status bit; repeatable
  --temperature C      hold the temperature (outside -20..70 sets its status bit)
  --baud B             the sensor's baud rate at start: 9600, 19200 (default) or 38400
  --line-mode M        the line mode it talks in: none (default), even or odd

Faults (per sensor, as above):
  --silent             never answer
  --wrong-crc          answer with a false CRC
  --wrong-address      answer under another address
  --exception CODE     answer every request with this exception code (1..255)
  --exception-at REG   with --exception: only requests whose first register is REG
  --delay MS           answer MS milliseconds late
  --echo               echo every request (as an adapter that hears itself)
  --babble             keep sending stray bytes: the line never falls silent
  --cut N              drop the last N bytes of every answer
  --corrupt P          garble each answer byte with probability P (0..1)
  --ignore-writes      acknowledge register writes without storing them
)");
}

fs::path TempDir(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("vantor-sim-test-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(dir);
    return dir;
}

TEST(SimProgramRun, ServesTwoSensorsThroughItsLinkAndStopsCleanly)
{
    const fs::path dir = TempDir("run");
    const fs::path link = dir / "dosdevices" / "com1";
    SimProgram sim({"--id", "1", "--id", "5", "--serial", "ZZ000005", "--link", link.string()});
    const std::string device = sim.Line();
    ASSERT_EQ(device.rfind("device /dev/pts/", 0), 0u) << device;
    EXPECT_EQ(sim.Line(), "link " + link.string() + " -> " + device.substr(7));
    EXPECT_EQ(sim.Line(), "sensor 1: serial AB123456, firmware 1.10");
    EXPECT_EQ(sim.Line(), "sensor 5: serial ZZ000005, firmware 1.10");
    ASSERT_TRUE(fs::is_symlink(link));
    {
        TestMaster master(link.string());
        EXPECT_EQ(master.Transact("05 03 00 06 00 01 65 8F"), "05 03 02 01 05 88 17");
        EXPECT_EQ(master.Transact("01 03 00 08 00 04 C5 CB"), "01 03 08 41 42 31 32 33 34 35 36 D6 06");
        // A new baud index is reported on the output.
        EXPECT_EQ(master.Transact("01 06 00 06 02 11 A8 A7"), "01 06 00 06 02 11 A8 A7");
    }
    EXPECT_EQ(sim.Line(), "sensor 17: baud index 2 (38400 baud) stored; the pseudo-terminal has no line speed");
    EXPECT_EQ(sim.StopWith(SIGTERM), 0);
    EXPECT_EQ(sim.Line(), "stopped");
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    fs::remove_all(dir);
}

TEST(SimProgramRun, FaultOptionsReachTheSensorAndSigintStops)
{
    SimProgram sim({"--id", "1", "--wrong-crc", "--id", "2", "--monit", "vin=40", "--temperature", "85"});
    const std::string device = sim.Line();
    ASSERT_EQ(device.rfind("device ", 0), 0u);
    {
        TestMaster master(device.substr(7));
        EXPECT_EQ(master.Transact("01 03 00 06 00 01 64 0B"), "01 03 02 01 01 78 EB");
        // Sensor 2: Vin and temperature held out of range, their status bits set.
        const Bytes m = master.Transact(Hex("02 04 00 04 00 01 70 38"));
        ASSERT_EQ(m.size(), 7u);
        EXPECT_EQ(m[3], 0x04);
        EXPECT_EQ(m[4], 0x10);
    }
    EXPECT_EQ(sim.StopWith(SIGINT), 0);
}

TEST(SimProgramRun, RefusesABadCommandLineAndAForeignFile)
{
    SimProgram bad({"--id", "200"});
    EXPECT_EQ(bad.Line(), "");
    EXPECT_EQ(bad.StopWith(0), 2);

    const fs::path dir = TempDir("file");
    fs::create_directories(dir);
    const fs::path file = dir / "com1";
    std::FILE* f = std::fopen(file.c_str(), "w");
    std::fclose(f);
    SimProgram sim({"--link", file.string()});
    EXPECT_EQ(sim.Line(), "");
    EXPECT_EQ(sim.StopWith(0), 1);
    EXPECT_TRUE(fs::is_regular_file(file));
    fs::remove_all(dir);
}

}  // namespace
