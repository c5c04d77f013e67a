// korvane.dll as a Windows program uses it (imports bound at load time), on "\\.\COM5" of the
// Wine prefix, whose peer on the Linux side plays the slave. Each test runs in a process of its
// own, so each starts with the library fresh (no connection yet) and with fresh terminals.
//
// A pseudo-terminal cannot keep parity: it drops PARENB. Wine sets the line with tcsetattr,
// which then fails (EINVAL) whenever the wanted settings differ from the terminal's only in
// parity, that is, at every reopening with parity. Parity settings are therefore tested on
// the first opening of a terminal; the tests that open a port repeatedly use line mode 2 (no
// parity, one stop bit), which a terminal keeps.
//
// Whether the library holds a port open is seen from its timing: a request on a closed port
// opens it first, which costs the 200 ms pause. (Wine keeps the terminal's descriptor in the
// process after CloseHandle, so the Linux side cannot tell.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "PeerClient.h"
#include "UtilKorvane.h"
#include "korvane.h"

namespace {

using B = TByteString;
using Clock = std::chrono::steady_clock;

constexpr int kCom = 5;  // port index 4
constexpr int kOther = 6;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

B Frame(std::uint8_t id)
{
    return AppendCrc({id, 0x03, 0x00, 0x06, 0x00, 0x01});
}

B Repeated(const B& frame, int times)
{
    B all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), frame.begin(), frame.end());
    return all;
}

struct WinExports : ::testing::Test {
    TPeerClient peer;

    // True when a read to the silent slave on COM `com` runs without opening the port first.
    bool PortOpen(int com)
    {
        std::uint8_t count = 0;
        TDataArea data{};
        const auto t0 = Clock::now();
        EXPECT_EQ(MODBUS_ReadHoldingRegisters(0, 1, &count, data.data()), KORVANE_NO_ANSWER);
        const double ms = MsSince(t0);
        EXPECT_EQ(peer.Drain(com).size(), 8u) << "the request went elsewhere";
        return ms < 200.0;
    }

    // A read of one holding register at 6, answered with 00 09; the frame the peer saw.
    B ReadOneRegister(int com, std::uint8_t id, TResultCode expected = KORVANE_OK)
    {
        peer.Serve(com, 8, AppendCrc({id, 0x03, 0x02, 0x00, 0x09}));
        std::uint8_t count = 0;
        TDataArea data{};
        EXPECT_EQ(MODBUS_ReadHoldingRegisters(0x0006, 1, &count, data.data()), expected);
        return peer.Join(com);
    }
};

TEST_F(WinExports, FirstCallCreatesTheDefaultConnectionOnCom1)
{
    EXPECT_EQ(MODBUS_ClosePort(), 0);
    EXPECT_EQ(ReadOneRegister(1, 1), (B{0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0B}));
    // 9600 baud, 8 data bits, two stop bits (even parity goes with two).
    const std::string s = peer.Settings(1);
    EXPECT_EQ(s.substr(0, 7), "9600 8 ") << s;
    EXPECT_EQ(s.back(), '2') << s;
    // Closed again: a reopening with even parity is what a terminal refuses (see above).
    EXPECT_EQ(MODBUS_OpenPort(), KORVANE_IO_ERROR);
}

TEST_F(WinExports, PortIndexFourIsCom5AndTheSameIndexLeavesTheNameAlone)
{
    EXPECT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    EXPECT_EQ(ReadOneRegister(kCom, 1), Frame(1));
    EXPECT_FALSE(PortOpen(kCom));
    EXPECT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_TRUE(PortOpen(kCom));
    EXPECT_EQ(MODBUS_SetupConnect(4, -1, -1, -1), 0);  // closes; same name
    EXPECT_FALSE(PortOpen(kCom));
    EXPECT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_TRUE(PortOpen(kCom));
    EXPECT_EQ(MODBUS_ClosePort(), 0);
    EXPECT_FALSE(PortOpen(kCom));
}

TEST_F(WinExports, ChangingOnlyTheSlaveKeepsAnOpenPortOpen)
{
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, -1, 5), 0);
    EXPECT_TRUE(PortOpen(kCom));
    EXPECT_EQ(ReadOneRegister(kCom, 5), Frame(5));
    EXPECT_TRUE(PortOpen(kCom));
    EXPECT_EQ(OpenPort(), 0);
    EXPECT_EQ(ClosePort(), 0);
    EXPECT_FALSE(PortOpen(kCom));
}

