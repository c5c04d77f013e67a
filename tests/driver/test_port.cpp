// TComPort logic over the in-memory line, the rate table, the termios settings and the device
// name mapping.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "DeviceNames.h"
#include "ExecutableDir.h"
#include "FakeLine.h"
#include "LignePosix.h"
#include "comrs.h"

namespace {

struct PortTest : ::testing::Test {
    std::shared_ptr<TFakeLineState> line;
    std::unique_ptr<TComPort> port;
    void SetUp() override
    {
        auto [l, s] = MakeFakeLine();
        line = s;
        port = std::make_unique<TComPort>(std::move(l));
    }
};

TEST_F(PortTest, ConstructionDefaults)
{
    EXPECT_EQ(port->RateRow(), 3);
    EXPECT_EQ(port->Parity(), 0);
    EXPECT_EQ(port->StopBits(), 0);
    EXPECT_FALSE(port->Active());
    EXPECT_EQ(port->PortName(), "");
    EXPECT_FALSE(port->Echo());
    EXPECT_EQ(line->opens, 0);
}

TEST_F(PortTest, EveryOpenAttemptPausesButAnOpenPortIsLeftAlone)
{
    port->SetPortName("/dev/ttyX");
    port->SetActive(true);
    EXPECT_TRUE(port->Active());
    EXPECT_EQ(line->pauses, std::vector<int>{200});
    port->SetActive(true);
    EXPECT_EQ(line->opens, 1);
    EXPECT_EQ(line->pauses, std::vector<int>{200});
    port->SetActive(false);
    EXPECT_FALSE(port->Active());
    EXPECT_EQ(line->closes, 1);
    port->SetActive(false);
    EXPECT_EQ(line->closes, 1);

    line->openSucceeds = false;
    port->SetActive(true);
    EXPECT_FALSE(port->Active());
    EXPECT_EQ(line->pauses, (std::vector<int>{200, 200}));
    EXPECT_EQ(line->openedNames.back(), "/dev/ttyX");
}

TEST_F(PortTest, CloseReleasesTheDeviceButNotTheOpenFlag)
{
    port->SetActive(true);
    port->Close();
    EXPECT_TRUE(port->Active());
    EXPECT_FALSE(line->open);
    const std::uint8_t b = 1;
    EXPECT_EQ(port->Write(&b, 1), 0u);
}

TEST_F(PortTest, SettingsTakeEffectAtTheNextOpen)
{
    port->SetRateRow(1);
    port->SetParity(1);
    port->SetStopBits(1);
    port->SetActive(true);
    port->SetRateRow(6);
    port->SetParity(2);
    port->SetStopBits(0);
    ASSERT_EQ(line->openedSettings.size(), 1u);
    EXPECT_EQ(line->openedSettings[0].baud, 2400u);
    EXPECT_EQ(line->openedSettings[0].parity, 1);
    EXPECT_EQ(line->openedSettings[0].stopBits, 1);
    port->SetActive(false);
    port->SetActive(true);
    ASSERT_EQ(line->openedSettings.size(), 2u);
    EXPECT_EQ(line->openedSettings[1].baud, 57600u);
    EXPECT_EQ(line->openedSettings[1].parity, 2);
    EXPECT_EQ(line->openedSettings[1].stopBits, 0);
}

TEST_F(PortTest, BlockSizesOutsideOneTo256AreRefused)
{
    port->SetActive(true);
    std::array<std::uint8_t, 300> block{};
    EXPECT_EQ(port->Write(block.data(), 0), 0u);
    EXPECT_EQ(port->Write(block.data(), 257), 0u);
    EXPECT_TRUE(line->writes.empty());
    EXPECT_EQ(port->Write(block.data(), 256), 256u);
    ASSERT_EQ(line->writes.size(), 1u);
    EXPECT_EQ(line->writeTimeouts[0], 28 * 256 + 20);

    line->babble = true;
    EXPECT_EQ(port->Read(block.data(), 0), 0u);
    EXPECT_EQ(port->Read(block.data(), 257), 0u);
    EXPECT_EQ(line->reads, 0u);
    EXPECT_EQ(port->Read(block.data(), 256), 256u);
}

TEST_F(PortTest, ReadAndWriteTimeoutsPerRateRow)
{
    const struct {
        std::uint8_t row;
        std::uint32_t baud;
        int oneByte;
        int interval;
        int writeOfEight;
    } rows[] = {{1, 2400, 48, 28, 52 * 8 + 20},  {2, 4800, 44, 24, 36 * 8 + 20},  {3, 9600, 42, 22, 28 * 8 + 20},
                {4, 19200, 41, 21, 24 * 8 + 20}, {5, 38400, 41, 21, 22 * 8 + 20}, {6, 57600, 41, 21, 21 * 8 + 20}};
    for (const auto& r : rows) {
        EXPECT_EQ(RateRowEntry(r.row).baud, r.baud);
        EXPECT_EQ(ReadTimeoutsFor(r.row, 1).totalMs, r.oneByte);
        EXPECT_EQ(ReadTimeoutsFor(r.row, 1).intervalMs, r.interval);
        EXPECT_EQ(ReadTimeoutsFor(r.row, 3).totalMs, 3 * r.interval + 20);
        EXPECT_EQ(WriteTimeoutFor(r.row, 8), r.writeOfEight);

        port->SetRateRow(r.row);
        port->SetActive(false);
        port->SetActive(true);
        std::uint8_t b = 0;
        port->Read(&b, 1);
        EXPECT_EQ(line->lastReadLimits.totalMs, r.oneByte);
        EXPECT_EQ(line->lastReadLimits.intervalMs, r.interval);
    }
}

TEST(LineTiming, CharacterBitsCountStartParityAndStopBits)
{
    EXPECT_EQ(CharacterBits(0, 0), 10);  // 8N1
    EXPECT_EQ(CharacterBits(2, 1), 12);  // 8E2, line mode 0
    EXPECT_EQ(CharacterBits(1, 1), 12);  // 8O2, line mode 1
    EXPECT_EQ(CharacterBits(2, 0), 11);
    EXPECT_EQ(CharacterBits(0, 1), 11);
    EXPECT_EQ(CharacterBits(9, 5), 10);  // other values count as none and one
}

TEST(LineTiming, LineTimeOfTheLongestAnswer)
{
    EXPECT_EQ(LineTimeMicros(3, 2, 1, 260), 325000);   // 9600 8E2: 260 x 12 bits
    EXPECT_EQ(LineTimeMicros(3, 0, 0, 260), 270834);   // 9600 8N1: 260 x 10 bits, rounded up
    EXPECT_EQ(LineTimeMicros(1, 1, 1, 268), 1340000);  // 2400 8O2, with an 8-byte echo
    EXPECT_EQ(LineTimeMicros(6, 0, 0, 260), 45139);    // 57600 8N1
    EXPECT_EQ(LineTimeMicros(3, 2, 1, 0), 0);
}

TEST_F(PortTest, ReadWithinShortensOnlyTheTotalTimeout)
{
    port->SetActive(true);
    std::uint8_t b = 0;
    port->ReadWithin(&b, 1, 10);
    EXPECT_EQ(line->lastReadLimits.totalMs, 10);
    EXPECT_EQ(line->lastReadLimits.intervalMs, 22);
    port->ReadWithin(&b, 1, 100);
    EXPECT_EQ(line->lastReadLimits.totalMs, 42);
    EXPECT_EQ(line->reads, 2u);
    line->babble = true;
    EXPECT_EQ(port->ReadWithin(&b, 1, 0), 0u);
    EXPECT_EQ(line->reads, 2u);
    EXPECT_EQ(port->SilenceMs(), 42);
    port->SetParity(2);
    port->SetStopBits(1);
    EXPECT_EQ(port->LineTimeMicros(260), 325000);
}

// Starts from a base with every flag set, so each flag the driver relies on is seen cleared.
termios AllSet()
{
    termios t{};
    t.c_iflag = ~tcflag_t{0};
    t.c_oflag = ~tcflag_t{0};
    t.c_lflag = ~tcflag_t{0};
    t.c_cflag = ~tcflag_t{0} & ~static_cast<tcflag_t>(CBAUD | CBAUDEX);
    for (auto& cc : t.c_cc)
        cc = 0x7F;
    return t;
}

TEST(TermiosSettings, RawEightBitLineWithoutFlowControl)
{
    for (std::uint8_t parity : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{2}, std::uint8_t{9}}) {
        for (std::uint8_t stop : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{5}}) {
            const termios t = TermiosFor(AllSet(), {9600, parity, stop});
            const bool withParity = parity == 1 || parity == 2;
            SCOPED_TRACE(::testing::Message() << "parity " << int(parity) << " stop " << int(stop));
            EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
            EXPECT_TRUE(t.c_cflag & CLOCAL);
            EXPECT_TRUE(t.c_cflag & CREAD);
            EXPECT_FALSE(t.c_cflag & CRTSCTS);
            EXPECT_EQ(bool(t.c_cflag & PARENB), withParity);
            EXPECT_EQ(bool(t.c_cflag & PARODD), parity == 1);
            EXPECT_EQ(bool(t.c_iflag & INPCK), withParity);
            EXPECT_EQ(bool(t.c_cflag & CSTOPB), stop == 1);
            // A bad byte arrives as a byte: not dropped, not marked, no break signal.
            EXPECT_FALSE(t.c_iflag & (IGNPAR | PARMRK | IGNBRK | BRKINT | ISTRIP));
            EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | IXANY));
            EXPECT_FALSE(t.c_iflag & (INLCR | IGNCR | ICRNL));
            EXPECT_FALSE(t.c_oflag & OPOST);
            EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN));
            EXPECT_EQ(t.c_cc[VMIN], 0);
            EXPECT_EQ(t.c_cc[VTIME], 0);
        }
    }
}

