// The network line against stand-in servers: the bytes on the wire, the Telnet negotiation, the
// first-byte allowance, and each fault with its result, none of them hanging.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>

#include "GatewayClient.h"
#include "LigneReseau.h"
#include "Ser2net.h"
#include "StandInServer.h"
#include "UniteKorvane.h"
#include "UtilKorvane.h"
#include "UtilSerial.h"

using namespace gatewaytest;
using Clock = std::chrono::steady_clock;

namespace {

const TByteString kReadRequest = {0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0B};

TByteString Hex(const std::string& text)
{
    return HexTextToBytes(text);
}

TResultCode ReadSix(TConnexion& c, std::string* value = nullptr)
{
    std::uint8_t count = 0;
    std::array<std::uint8_t, kTailleZone> data{};
    const TResultCode code = c.ReadRegisters(modbus::kReadHolding, 6, 1, count, data);
    if (value != nullptr)
        *value = BytesToHexText(TByteString(data.begin(), data.begin() + count));
    return code;
}

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Holds(const TByteString& b, const TByteString& part)
{
    return std::search(b.begin(), b.end(), part.begin(), part.end()) != b.end();
}

// An RFC 2217 server's side of the open: takes the option, acknowledges the baud rate and answers
// the two queries of it; what the client sent comes back.
TByteString PlayRfc2217Open(int fd)
{
    TStandIn::Send(fd, Hex("FFFB01FFFD2C"));
    TByteString got = TStandIn::ReceiveUntil(fd, [](const TByteString& b) { return Holds(b, Hex("FFFA2C0501FFF0")); });
    for (int i = 0; i < 2; ++i) {
        TStandIn::Send(fd, Hex("FFFA2C6500004B00FFF0"));
        const TByteString query = TStandIn::ReceiveUntil(fd, [](const TByteString& b) { return b.size() >= 10; });
        got.insert(got.end(), query.begin(), query.end());
    }
    TStandIn::Send(fd, Hex("FFFA2C6500004B00FFF0"));
    return got;
}

TEST(GatewayFaults, NamesThatCannotBeOpened)
{
    const std::uint16_t closed = FreePort();
    for (const std::string& name :
         {std::string("tcp://127.0.0.1"), std::string("rfc2217://127.0.0.1:0"), std::string("tcp://127.0.0.1:99999"),
          std::string("tcp://127.0.0.1:502?latency=x"), std::string("tcp://no-such-host.invalid:502"),
          "tcp://127.0.0.1:" + std::to_string(closed), "rfc2217://127.0.0.1:" + std::to_string(closed)}) {
        auto c = Through(name);
        const auto start = Clock::now();
        EXPECT_EQ(c->Connect(), kStatusNoPort) << name;
        EXPECT_EQ(ReadSix(*c), kResIoError) << name;
        EXPECT_LT(MsSince(start), 2000.0) << name;
    }
}

TEST(GatewayWire, RawBytesBothWays)
{
    TStandIn server;
    TByteString request;
    server.Run([&](TStandIn& s) {
        const int fd = s.Accept();
        request = TStandIn::Receive(fd, kReadRequest.size());
        TStandIn::Send(fd, AppendCrc(Hex("010302FF01")));
        TStandIn::Receive(fd, 1, 3000);  // until the client lets go
        ::close(fd);
    });
    auto c = Through(server.Url("tcp"));
    ASSERT_EQ(c->Connect(), kStatusOk);
    std::string value;
    EXPECT_EQ(ReadSix(*c, &value), kResOk);
    EXPECT_EQ(value, "FF01");
    c->Disconnect();
    server.Join();
    EXPECT_EQ(BytesToHexText(request), BytesToHexText(kReadRequest));  // no settings, no doubling
}

TEST(GatewayWire, Rfc2217SettingsPurgeAndDoubledFF)
{
    TStandIn server;
    TByteString open, request;
    server.Run([&](TStandIn& s) {
        const int fd = s.Accept();
        open = PlayRfc2217Open(fd);
        // Purge, then the write of 0xFFFF to holding register 7 with every 0xFF doubled.
        const TByteString frame = AppendCrc(Hex("01060007FFFF"));
        TByteString doubled;
        TTelnetComPort::AppendData(frame.data(), frame.size(), doubled);
        request = TStandIn::Receive(fd, 7 + doubled.size());
        TStandIn::Send(fd, doubled);  // the sensor's echo of the write, doubled again by the server
        TStandIn::Receive(fd, 1, 3000);
        ::close(fd);
    });
    auto c = Through(server.Url("rfc2217"));
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 7, 0xFF, 0xFF), kResOk);
    c->Disconnect();
    server.Join();
    // Offers, the server's echo declined, then the line settings: 19200 8N1, no flow control, and
    // two queries of the baud rate that time the round trip.
    EXPECT_EQ(BytesToHexText(open),
              "FFFB2CFFFB00FFFB03FFFD00FFFD03FFFE01"
              "FFFA2C0100004B00FFF0FFFA2C0208FFF0FFFA2C0301FFF0FFFA2C0401FFF0FFFA2C0501FFF0"
              "FFFA2C0100000000FFF0FFFA2C0100000000FFF0");
    TByteString expected = Hex("FFFA2C0C03FFF0");
    TTelnetComPort::AppendData(AppendCrc(Hex("01060007FFFF")).data(), 8, expected);
    EXPECT_EQ(BytesToHexText(request), BytesToHexText(expected));
}