TEST_F(WinExports, LineModeAndBaudReachTheLine)
{
    // Odd parity with two stop bits at 2400 baud, on the first opening of COM6.
    ASSERT_EQ(MODBUS_SetupConnect(5, 1, 0, -1), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    std::string s = peer.Settings(kOther);
    EXPECT_EQ(s.substr(0, 7), "2400 8 ") << s;
    EXPECT_EQ(s.back(), '2') << s;
    ASSERT_EQ(MODBUS_ClosePort(), 0);

    ASSERT_EQ(MODBUS_SetupConnect(4, 2, 5, -1), 0);  // no parity, one stop bit, 57600
    EXPECT_EQ(ReadOneRegister(kCom, 1), Frame(1));
    EXPECT_EQ(peer.Settings(kCom), "57600 8 N 1");
    const int bauds[] = {2400, 4800, 9600, 19200, 38400, 57600};
    for (int code = 0; code <= 5; ++code) {
        SCOPED_TRACE(code);
        ASSERT_EQ(MODBUS_SetupConnect(-1, -1, code, -1), 0);
        ASSERT_EQ(MODBUS_OpenPort(), 0);
        EXPECT_EQ(peer.Settings(kCom), std::to_string(bauds[code]) + " 8 N 1");
    }
    // A refused line mode: the identifier is taken, the port closed, baud and name unchanged.
    EXPECT_EQ(MODBUS_SetupConnect(0, 3, 0, 7), KORVANE_BAD_LINE_MODE);
    EXPECT_FALSE(PortOpen(kCom));
    EXPECT_EQ(ReadOneRegister(kCom, 7), Frame(7));
    EXPECT_EQ(peer.Settings(kCom), "57600 8 N 1");
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, 6, -1), KORVANE_BAD_BAUD);
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, -1, 128), KORVANE_BAD_ID);
    EXPECT_EQ(MODBUS_SetupConnect(-2, -1, -1, -1), KORVANE_BAD_PORT);
}

TEST_F(WinExports, RegisterRequestsOnTheWire)
{
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    std::uint8_t count = 0xEE;
    TDataArea data{};
    data.fill(0xEE);
    peer.Serve(kCom, 8, AppendCrc({0x01, 0x03, 0x04, 0x41, 0xA0, 0x00, 0x00}));
    EXPECT_EQ(MODBUS_ReadHoldingRegisters(0x0102, 2, &count, data.data()), 0);
    EXPECT_EQ(peer.Join(kCom), AppendCrc({0x01, 0x03, 0x01, 0x02, 0x00, 0x02}));
    EXPECT_EQ(count, 4);
    TDataArea expected{};
    expected[0] = 0x41;
    expected[1] = 0xA0;
    EXPECT_EQ(data, expected);

    peer.Serve(kCom, 8, AppendCrc({0x01, 0x04, 0x02, 0xAB, 0xCD}));
    EXPECT_EQ(MODBUS_ReadInputRegisters(0xFFFF, 1, &count, data.data()), 0);
    EXPECT_EQ(peer.Join(kCom), AppendCrc({0x01, 0x04, 0xFF, 0xFF, 0x00, 0x01}));
    EXPECT_EQ(data[0], 0xAB);
    EXPECT_EQ(data[1], 0xCD);

    peer.Serve(kCom, 8, AppendCrc({0x01, 0x41, 0x02, 0x01, 0x02}));
    EXPECT_EQ(MODBUS_ReadSystemRegisters(0x0004, 1, &count, data.data()), 0);
    EXPECT_EQ(peer.Join(kCom), AppendCrc({0x01, 0x41, 0x00, 0x04, 0x00, 0x01}));

    peer.Serve(kCom, 8, AppendCrc({0x01, 0x06, 0x00, 0x10, 0x00, 0x2A}));
    EXPECT_EQ(MODBUS_WriteSingleRegister(0x0010, 0x00, 0x2A), 0);
    EXPECT_EQ(peer.Join(kCom), AppendCrc({0x01, 0x06, 0x00, 0x10, 0x00, 0x2A}));

    peer.Serve(kCom, 8, AppendCrc({0x01, 0x42, 0x00, 0x05, 0x12, 0x34}));
    EXPECT_EQ(MODBUS_WriteSystemRegister(0x0005, 0x12, 0x34), 0);
    EXPECT_EQ(peer.Join(kCom), AppendCrc({0x01, 0x42, 0x00, 0x05, 0x12, 0x34}));

    peer.Serve(kCom, 4, AppendCrc({0x01, 0x46}));
    EXPECT_EQ(MODBUS_ResetModule(), 0);
    EXPECT_EQ(peer.Join(kCom), (B{0x01, 0x46, 0x81, 0xD2}));
    MODBUS_ClosePort();
}

