// The exports of the korvane shared library, called as the program calls them, against a peer
// on a pseudo-terminal. Each test runs in a process of its own, so each starts with the library
// fresh (no connection yet).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>


#include "DosDeviceLink.h"
#include "PeerPty.h"
#include "UtilKorvane.h"
#include "korvane.h"

namespace {

using B = TByteString;

// True while someone holds the device's exclusive lock (the driver, when its port is open).
bool IsHeld(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

termios LineSettings(const TPeerPty& peer)
{
    termios t{};
    ::tcgetattr(peer.SlaveFd(), &t);
    return t;
}

// Sends a read of one holding register and answers it; returns the frame the peer saw.
B ReadOneRegister(TPeerPty& peer, std::uint8_t id, TResultCode expected = kResOk)
{
    B request;
    peer.Serve(8, AppendCrc({id, 0x03, 0x02, 0x00, 0x09}), &request);
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(MODBUS_ReadHoldingRegisters(0x0006, 1, &count, data.data()), expected);
    peer.Join();
    return request;
}

B Frame(std::uint8_t id)
{
    return AppendCrc({id, 0x03, 0x00, 0x06, 0x00, 0x01});
}

TEST(Exports, FirstCallCreatesTheDefaultConnection)
{
    TPeerPty peer;
    TDosDeviceLink com1(1, peer.SlavePath());
    EXPECT_EQ(MODBUS_ClosePort(), 0);
    EXPECT_EQ(ReadOneRegister(peer, 1), (B{0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0B}));
    EXPECT_FALSE(IsHeld(peer.SlavePath()));
    const termios t = LineSettings(peer);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_TRUE(t.c_cflag & CSTOPB);  // even parity goes with two stop bits
}

TEST(Exports, ChangingOnlyTheSlaveKeepsAnOpenPortOpen)
{
    TPeerPty peer;
    EXPECT_EQ(MODBUS_SetupDevice(peer.SlavePath().c_str()), 0);
    EXPECT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_TRUE(IsHeld(peer.SlavePath()));
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, -1, 5), 0);
    EXPECT_TRUE(IsHeld(peer.SlavePath()));
    EXPECT_EQ(ReadOneRegister(peer, 5), Frame(5));
    EXPECT_TRUE(IsHeld(peer.SlavePath()));
    EXPECT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_ClosePort(), 0);
    EXPECT_FALSE(IsHeld(peer.SlavePath()));
    EXPECT_EQ(ClosePort(), 0);
}

TEST(Exports, ChangingTheLineModeClosesThePortUntilItIsOpenedAgain)
{
    TPeerPty peer;
    MODBUS_SetupDevice(peer.SlavePath().c_str());
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_SetupConnect(-1, 2, -1, -1), 0);
    EXPECT_FALSE(IsHeld(peer.SlavePath()));
    EXPECT_EQ(ReadOneRegister(peer, 1), Frame(1));
    EXPECT_FALSE(IsHeld(peer.SlavePath()));
    EXPECT_FALSE(LineSettings(peer).c_cflag & CSTOPB);  // no parity, one stop bit
    EXPECT_EQ(OpenPort(), 0);
    EXPECT_TRUE(IsHeld(peer.SlavePath()));
    MODBUS_ClosePort();
}

TEST(Exports, SetupConnectKeepsWhatEarlierStepsChanged)
{
    TPeerPty peer;
    MODBUS_SetupDevice(peer.SlavePath().c_str());
    MODBUS_SetupConnect(-1, -1, -1, 7);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    // Identifier taken, port closed, then the line mode is refused: baud and name stay.
    EXPECT_EQ(MODBUS_SetupConnect(0, 3, 0, 1), -10);
    EXPECT_FALSE(IsHeld(peer.SlavePath()));
    EXPECT_EQ(ReadOneRegister(peer, 1), Frame(1));
    EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(LineSettings(peer))), static_cast<speed_t>(B9600));

    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, -1, 128), -12);
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, -1, -5), -12);
    EXPECT_TRUE(IsHeld(peer.SlavePath()));
    EXPECT_EQ(ReadOneRegister(peer, 1), Frame(1));

    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, 6, -1), -11);
    EXPECT_FALSE(IsHeld(peer.SlavePath()));
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, -2, -1), -11);
    EXPECT_EQ(MODBUS_SetupConnect(-1, -2, -1, -1), -10);
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_SetupConnect(-2, -1, -1, -1), -13);
    EXPECT_FALSE(IsHeld(peer.SlavePath()));

    EXPECT_EQ(MODBUS_SetupConnect(-1, 1, 0, -1), 0);
    EXPECT_EQ(ReadOneRegister(peer, 1), Frame(1));
    const termios t = LineSettings(peer);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B2400));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
}

