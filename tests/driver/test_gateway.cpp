// The driver through a real serial server: ser2net on 127.0.0.1 in front of vantor-sim, whose
// sensors hear only frames at their own baud rate (--strict-baud), in both accepter modes
// (Telnet with RFC 2217, and raw TCP).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>

#include "DosDeviceLink.h"
#include "GatewayClient.h"
#include "LigneReseau.h"
#include "Ser2net.h"
#include "UniteKorvane.h"
#include "korvane.h"

using namespace gatewaytest;

namespace {

class GatewayTest : public ::testing::TestWithParam<TMode> {
protected:
    TSimBus sim_{{"--strict-baud"}};
    TSer2net server_{sim_.Device(), GetParam()};
};

TEST_P(GatewayTest, ReadsAndWritesWithBytesFF)
{
    auto c = Through(server_.Url());
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 6, 1), "0101");  // 19200 baud, address 1
    // Register values made of 0xFF bytes, in requests and in answers.
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 7, 0xFF, 0xFF), kResOk);
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 7, 1), "FFFF");
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSystem, 64, 0xFF, 0x00), kResOk);
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSystem, 65, 0x00, 0xFF), kResOk);
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSystem, 66, 0xFF, 0xFF), kResOk);
    EXPECT_EQ(Read(*c, modbus::kReadSystem, 64, 3), "FF0000FFFFFF");
    // An exception answer passes through as well.
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 60, 1), "result " + std::to_string(kResExcAddress));
    // Without the port held open each transaction connects and lets go by itself.
    c->Disconnect();
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 7, 1), "FFFF");
}

TEST_P(GatewayTest, ASecondClientIsRefusedWhileTheFirstHoldsTheLine)
{
    auto first = Through(server_.Url());
    ASSERT_EQ(first->Connect(), kStatusOk);
    auto second = Through(server_.Url());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(second->Connect(), kStatusNoPort);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(Read(*second, modbus::kReadHolding, 6, 1), "result " + std::to_string(kResIoError));
    EXPECT_EQ(Read(*first, modbus::kReadHolding, 6, 1), "0101");
    first->Disconnect();
    EXPECT_EQ(second->Connect(), kStatusOk);
    EXPECT_EQ(Read(*second, modbus::kReadHolding, 6, 1), "0101");
}

// The window's own COM3, made to stand for the server by its link, through the library's
// exports as the window calls them: a live acceleration read.
TEST_P(GatewayTest, ComPortLinkedToTheServer)
{
    const TDosDeviceLink com3(3, server_.Url());
    ASSERT_EQ(MODBUS_SetupConnect(2, kNoParity, kBaud19200, 1), KORVANE_OK);
    ASSERT_EQ(MODBUS_OpenPort(), KORVANE_OK);
    for (int i = 0; i < 3; ++i) {
        std::uint8_t count = 0;
        std::array<std::uint8_t, KORVANE_DATA_AREA_SIZE> data{};
        ASSERT_EQ(MODBUS_ReadInputRegisters(0, 2, &count, data.data()), KORVANE_OK);
        ASSERT_EQ(count, 4);
        const std::uint32_t bits = static_cast<std::uint32_t>(data[0]) << 24 | static_cast<std::uint32_t>(data[1]) << 16
                                   | static_cast<std::uint32_t>(data[2]) << 8 | data[3];
        float g = 0;
        std::memcpy(&g, &bits, sizeof g);
        EXPECT_TRUE(std::isfinite(g) && std::fabs(g) < 20.0f) << g;
    }
    EXPECT_EQ(MODBUS_ClosePort(), KORVANE_OK);
}