TEST(GatewayFaults, ServerRefusingTheComPortOption)
{
    TStandIn server;
    server.Run([](TStandIn& s) {
        const int fd = s.Accept();
        TStandIn::Receive(fd, 3);
        TStandIn::Send(fd, Hex("FFFE2C"));
        TStandIn::Receive(fd, 1000, 3000);  // until the client lets go
        ::close(fd);
    });
    auto c = Through(server.Url("rfc2217"));
    const auto start = Clock::now();
    EXPECT_EQ(c->Connect(), kStatusNoPort);
    EXPECT_LT(MsSince(start), 1000.0);
}

TEST(GatewayFaults, ServerThatNeverAcknowledgesTheSettings)
{
    TStandIn server;
    server.Run([](TStandIn& s) {
        const int fd = s.Accept();
        TStandIn::Send(fd, Hex("FFFD2C"));
        TStandIn::Receive(fd, 10000, 4000);
        ::close(fd);
    });
    auto c = Through(server.Url("rfc2217"));
    const auto start = Clock::now();
    EXPECT_EQ(c->Connect(), kStatusNoPort);
    EXPECT_LT(MsSince(start), TNetworkLine::kConnectLimitMs + TComPort::kOpenPauseMs + 500.0);
}

// A server that serves one client and tells any other so before closing, as ser2net does.
TEST(GatewayFaults, BusyServerFailsTheOpen)
{
    TStandIn server;
    server.Run([](TStandIn& s) {
        const int fd = s.Accept();
        TStandIn::Send(fd, {'P', 'o', 'r', 't', ' ', 'i', 'n', ' ', 'u', 's', 'e', '\r', '\n'});
        ::close(fd);
    });
    auto c = Through(server.Url("tcp"));
    EXPECT_EQ(c->Connect(), kStatusNoPort);
    EXPECT_FALSE(c->IsOpen());
}

TEST(GatewayFaults, ConnectionClosedDuringTheAnswerThenANewOne)
{
    TStandIn server;
    server.Run([](TStandIn& s) {
        // First connection: part of the answer, then closed.
        int fd = s.Accept();
        TStandIn::Receive(fd, kReadRequest.size());
        TStandIn::Send(fd, Hex("010302"));
        ::close(fd);
        // Second: closed before any answer.
        fd = s.Accept();
        TStandIn::Receive(fd, kReadRequest.size());
        ::close(fd);
        // Third: a whole answer, and closed at once.
        fd = s.Accept();
        TStandIn::Receive(fd, kReadRequest.size());
        TStandIn::Send(fd, AppendCrc(Hex("0103020101")));
        ::close(fd);
        // Fourth: a whole answer, the connection kept.
        fd = s.Accept();
        TStandIn::Receive(fd, kReadRequest.size());
        TStandIn::Send(fd, AppendCrc(Hex("0103020101")));
        TStandIn::Receive(fd, 1, 3000);
        ::close(fd);
    });
    auto c = Through(server.Url("tcp"));
    ASSERT_EQ(c->Connect(), kStatusOk);
    auto start = Clock::now();
    EXPECT_EQ(ReadSix(*c), kResFrameError);
    EXPECT_LT(MsSince(start), 500.0);
    start = Clock::now();
    EXPECT_EQ(ReadSix(*c), kResNoAnswer);
    EXPECT_LT(MsSince(start), 500.0);
    std::string value;
    EXPECT_EQ(ReadSix(*c, &value), kResOk);  // the answer was whole: it stands
    EXPECT_EQ(value, "0101");
    value.clear();
    EXPECT_EQ(ReadSix(*c, &value), kResOk);
    EXPECT_EQ(value, "0101");
    c->Disconnect();
}