TEST(Exports, SlaveZeroIsAcceptedForWritesAndRefusedForReads)
{
    TPeerPty peer;
    MODBUS_SetupDevice(peer.SlavePath().c_str());
    EXPECT_EQ(MODBUS_SetupConnect(-1, -1, -1, 0), 0);
    std::uint8_t count = 0x33;
    TDataArea data{};
    data.fill(0x44);
    EXPECT_EQ(MODBUS_ReadInputRegisters(0, 2, &count, data.data()), -12);
    EXPECT_EQ(count, 0x33);
    EXPECT_EQ(data[200], 0x44);
    EXPECT_EQ(MODBUS_WriteSingleRegister(0x0003, 0x00, 0x02), 0);
    EXPECT_EQ(peer.Receive(8), AppendCrc({0x00, 0x06, 0x00, 0x03, 0x00, 0x02}));
    EXPECT_EQ(peer.Drain(), B{});
}

TEST(Exports, PortIndexNamesTheComDevice)
{
    TPeerPty peer;
    TDosDeviceLink com72(72, peer.SlavePath());
    EXPECT_EQ(MODBUS_SetupConnect(71, -1, -1, -1), 0);
    EXPECT_EQ(ReadOneRegister(peer, 1), Frame(1));
    EXPECT_EQ(MODBUS_SetupConnect(71, -1, -1, -1), 0);
    EXPECT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_TRUE(IsHeld(peer.SlavePath()));
    MODBUS_ClosePort();
}

TEST(Exports, DeviceThatCannotOpenAndRenamingAnOpenPort)
{
    MODBUS_SetupDevice("/dev/no-such-korvane-device");
    EXPECT_EQ(MODBUS_OpenPort(), -1);
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(MODBUS_ReadHoldingRegisters(0, 1, &count, data.data()), -1);

    TPeerPty a;
    TPeerPty b;
    MODBUS_SetupDevice(a.SlavePath().c_str());
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    EXPECT_EQ(MODBUS_SetupDevice(""), 0);
    EXPECT_TRUE(IsHeld(a.SlavePath()));
    EXPECT_EQ(MODBUS_SetupDevice(b.SlavePath().c_str()), 0);
    EXPECT_FALSE(IsHeld(a.SlavePath()));
    EXPECT_TRUE(IsHeld(b.SlavePath()));
    MODBUS_ClosePort();
}