TEST_F(WinExports, EveryStatusOfATransaction)
{
    std::uint8_t count = 0;
    TDataArea data{};
    // The port cannot be opened.
    ASSERT_EQ(MODBUS_SetupDevice("\\\\.\\COM77"), 0);
    EXPECT_EQ(MODBUS_OpenPort(), KORVANE_IO_ERROR);
    EXPECT_EQ(MODBUS_ReadHoldingRegisters(0, 1, &count, data.data()), KORVANE_IO_ERROR);

    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    const struct {
        B answer;
        TResultCode code;
    } cases[] = {
        {AppendCrc({0x02, 0x03, 0x02, 0x00, 0x01}), KORVANE_FRAME_ERROR},  // another slave
        {{}, KORVANE_NO_ANSWER},
        {{0x01, 0x03, 0x02, 0x00, 0x01, 0x00, 0x00}, KORVANE_CRC_ERROR},
        {{0x01, 0x03}, KORVANE_CRC_ERROR},  // too short for a CRC
        {AppendCrc({0x01, 0x83, 0x01}), KORVANE_EXC_FUNCTION},
        {AppendCrc({0x01, 0x83, 0x02}), KORVANE_EXC_ADDRESS},
        {AppendCrc({0x01, 0x83, 0x03}), KORVANE_EXC_VALUE},
        {AppendCrc({0x01, 0x83, 0x04}), KORVANE_EXC_DEVICE},
        {AppendCrc({0x01, 0x83, 0x07}), KORVANE_EXC_DEVICE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.empty() ? std::string("silence") : BytesToHexText(c.answer));
        peer.Serve(kCom, 8, c.answer);
        EXPECT_EQ(MODBUS_ReadHoldingRegisters(0x0006, 1, &count, data.data()), c.code);
        EXPECT_EQ(peer.Join(kCom), Frame(1));
    }
    peer.Serve(kCom, 4, AppendCrc({0x01, 0xC6, 0x03}));
    EXPECT_EQ(MODBUS_ResetModule(), KORVANE_EXC_VALUE);
    peer.Join(kCom);
    MODBUS_ClosePort();
}

TEST_F(WinExports, WritesToASilentSlaveAreSentFiveTimesReadsOnce)
{
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_WriteSingleRegister(0x0001, 0x00, 0x07), KORVANE_NO_ANSWER);
    EXPECT_EQ(peer.Drain(kCom), Repeated(AppendCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x07}), 5));
    EXPECT_EQ(MODBUS_WriteSystemRegister(0x0002, 0x01, 0x02), KORVANE_NO_ANSWER);
    EXPECT_EQ(peer.Drain(kCom), Repeated(AppendCrc({0x01, 0x42, 0x00, 0x02, 0x01, 0x02}), 5));
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(MODBUS_ReadSystemRegisters(0x0001, 3, &count, data.data()), KORVANE_NO_ANSWER);
    EXPECT_EQ(peer.Drain(kCom), AppendCrc({0x01, 0x41, 0x00, 0x01, 0x00, 0x03}));
    // An exception is a valid answer: no second attempt.
    peer.Serve(kCom, 8, AppendCrc({0x01, 0x86, 0x02}));
    EXPECT_EQ(MODBUS_WriteSingleRegister(0x0001, 0x00, 0x07), KORVANE_EXC_ADDRESS);
    peer.Join(kCom);
    EXPECT_EQ(peer.Drain(kCom), B{});
    MODBUS_ClosePort();
}

TEST_F(WinExports, BroadcastIsSentOnceWithoutWaitingForAnAnswer)
{
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, 0), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    std::uint8_t count = 0x33;
    TDataArea data{};
    data.fill(0x44);
    EXPECT_EQ(MODBUS_ReadInputRegisters(0, 2, &count, data.data()), KORVANE_BAD_ID);
    EXPECT_EQ(count, 0x33);
    EXPECT_EQ(data[200], 0x44);
    EXPECT_EQ(peer.Drain(kCom), B{});
    const auto t0 = Clock::now();
    EXPECT_EQ(MODBUS_WriteSingleRegister(0x0003, 0x00, 0x02), 0);
    EXPECT_LT(MsSince(t0), 41.0);  // no read time-out waited
    EXPECT_EQ(peer.Receive(kCom, 8, 2000), AppendCrc({0x00, 0x06, 0x00, 0x03, 0x00, 0x02}));
    EXPECT_EQ(peer.Drain(kCom), B{});
    MODBUS_ClosePort();
}