// One transaction through the server against the same one on the simulator's own device: the
// answer still ends at the line's silence, so the server adds only what it holds bytes back and
// the round trip. The figures are printed.
TEST_P(GatewayTest, TransactionTimeAgainstTheSerialFloor)
{
    auto median = [](TConnexion& c) {
        std::vector<double> times;
        for (int i = 0; i < 15; ++i) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(Read(c, modbus::kReadHolding, 6, 1), "0101");
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    auto direct = Through(sim_.Device());
    ASSERT_EQ(direct->Connect(), kStatusOk);
    const double serial = median(*direct);
    const TComPort& port = direct->Port();
    // On a real line: request 8 bytes and answer 7 bytes at 19200 baud, then the silence.
    const double lineFloor =
        static_cast<double>(port.LineTimeMicros(8) + port.LineTimeMicros(7)) / 1000.0 + port.SilenceMs();
    direct->Disconnect();

    TNetworkLine probe;
    ASSERT_TRUE(probe.Open(server_.Url(), {19200, 0, 0}));
    const int roundTrip = probe.RoundTripMs();
    probe.Close();

    auto c = Through(server_.Url());
    ASSERT_EQ(c->Connect(), kStatusOk);
    const double gateway = median(*c);
    std::printf("line floor %.1f ms; median on the device %.1f ms, through the server %.1f ms; round trip %d ms\n",
                lineFloor, serial, gateway, roundTrip);
    RecordProperty("device_median_ms", std::to_string(serial));
    RecordProperty("gateway_median_ms", std::to_string(gateway));
    EXPECT_GE(gateway, port.SilenceMs());
    // The server holds received bytes up to 20 ms; 20 ms more for a loaded machine.
    EXPECT_LE(gateway, serial + kServerHoldMs + 2 * roundTrip + 20.0);
}

INSTANTIATE_TEST_SUITE_P(Modes, GatewayTest, ::testing::Values(TMode::Rfc2217, TMode::Raw),
                         [](const auto& mode) { return mode.param == TMode::Rfc2217 ? "Rfc2217" : "RawTcp"; });

// A line that never falls silent is given up as on a serial port: within the time the longest
// answer takes on the line plus the silence, after the first byte.
TEST(GatewayBabble, ALineThatNeverFallsSilentIsGivenUp)
{
    TSimBus sim({"--babble"});
    for (const TMode mode : {TMode::Rfc2217, TMode::Raw}) {
        TSer2net server(sim.Device(), mode);
        auto c = Through(server.Url());
        ASSERT_EQ(c->Connect(), kStatusOk);
        const TComPort& port = c->Port();
        const double windowMs = static_cast<double>(port.LineTimeMicros(TConnexion::kMaxAnswer)) / 1000.0
                                + port.SilenceMs() + AnswerAllowanceMs(kMinRoundTripMs);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Read(*c, modbus::kReadHolding, 6, 1), "result " + std::to_string(kResFrameError));
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(ms, windowMs + 300.0) << "window " << windowMs;  // 300 ms for a loaded machine
        c->Disconnect();
    }
}

// The sensor moves to 38400 baud: on RFC 2217 the driver sets the server's line to follow it.
TEST(GatewayRfc2217, BaudRateChangeFollowsTheSensor)
{
    TSimBus sim({"--strict-baud"});
    TSer2net server(sim.Device(), TMode::Rfc2217);
    auto c = Through(server.Url());
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 6, 2, 1), kResOk);  // answered at the old rate
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 6, 1), "result " + std::to_string(kResNoAnswer));
    c->Disconnect();
    c->SetBaudCode(4);  // 38400
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 6, 1), "0201");
    // And back, for the record: the server's line follows every open.
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 6, 1, 1), kResOk);
    c->Disconnect();
    c->SetBaudCode(kBaud19200);
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 6, 1), "0101");
}

// Raw TCP leaves the line to the server: whatever rate the driver is set to, the server's own
// 19200 baud carries the frames.
TEST(GatewayRawTcp, TheServerOwnsTheLineSettings)
{
    TSimBus sim({"--strict-baud"});
    TSer2net server(sim.Device(), TMode::Raw);
    auto c = Through(server.Url(), 2);  // 9600 asked for
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 6, 1), "0101");
}

// The command-line tool through the server, by the server's name.
std::string RunCli(const std::string& arguments, int& status)
{
    std::string output;
    std::FILE* pipe = ::popen((std::string(VANTOR_CLI_PROGRAM) + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    const int raw = ::pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

TEST(GatewayCli, InfoAndScanByTheServersName)
{
    TSimBus sim({"--strict-baud", "--id", "1", "--id", "5", "--serial", "ZX987654"});
    TSer2net server(sim.Device(), TMode::Rfc2217);
    int status = -1;
    std::string out = RunCli("info --port " + server.Url() + " --id 5", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("ZX987654"), std::string::npos) << out;
    // A named round trip of 50 ms widens each address's wait, for a loaded machine.
    out = RunCli("scan --port " + server.Url() + "?latency=50 --from 1 --to 6 --json", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("[1,5]"), std::string::npos) << out;
    out = RunCli("read --port tcp://127.0.0.1:" + std::to_string(FreePort()) + " --id 1", status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("I/O error."), std::string::npos) << out;
}

}  // namespace