TEST(Exports, RegisterRequestsOnTheWire)
{
    TPeerPty peer;
    MODBUS_SetupDevice(peer.SlavePath().c_str());
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    std::uint8_t count = 0xEE;
    TDataArea data{};
    data.fill(0xEE);
    B request;
    peer.Serve(8, AppendCrc({0x01, 0x03, 0x04, 0x41, 0xA0, 0x00, 0x00}), &request);
    EXPECT_EQ(MODBUS_ReadHoldingRegisters(0x0102, 2, &count, data.data()), 0);
    peer.Join();
    EXPECT_EQ(request, AppendCrc({0x01, 0x03, 0x01, 0x02, 0x00, 0x02}));
    EXPECT_EQ(count, 4);
    TDataArea expected{};
    expected[0] = 0x41;
    expected[1] = 0xA0;
    EXPECT_EQ(data, expected);

    peer.Serve(8, AppendCrc({0x01, 0x84, 0x02}), &request);
    EXPECT_EQ(MODBUS_ReadInputRegisters(0x0010, 3, &count, data.data()), -21);
    peer.Join();
    EXPECT_EQ(request, AppendCrc({0x01, 0x04, 0x00, 0x10, 0x00, 0x03}));

    peer.Serve(8, AppendCrc({0x01, 0x41, 0x02, 0x01, 0x02}), &request);
    EXPECT_EQ(MODBUS_ReadSystemRegisters(0x0004, 1, &count, data.data()), 0);
    peer.Join();
    EXPECT_EQ(request, AppendCrc({0x01, 0x41, 0x00, 0x04, 0x00, 0x01}));

    peer.Serve(8, AppendCrc({0x01, 0x42, 0x00, 0x05, 0x12, 0x34}), &request);
    EXPECT_EQ(MODBUS_WriteSystemRegister(0x0005, 0x12, 0x34), 0);
    peer.Join();
    EXPECT_EQ(request, AppendCrc({0x01, 0x42, 0x00, 0x05, 0x12, 0x34}));

    peer.Serve(4, AppendCrc({0x01, 0x46}), &request);
    EXPECT_EQ(MODBUS_ResetModule(), 0);
    peer.Join();
    EXPECT_EQ(request, (B{0x01, 0x46, 0x81, 0xD2}));

    // A silent slave: the write goes out five times.
    EXPECT_EQ(MODBUS_WriteSingleRegister(0x0001, 0x00, 0x07), -3);
    const B frame = AppendCrc({0x01, 0x06, 0x00, 0x01, 0x00, 0x07});
    B five;
    for (int i = 0; i < 5; ++i)
        five.insert(five.end(), frame.begin(), frame.end());
    EXPECT_EQ(peer.Drain(), five);
    MODBUS_ClosePort();
}

TEST(Exports, RawExchange)
{
    TPeerPty peer;
    MODBUS_SetupDevice(peer.SlavePath().c_str());
    ASSERT_EQ(MODBUS_OpenPort(), 0);
    TDataArea data{};
    data.fill(0x42);
    std::uint32_t length = 256;
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), -14);
    EXPECT_EQ(length, 256u);
    EXPECT_EQ(data[0], 0x42);
    EXPECT_EQ(data[255], 0x42);

    length = 255;
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), -3);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(data, TDataArea{});
    EXPECT_EQ(peer.Drain(), B{});  // the frame is too long to send

    data.fill(0x42);
    data[0] = 0x64;
    length = 1;
    B request;
    peer.Serve(4, AppendCrc({0x01, 0x64, 0x00, 0x01}), &request);
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), 0);
    peer.Join();
    EXPECT_EQ(request, AppendCrc({0x01, 0x64}));
    EXPECT_EQ(length, 3u);
    TDataArea expected{};
    expected[0] = 0x64;
    expected[2] = 0x01;
    EXPECT_EQ(data, expected);

    data = {};
    length = 0;
    peer.Serve(3, AppendCrc({0x01}), &request);
    EXPECT_EQ(MODBUS_exchange(data.data(), &length), 0);
    peer.Join();
    EXPECT_EQ(request, (B{0x01, 0x7E, 0x80}));
    EXPECT_EQ(length, 0u);
    MODBUS_ClosePort();
}

TEST(Exports, EchoingAdapter)
{
    TPeerPty peer;
    MODBUS_SetupDevice(peer.SlavePath().c_str());
    EXPECT_EQ(MODBUS_SetupAdditional(1, 1, 0), 0);
    const B request = AppendCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x01});
    peer.Run([&](TPeerPty& p) {
        B reply = p.Receive(request.size());
        const B answer = AppendCrc({0x01, 0x04, 0x02, 0xAB, 0xCD});
        reply.insert(reply.end(), answer.begin(), answer.end());
        p.Send(reply);
    });
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(MODBUS_ReadInputRegisters(0, 1, &count, data.data()), 0);
    peer.Join();
    EXPECT_EQ(count, 2);
    EXPECT_EQ(data[0], 0xAB);

    EXPECT_EQ(MODBUS_SetupAdditional(0, 0, 0), 0);
    peer.Serve(8, AppendCrc({0x01, 0x04, 0x02, 0x01, 0x02}));
    EXPECT_EQ(MODBUS_ReadInputRegisters(0, 1, &count, data.data()), 0);
    peer.Join();
    EXPECT_EQ(data[0], 0x01);
}

}  // namespace