TEST_F(WinExports, EchoingAdapter)
{
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    ASSERT_EQ(MODBUS_SetupAdditional(1, 1, 0), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    std::uint8_t count = 0;
    TDataArea data{};
    peer.ServeEcho(kCom, 8, AppendCrc({0x01, 0x04, 0x02, 0xAB, 0xCD}));
    EXPECT_EQ(MODBUS_ReadInputRegisters(0, 1, &count, data.data()), 0);
    peer.Join(kCom);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(data[0], 0xAB);
    peer.ServeEcho(kCom, 8, {});  // the echo and nothing more
    EXPECT_EQ(MODBUS_ReadInputRegisters(0, 1, &count, data.data()), KORVANE_NO_ANSWER);
    peer.Join(kCom);
    peer.Serve(kCom, 8, {0x01, 0x04, 0x00});  // shorter than the request
    EXPECT_EQ(MODBUS_ReadInputRegisters(0, 1, &count, data.data()), KORVANE_FRAME_ERROR);
    peer.Join(kCom);
    EXPECT_EQ(MODBUS_SetupAdditional(0, 0, 0), 0);
    peer.Serve(kCom, 8, AppendCrc({0x01, 0x04, 0x02, 0x01, 0x02}));
    EXPECT_EQ(MODBUS_ReadInputRegisters(0, 1, &count, data.data()), 0);
    peer.Join(kCom);
    EXPECT_EQ(data[0], 0x01);
    MODBUS_ClosePort();
}

TEST_F(WinExports, RawExchangeAndItsLimits)
{
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    TDataArea data{};
    data.fill(0x42);
    std::uint32_t length = 256;
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), KORVANE_BAD_PARAM);
    EXPECT_EQ(length, 256u);
    EXPECT_EQ(data[0], 0x42);
    EXPECT_EQ(data[255], 0x42);

    length = 255;  // accepted, but the frame is too long to send
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), KORVANE_NO_ANSWER);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(data, TDataArea{});
    EXPECT_EQ(peer.Drain(kCom), B{});

    // 253 bytes of PDU make the largest frame that goes out: 256 bytes.
    B pdu(253, 0x5A);
    std::copy(pdu.begin(), pdu.end(), data.begin());
    length = 253;
    B frame{0x01};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    frame = AppendCrc(frame);
    peer.Serve(kCom, 256, AppendCrc({0x01, 0x5A, 0x00}));
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), 0);
    EXPECT_EQ(peer.Join(kCom), frame);
    EXPECT_EQ(length, 2u);

    data.fill(0x42);
    data[0] = 0x64;
    length = 1;
    peer.Serve(kCom, 4, AppendCrc({0x01, 0x64, 0x00, 0x01}));
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), 0);
    EXPECT_EQ(peer.Join(kCom), AppendCrc({0x01, 0x64}));
    EXPECT_EQ(length, 3u);
    TDataArea expected{};
    expected[0] = 0x64;
    expected[2] = 0x01;
    EXPECT_EQ(data, expected);

    data = {};
    length = 0;
    peer.Serve(kCom, 3, AppendCrc({0x01}));
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), 0);
    EXPECT_EQ(peer.Join(kCom), (B{0x01, 0x7E, 0x80}));
    EXPECT_EQ(length, 0u);
    MODBUS_ClosePort();
}

TEST_F(WinExports, RenamingAnOpenPortReopensItUnderTheNewName)
{
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_SetupDevice(""), 0);
    EXPECT_TRUE(PortOpen(kCom));
    const auto t0 = Clock::now();
    EXPECT_EQ(MODBUS_SetupDevice("\\\\.\\COM6"), 0);
    EXPECT_GE(MsSince(t0), 200.0);  // closed, renamed and reopened with the pause
    EXPECT_TRUE(PortOpen(kOther));
    EXPECT_EQ(ReadOneRegister(kOther, 1), Frame(1));
    EXPECT_EQ(peer.Drain(kCom), B{});
    MODBUS_ClosePort();
    EXPECT_FALSE(PortOpen(kOther));
}

TEST_F(WinExports, AnotherOpenerOfTheOpenPortIsRefused)
{
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    const HANDLE second = ::CreateFileA("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED, nullptr);
    const bool refused = second == INVALID_HANDLE_VALUE;
    if (!refused)
        ::CloseHandle(second);
    MODBUS_ClosePort();
    if (!refused && UnderWine())
        GTEST_SKIP() << "Wine does not enforce the exclusive open of a serial device (a second CreateFileA succeeds)";
    EXPECT_TRUE(refused);
}

TEST_F(WinExports, APortHeldExclusivelyOnTheLinuxSideDoesNotOpen)
{
    if (std::getenv("VANTOR_WINE_PRIVILEGED") != nullptr)
        GTEST_SKIP() << "Wine runs with the privilege to open a terminal held exclusively";
    ASSERT_EQ(MODBUS_SetupConnect(4, 2, -1, -1), 0);
    peer.Lock(kCom);
    const auto t0 = Clock::now();
    EXPECT_EQ(MODBUS_OpenPort(), KORVANE_IO_ERROR);
    EXPECT_GE(MsSince(t0), 200.0);  // the pause follows a failed attempt too
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(MODBUS_ReadHoldingRegisters(0, 1, &count, data.data()), KORVANE_IO_ERROR);
    EXPECT_EQ(peer.Drain(kCom), B{});
    peer.Unlock(kCom);
    EXPECT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_TRUE(PortOpen(kCom));
    MODBUS_ClosePort();
}

}  // namespace
