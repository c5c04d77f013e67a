// Serial server names, the COMn links that stand for them, and the Telnet com-port side on its
// own: the bytes that go out and what comes of the bytes that come in.
#include <gtest/gtest.h>

#include "DeviceNames.h"
#include "ExecutableDir.h"
#include "DosDeviceLink.h"
#include "GatewayName.h"
#include "TelnetComPort.h"
#include "UtilSerial.h"

namespace {

TByteString Bytes(const std::string& hex)
{
    std::string digits;
    for (const char c : hex)
        if (c != ' ')
            digits += c;
    return HexTextToBytes(digits);
}

std::string Hex(const TByteString& octets)
{
    return BytesToHexText(octets);
}

TEST(GatewayNames, TheirParts)
{
    const auto raw = ParseGatewayName("tcp://gw-3.plant.example:4001");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->kind, TGatewayKind::Raw);
    EXPECT_EQ(raw->host, "gw-3.plant.example");
    EXPECT_EQ(raw->port, 4001);
    EXPECT_EQ(raw->latencyMs, -1);

    const auto telnet = ParseGatewayName("RFC2217://[fe80::1]:65535?latency=250");
    ASSERT_TRUE(telnet);
    EXPECT_EQ(telnet->kind, TGatewayKind::Rfc2217);
    EXPECT_EQ(telnet->host, "fe80::1");
    EXPECT_EQ(telnet->port, 65535);
    EXPECT_EQ(telnet->latencyMs, 250);
    EXPECT_EQ(ParseGatewayName("tcp://10.0.0.7:502?latency=0")->latencyMs, 0);
}

TEST(GatewayNames, MalformedOnesAreRefused)
{
    for (const char* name : {"tcp://",
                             "tcp://host",
                             "tcp://host:",
                             "tcp://:502",
                             "tcp://host:0",
                             "tcp://host:65536",
                             "tcp://host:5o2",
                             "tcp://host:502/",
                             "tcp://ho st:502",
                             "tcp://user@host:502",
                             "tcp://host:502?latency=",
                             "tcp://host:502?latency=10001",
                             "tcp://host:502?latency=-1",
                             "tcp://host:502?timeout=5",
                             "tcp://[::1:502",
                             "tcp://[zz::1]:502",
                             "tcp://a:b:502",
                             "udp://host:502",
                             "rfc2217:/host:502",
                             "/dev/ttyUSB0",
                             "\\\\.\\COM1"})
        EXPECT_FALSE(ParseGatewayName(name)) << name;
    EXPECT_TRUE(IsGatewayName("Tcp://host"));  // meant as one, though malformed: the open fails
    EXPECT_FALSE(IsGatewayName("/dev/tcp://x"));
}

TEST(GatewayNames, ComLinkHoldingAServerName)
{
    const TDosDeviceLink server(37, "rfc2217://gw:4001");
    EXPECT_EQ(GatewayTarget("\\\\.\\COM37", ExecutableDir()), "rfc2217://gw:4001");
    const TDosDeviceLink device(38, "/dev/null");
    EXPECT_EQ(GatewayTarget("\\\\.\\COM38", ExecutableDir()), "");
    EXPECT_EQ(GatewayTarget("tcp://h:1", ExecutableDir()), "tcp://h:1");
    EXPECT_EQ(GatewayTarget("/dev/ttyS0", ExecutableDir()), "");
}

TEST(TelnetComPort, LineSettingsOnTheWire)
{
    // 19200 baud, 8 bits, no parity, one stop bit, no flow control.
    EXPECT_EQ(Hex(TTelnetComPort::LineSettings({19200, 0, 0})),
              Hex(Bytes("FFFA2C0100004B00FFF0 FFFA2C0208FFF0 FFFA2C0301FFF0 FFFA2C0401FFF0 FFFA2C0501FFF0")));
    // Even parity and two stop bits; odd parity.
    EXPECT_EQ(Hex(TTelnetComPort::LineSettings({9600, 2, 1})),
              Hex(Bytes("FFFA2C0100002580FFF0 FFFA2C0208FFF0 FFFA2C0303FFF0 FFFA2C0402FFF0 FFFA2C0501FFF0")));
    EXPECT_NE(Hex(TTelnetComPort::LineSettings({2400, 1, 0})).find("FFFA2C0302FFF0"), std::string::npos);
    // A value byte of 0xFF is doubled inside the subnegotiation too.
    EXPECT_EQ(Hex(TTelnetComPort::LineSettings({0x0001FF00, 0, 0})).substr(0, 24), "FFFA2C010001FFFF00FFF0FF");
    EXPECT_EQ(Hex(TTelnetComPort::PurgeBoth()), "FFFA2C0C03FFF0");
    EXPECT_EQ(Hex(TTelnetComPort::BaudQuery()), "FFFA2C0100000000FFF0");
}

