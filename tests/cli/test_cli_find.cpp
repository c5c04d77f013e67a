// find: the settings tried, in their order, as the simulated line sees them (speed, and the
// stop bits and parity flag that tell the line mode), the first sensor found, --all, nobody.
#include <map>

#include "BancCli.h"

using namespace clitest;
using vantor::sim::LineMode;
using vantor::sim::LineSettings;

namespace {

// Sensors that hear only their own baud rate and line mode.
class CliFind : public TBancCli {
protected:
    CliFind() : TBancCli(vantor::sim::BusOptions{.strictBaud = true, .strictLineMode = true}) {}

    // The settings of the frames, each run of equal settings once, with the addresses probed in it.
    struct TSerie {
        LineSettings reglage;
        std::vector<int> adresses;
    };
    std::vector<TSerie> Series() const
    {
        std::vector<TSerie> series;
        const auto trames = bus.ReceivedFrames();
        const auto reglages = bus.ReceivedLineSettings();
        for (std::size_t i = 0; i < trames.size(); ++i) {
            if (series.empty() || !(series.back().reglage == reglages[i]))
                series.push_back({reglages[i], {}});
            series.back().adresses.push_back(trames[i][0]);
            EXPECT_EQ(Trames()[i].substr(3), "04 00 00 00 01");  // the scan's probe
        }
        return series;
    }
};

const std::vector<LineSettings> kOrdre = {{19200, LineMode::None}, {19200, LineMode::Even}, {19200, LineMode::Odd},
                                          {9600, LineMode::None},  {9600, LineMode::Even},  {9600, LineMode::Odd},
                                          {38400, LineMode::None}, {38400, LineMode::Even}, {38400, LineMode::Odd},
                                          {57600, LineMode::None}, {57600, LineMode::Even}, {57600, LineMode::Odd},
                                          {4800, LineMode::None},  {4800, LineMode::Even},  {4800, LineMode::Odd},
                                          {2400, LineMode::None},  {2400, LineMode::Even},  {2400, LineMode::Odd}};

// A sensor at 38400 baud, odd parity, address 3: the factory setting first, every mode of the
// sensor's own rates in turn, every address of each, until it answers.
TEST_F(CliFind, LikeliestSettingsFirstUntilTheSensorAnswers)
{
    auto& s = bus.AddSensor(3);
    s.SetBaudIndex(2);
    s.SetMode(LineMode::Odd);
    const TResultat r = Cli("find", {"--to", "5"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "sensor found: --port " + bus.DevicePath() + " --baud 38400 --parity odd --id 3\n");
    const auto series = Series();
    ASSERT_EQ(series.size(), 9u);
    for (std::size_t i = 0; i < series.size(); ++i) {
        EXPECT_EQ(series[i].reglage, kOrdre[i]) << i;
        // It stops at the sensor.
        EXPECT_EQ(series[i].adresses, i < 8 ? (std::vector<int>{1, 2, 3, 4, 5}) : (std::vector<int>{1, 2, 3}));
    }
    // What find prints reaches the sensor.
    const TResultat info = Cli("info", {"--baud", "38400", "--parity", "odd", "--id", "3"});
    EXPECT_EQ(info.statut, 0) << info.erreurs;
}

// The sensor at each of its rates, each with its own line mode: found at it, and reached with
// what find prints.
TEST_F(CliFind, SensorAtEachOfItsRates)
{
    const struct {
        std::uint8_t index;
        LineMode mode;
        const char* texte;
    } cas[] = {{0, LineMode::Odd, "--baud 9600 --parity odd"},
               {1, LineMode::Even, "--baud 19200 --parity even"},
               {2, LineMode::None, "--baud 38400 --parity none"}};
    auto& s = bus.AddSensor(2);
    for (const auto& c : cas) {
        s.SetBaudIndex(c.index);
        s.SetMode(c.mode);
        const TResultat r = Cli("find", {"--to", "2"});
        ASSERT_EQ(r.statut, 0) << r.erreurs;
        EXPECT_EQ(r.sortie, "sensor found: --port " + bus.DevicePath() + " " + c.texte + " --id 2\n");
    }
}

// Nobody on the line: all eighteen settings, each with every address, then exit status 1.
TEST_F(CliFind, NobodyMeansEverySettingTried)
{
    const TResultat r = Cli("find", {"--from", "7", "--to", "8", "--json"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(Json(r),
              (TJson{{"command", "find"}, {"found", TJson::array()}, {"settings_tried", 18}, {"interrupted", false}}));
    EXPECT_NE(r.erreurs.find("no sensor answered at any baud rate, line mode and address"), std::string::npos);
    const auto series = Series();
    ASSERT_EQ(series.size(), kOrdre.size());
    for (std::size_t i = 0; i < series.size(); ++i) {
        EXPECT_EQ(series[i].reglage, kOrdre[i]) << i;
        EXPECT_EQ(series[i].adresses, (std::vector<int>{7, 8}));
    }
}

// --all goes on after the first sensor: two sensors at their own settings.
TEST_F(CliFind, AllFindsEverySensor)
{
    auto& a = bus.AddSensor(2);
    a.SetBaudIndex(0);
    a.SetMode(LineMode::Even);
    bus.AddSensor(1);  // factory settings
    const TResultat r = Cli("find", {"--to", "2", "--all", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    const TJson j = Json(r);
    EXPECT_EQ(j["settings_tried"], 18);
    EXPECT_EQ(j["found"], (TJson{{{"port", bus.DevicePath()}, {"baud", 19200}, {"parity", "none"}, {"id", 1}},
                                 {{"port", bus.DevicePath()}, {"baud", 9600}, {"parity", "even"}, {"id", 2}}}));
}

TEST_F(CliFind, ProgressOnATerminal)
{
    bus.AddSensor(2);
    TLancement l;
    l.arguments = {"find", "--port", bus.DevicePath(), "--to", "3"};
    l.erreursSurTerminal = true;
    const TResultat r = TProgrammeCli::Lance(l);
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_NE(r.erreurs.find("find: 0 %, 19200 baud, parity none, address 1, 0 found"), std::string::npos) << r.erreurs;
    EXPECT_NE(r.erreurs.find("address 2, 1 found"), std::string::npos) << r.erreurs;
    // Off a terminal: nothing but the result.
    const TResultat sansTerminal = Cli("find", {"--to", "3"});
    EXPECT_EQ(sansTerminal.erreurs, "");
}

}  // namespace