TEST(TermiosSettings, TheSixSpeeds)
{
    const struct {
        std::uint32_t baud;
        speed_t speed;
    } speeds[] = {{2400, B2400}, {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}};
    for (const auto& s : speeds) {
        const termios t = TermiosFor(AllSet(), {s.baud, 0, 0});
        EXPECT_EQ(cfgetispeed(&t), s.speed) << s.baud;
        EXPECT_EQ(cfgetospeed(&t), s.speed) << s.baud;
    }
    EXPECT_EQ(SpeedConstant(1200), static_cast<speed_t>(B9600));
}

struct DeviceNameTest : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "korvane-names-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
};

TEST_F(DeviceNameTest, ComNamesFallBackToTtyS)
{
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM1", dir.string()), "/dev/ttyS0");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM12", dir.string()), "/dev/ttyS11");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM3", ""), "/dev/ttyS2");
}

TEST_F(DeviceNameTest, DosdevicesEntryWinsEvenWhenDangling)
{
    std::filesystem::create_directory(dir / "dosdevices");
    std::filesystem::create_symlink("/dev/null", dir / "dosdevices" / "com3");
    std::filesystem::create_symlink("/no/such/device", dir / "dosdevices" / "com4");
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM3", dir.string()), (dir / "dosdevices" / "com3").string());
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM4", dir.string()), (dir / "dosdevices" / "com4").string());
    EXPECT_EQ(ResolveDeviceName("\\\\.\\COM5", dir.string()), "/dev/ttyS4");
}

TEST_F(DeviceNameTest, OtherNamesAreUsedAsTheyStand)
{
    for (const char* name : {"/dev/ttyUSB0", "\\\\.\\COM0", "\\\\.\\com3", "\\\\.\\COM", "\\\\.\\COM3a", "COM3",
                             "\\\\.\\COM-1", "\\\\.\\COM99999999999", ""})
        EXPECT_EQ(ResolveDeviceName(name, dir.string()), name);
}

TEST(ExecutableDirTest, IsTheFolderOfThisTest)
{
    const std::string dir = ExecutableDir();
    ASSERT_FALSE(dir.empty());
    struct stat info {};
    EXPECT_EQ(::stat((dir + "/test_driver_port").c_str(), &info), 0) << dir;
}

}  // namespace