TEST(GatewayFaults, ServerGoneForGoodGivesNoAnswerEachTime)
{
    auto server = std::make_unique<TStandIn>();
    server->Run([](TStandIn& s) {
        const int fd = s.Accept();
        TStandIn::Receive(fd, kReadRequest.size());
        ::close(fd);
    });
    auto c = Through(server->Url("tcp"));
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(ReadSix(*c), kResNoAnswer);
    server.reset();  // nothing listens any more: every reconnection is refused
    const auto start = Clock::now();
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 7, 1, 2), kResNoAnswer);  // five attempts
    EXPECT_LT(MsSince(start), 1000.0);
}

// Half-open: the server takes the request and then says nothing, without closing.
TEST(GatewayFaults, SilentServerIsBoundedByTheTimeouts)
{
    TStandIn server;
    server.Run([](TStandIn& s) {
        const int fd = s.Accept();
        TStandIn::Receive(fd, 1000, 4000);  // keeps reading until the client lets go
        ::close(fd);
    });
    auto c = Through(server.Url("tcp", "?latency=10"));
    ASSERT_EQ(c->Connect(), kStatusOk);
    const auto start = Clock::now();
    EXPECT_EQ(ReadSix(*c), kResNoAnswer);
    const double ms = MsSince(start);
    // The single-byte read time-out (41 ms at 19200) plus 20 + 2 x 10 ms and the request's line time.
    EXPECT_GE(ms, 41.0 + 40.0);
    EXPECT_LT(ms, 41.0 + 40.0 + 5.0 + 100.0);
    c->Disconnect();
}

// The allowance widens only the wait for the first byte: an answer 150 ms late is taken with a
// named round trip of 100 ms (allowance 220 ms), missed without one (allowance 20 ms).
TEST(GatewayTiming, LatencyInTheNameWidensTheFirstByteWait)
{
    for (const int latency : {100, 0}) {
        TStandIn server;
        server.Run([](TStandIn& s) {
            const int fd = s.Accept();
            TStandIn::Receive(fd, kReadRequest.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the late answer under test
            TStandIn::Send(fd, AppendCrc(Hex("0103020101")));
            TStandIn::Receive(fd, 1, 3000);
            ::close(fd);
        });
        auto c = Through(server.Url("tcp", "?latency=" + std::to_string(latency)));
        ASSERT_EQ(c->Connect(), kStatusOk);
        EXPECT_EQ(ReadSix(*c), latency == 100 ? kResOk : kResNoAnswer) << latency;
        c->Disconnect();
    }
}

// A long answer comes in chunks, as a server passes on what its buffer holds (ser2net: 64 bytes),
// each chunk as long after the one before as its bytes took on the line: 40 bytes at 9600 baud,
// 46 ms, more than the silence of 42 ms. The answer is still taken whole.
TEST(GatewayTiming, ALongAnswerInChunksIsTakenWhole)
{
    TByteString answer = {0x01, 0x03, 96};
    for (int i = 0; i < 96; ++i)
        answer.push_back(static_cast<std::uint8_t>(i * 7));
    answer = AppendCrc(answer);
    TStandIn server;
    server.Run([&answer](TStandIn& s) {
        const int fd = s.Accept();
        TStandIn::Receive(fd, 8);
        for (std::size_t at = 0; at < answer.size(); at += 40) {
            if (at > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(40 * 1146));  // the chunk's line time
            TStandIn::Send(fd,
                           TByteString(answer.begin() + static_cast<std::ptrdiff_t>(at),
                                       answer.begin() + static_cast<std::ptrdiff_t>(std::min(at + 40, answer.size()))));
        }
        TStandIn::Receive(fd, 1, 3000);
        ::close(fd);
    });
    auto c = Through(server.Url("tcp"), 2);  // 9600 baud
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(c->Port().SilenceMs(), 42);
    EXPECT_EQ(Read(*c, modbus::kReadHolding, 0, 48), BytesToHexText(TByteString(answer.begin() + 3, answer.end() - 2)));
    c->Disconnect();
}

TEST(GatewayTiming, RoundTripMeasuredAtOpenOrNamed)
{
    TStandIn server;
    server.Run([](TStandIn& s) {
        for (int i = 0; i < 2; ++i) {
            const int fd = s.Accept();
            PlayRfc2217Open(fd);
            TStandIn::Receive(fd, 1000, 3000);
            ::close(fd);
        }
    });
    TNetworkLine line;
    ASSERT_TRUE(line.Open(server.Url("rfc2217"), {19200, 0, 0}));
    EXPECT_GE(line.RoundTripMs(), kMinRoundTripMs);
    EXPECT_LT(line.RoundTripMs(), 100);  // over the loopback
    line.Close();
    ASSERT_TRUE(line.Open(server.Url("rfc2217", "?latency=250"), {19200, 0, 0}));
    EXPECT_EQ(line.RoundTripMs(), 250);
    line.Close();
}

}  // namespace