TEST(TelnetComPort, DataBytesFFAreDoubledAndUndoubled)
{
    TByteString out;
    const TByteString frame = Bytes("01 06 00 07 FF FF 39 FF");
    TTelnetComPort::AppendData(frame.data(), frame.size(), out);
    EXPECT_EQ(Hex(out), "01060007FFFFFFFF39FFFF");

    // Back through the receiving side, cut at every place: the same frame comes out.
    for (std::size_t cut = 0; cut <= out.size(); ++cut) {
        TTelnetComPort t;
        TByteString data, replies;
        t.Feed(out.data(), cut, data, replies);
        t.Feed(out.data() + cut, out.size() - cut, data, replies);
        EXPECT_EQ(Hex(data), Hex(frame)) << "cut at " << cut;
        EXPECT_TRUE(replies.empty());
    }
}

TEST(TelnetComPort, CommandsInTheDataStreamAreTakenOut)
{
    TTelnetComPort t;
    (void)t.Greeting();
    TByteString data, replies;
    // Data, a NOP, a notification of the modem state, a data byte 0xFF, a baud acknowledgement
    // holding 0xFF, data.
    const TByteString in = Bytes("01 03 FFF1 02 FFFA2C6B30FFF0 FFFF FFFA2C650001FFFF00FFF0 0A");
    t.Feed(in.data(), in.size(), data, replies);
    EXPECT_EQ(Hex(data), "010302FF0A");
    ASSERT_TRUE(t.BaudAcknowledged());
    EXPECT_EQ(*t.BaudAcknowledged(), 0x0001FF00u);
    EXPECT_TRUE(replies.empty());
}

TEST(TelnetComPort, NegotiationWithASerialServer)
{
    TTelnetComPort t;
    EXPECT_EQ(Hex(t.Greeting()), "FFFB2CFFFB00FFFB03FFFD00FFFD03");
    EXPECT_FALSE(t.ComPortAccepted());
    // What ser2net sends at a new connection: WILL and DO go-ahead suppression, WILL echo, DONT
    // echo, DO and WILL binary, DO com-port. Only the server's echo is declined.
    const TByteString greeting = Bytes("FFFB03 FFFD03 FFFB01 FFFE01 FFFD00 FFFB00 FFFD2C");
    TByteString data, replies;
    t.Feed(greeting.data(), greeting.size(), data, replies);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(Hex(replies), "FFFE01");
    EXPECT_TRUE(t.ComPortAccepted());
    // The same again (a server that repeats itself) is no change: no answer, so no loop.
    replies.clear();
    t.Feed(greeting.data(), greeting.size(), data, replies);
    EXPECT_EQ(Hex(replies), "FFFE01");  // its echo offer is declined again, nothing else
    // An option nobody asked for is refused; a server that turns binary off is confirmed.
    replies.clear();
    const TByteString more = Bytes("FFFD18 FFFC00");
    t.Feed(more.data(), more.size(), data, replies);
    EXPECT_EQ(Hex(replies), "FFFC18FFFE00");
}

TEST(TelnetComPort, RefusedComPortOption)
{
    TTelnetComPort t;
    (void)t.Greeting();
    const TByteString no = Bytes("FFFE2C");
    TByteString data, replies;
    t.Feed(no.data(), no.size(), data, replies);
    EXPECT_TRUE(t.ComPortRefused());
    EXPECT_FALSE(t.ComPortAccepted());
    EXPECT_TRUE(replies.empty());  // the answer to our own offer is not answered
}

}  // namespace
