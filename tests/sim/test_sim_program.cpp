// The vantor-sim program: its command line, and the program run as a process with a link,
// two sensors and a clean stop on SIGTERM or SIGINT.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

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
