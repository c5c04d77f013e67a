// The Windows serial line on a stand-in for kernel32: the open sequence and its arguments, the
// DCB, the port's time-outs, the port's one event, answers read in blocks, and the handling of
// line errors on an abort-on-error port.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeWin32Api.h"
#include "LigneWin32.h"
#include "UniteKorvane.h"
#include "UtilKorvane.h"

namespace {

using B = TByteString;
using Calls = std::vector<std::string>;

struct Win32LineTest : ::testing::Test {
    TFakeComState state;
    void SetUp() override
    {
        fakewin32::g_state = &state;
        state.base.DCBlength = sizeof(DCB);
    }
    void TearDown() override { fakewin32::g_state = nullptr; }
    std::unique_ptr<TWin32SerialLine> Line() { return std::make_unique<TWin32SerialLine>(fakewin32::kApi); }
};

DWORD FlagWord(const DCB& d)
{
    DWORD word = 0;
    std::memcpy(&word, reinterpret_cast<const char*>(&d) + offsetof(DCB, BaudRate) + sizeof d.BaudRate, sizeof word);
    return word;
}

TEST_F(Win32LineTest, OpenFollowsTheSequenceWithItsArguments)
{
    auto line = Line();
    ASSERT_TRUE(line->Open("\\\\.\\COM5", {9600, 2, 1}));
    EXPECT_TRUE(line->IsOpen());
    EXPECT_EQ(state.calls,
              (Calls{"CreateFileA", "SetupComm", "SetCommTimeouts", "GetCommState", "SetCommMask", "SetCommState"}));
    EXPECT_EQ(state.openedName, "\\\\.\\COM5");  // as it stands: no mapping on Windows
    EXPECT_EQ(state.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(state.share, 0u);
    EXPECT_EQ(state.creation, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(state.flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
    EXPECT_EQ(state.inQueue, 256u);
    EXPECT_EQ(state.outQueue, 256u);
    EXPECT_EQ(state.mask, static_cast<DWORD>(EV_TXEMPTY));
    line->Close();
    EXPECT_EQ(state.deviceCloses, 1);
    EXPECT_FALSE(line->IsOpen());
    line->Close();
    EXPECT_EQ(state.deviceCloses, 1);
}

TEST_F(Win32LineTest, AFailingStepClosesTheHandleAgain)
{
    for (const char* step : {"SetupComm", "SetCommTimeouts", "GetCommState", "SetCommMask", "SetCommState"}) {
        SCOPED_TRACE(step);
        state = TFakeComState{};
        state.failingStep = step;
        auto line = Line();
        EXPECT_FALSE(line->Open("\\\\.\\COM1", {}));
        EXPECT_FALSE(line->IsOpen());
        EXPECT_EQ(state.deviceCloses, 1);
        EXPECT_EQ(state.calls.back(), "CloseHandle");
        EXPECT_EQ(state.calls[state.calls.size() - 2], step);  // nothing after the failing step
    }
    state = TFakeComState{};
    state.createFails = true;
    auto line = Line();
    EXPECT_FALSE(line->Open("\\\\.\\COM9", {}));
    EXPECT_EQ(state.calls, Calls{"CreateFileA"});
    EXPECT_EQ(state.deviceCloses, 0);
}

TEST_F(Win32LineTest, TimeoutsOfEachRateRow)
{
    const struct {
        std::uint32_t baud;
        DWORD read;
        DWORD write;
    } rows[] = {
        {2400, 28, 52}, {4800, 24, 36}, {9600, 22, 28}, {19200, 21, 24}, {38400, 21, 22}, {57600, 21, 21},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.baud);
        auto line = Line();
        ASSERT_TRUE(line->Open("\\\\.\\COM5", {r.baud, 0, 0}));
        EXPECT_EQ(state.timeouts.ReadIntervalTimeout, r.read);
        EXPECT_EQ(state.timeouts.ReadTotalTimeoutMultiplier, r.read);
        EXPECT_EQ(state.timeouts.ReadTotalTimeoutConstant, 20u);
        EXPECT_EQ(state.timeouts.WriteTotalTimeoutMultiplier, r.write);
        EXPECT_EQ(state.timeouts.WriteTotalTimeoutConstant, 20u);
        EXPECT_EQ(state.applied.BaudRate, r.baud);
    }
}

TEST_F(Win32LineTest, FlagWordIsReplacedAsAWhole)
{
    // A device left with every flag set and odd values elsewhere.
    std::memset(&state.base, 0xFF, sizeof state.base);
    state.base.DCBlength = sizeof(DCB);
    state.base.XonLim = 77;
    state.base.XoffChar = 0x13;
    const struct {
        std::uint8_t parity;
        std::uint8_t stop;
        BYTE wantParity;
        BYTE wantStop;
        DWORD word;
    } cases[] = {
        {0, 0, NOPARITY, ONESTOPBIT, 0x4001},
        {1, 1, ODDPARITY, TWOSTOPBITS, 0x4003},
        {2, 1, EVENPARITY, TWOSTOPBITS, 0x4003},
        {7, 9, NOPARITY, ONESTOPBIT, 0x4001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "parity " << int(c.parity) << " stop " << int(c.stop));
        auto line = Line();
        ASSERT_TRUE(line->Open("\\\\.\\COM2", {19200, c.parity, c.stop}));
        const DCB& d = state.applied;
        // Binary mode (bit 0), parity checking (bit 1) with parity, abort-on-error (bit 14).
        EXPECT_EQ(FlagWord(d), c.word);
        EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
        EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
        EXPECT_EQ(d.ByteSize, 8);
        EXPECT_EQ(d.Parity, c.wantParity);
        EXPECT_EQ(d.StopBits, c.wantStop);
        EXPECT_EQ(d.BaudRate, 19200u);
        EXPECT_EQ(d.XonLim, 77);  // fields not named keep the device's values
        EXPECT_EQ(d.XoffChar, 0x13);
    }
}

TEST_F(Win32LineTest, TransfersWaitUnboundedOnThePortsOneEvent)
{
    auto line = Line();
    ASSERT_TRUE(line->Open("\\\\.\\COM5", {}));
    const B frame = AppendCrc({0x01, 0x03, 0x00, 0x06, 0x00, 0x01});
    EXPECT_EQ(line->Write(frame.data(), frame.size(), 0), frame.size());
    EXPECT_EQ(state.writes, std::vector<B>{frame});
    state.Answer({0xAA, 0xBB});
    std::uint8_t buf[4] = {};
    EXPECT_EQ(line->Read(buf, 1, {}), 1u);
    EXPECT_EQ(line->Read(buf + 1, 3, {}), 1u);
    EXPECT_EQ(buf[0], 0xAA);
    EXPECT_EQ(buf[1], 0xBB);
    EXPECT_EQ(line->Read(buf, 1, {}), 0u);  // the port's time-out: nothing
    EXPECT_EQ(state.eventsCreated, 1);
    EXPECT_EQ(state.eventsClosed, 0);
    EXPECT_TRUE(state.eventsManualReset);
    EXPECT_TRUE(state.eventsInitiallyClear);
    EXPECT_TRUE(state.eventsUnnamed);
    EXPECT_EQ(state.waits, (std::vector<DWORD>(4, INFINITE)));  // the write and three reads
    EXPECT_FALSE(state.lineError);

    // Completion at once, and a time-out reported as success with no byte, give the same.
    state.immediateCompletion = true;
    state.timeoutIsFailure = false;
    EXPECT_EQ(line->Write(frame.data(), frame.size(), 0), frame.size());
    state.Answer({0x42});
    EXPECT_EQ(line->Read(buf, 1, {}), 1u);
    EXPECT_EQ(buf[0], 0x42);
    EXPECT_EQ(line->Read(buf, 1, {}), 0u);
    EXPECT_EQ(state.eventsCreated, 1);
    EXPECT_EQ(state.waits.size(), 4u);  // what completed at once is not waited for

    // The event goes with the device, and a reopened port makes its own.
    line->Close();
    EXPECT_EQ(state.eventsClosed, 1);
    EXPECT_EQ(state.deviceCloses, 1);
    ASSERT_TRUE(line->Open("\\\\.\\COM5", {}));
    EXPECT_EQ(line->Write(frame.data(), frame.size(), 0), frame.size());
    EXPECT_EQ(state.eventsCreated, 2);
    line.reset();
    EXPECT_EQ(state.eventsClosed, 2);
}

TEST_F(Win32LineTest, BytesTakenAheadAreHandedOutInOrderAndGoWithAPurge)
{
    auto line = Line();
    ASSERT_TRUE(line->Open("\\\\.\\COM5", {}));
    state.Answer({1, 2, 3, 4, 5});
    std::uint8_t b[8] = {};
    ASSERT_EQ(line->Read(b, 2, {}), 2u);
    EXPECT_EQ(state.reads, (std::vector<DWORD>{2, 3}));  // as asked, then all that had arrived
    ASSERT_EQ(line->Read(b + 2, 8, {}), 3u);             // at most what was taken ahead
    EXPECT_EQ(B(b, b + 5), (B{1, 2, 3, 4, 5}));
    EXPECT_EQ(state.reads.size(), 2u);

    state.Answer({6, 7, 8});
    ASSERT_EQ(line->Read(b, 1, {}), 1u);
    EXPECT_EQ(b[0], 6);
    line->Purge();  // 7 and 8 were taken ahead: they go as the device's queue does
    EXPECT_EQ(line->Read(b, 1, {}), 0u);
    state.Answer({9});
    line->Close();
    ASSERT_TRUE(line->Open("\\\\.\\COM5", {}));
    ASSERT_EQ(line->Read(b, 1, {}), 1u);
    EXPECT_EQ(b[0], 9);
}

TEST_F(Win32LineTest, BlocksOutsideOneTo256AreNotTransferred)
{
    auto line = Line();
    ASSERT_TRUE(line->Open("\\\\.\\COM5", {}));
    B big(257, 0x11);
    std::uint8_t buf[300] = {};
    EXPECT_EQ(line->Write(big.data(), 257, 0), 0u);
    EXPECT_EQ(line->Write(big.data(), 0, 0), 0u);
    EXPECT_EQ(line->Read(buf, 0, {}), 0u);
    EXPECT_EQ(line->Read(buf, 257, {}), 0u);
    EXPECT_TRUE(state.writes.empty());
    EXPECT_EQ(state.eventsCreated, 0);
    EXPECT_EQ(line->Write(big.data(), 256, 0), 256u);
}

TEST_F(Win32LineTest, PurgeClearsBothQueues)
{
    auto line = Line();
    line->Purge();  // closed: nothing
    EXPECT_TRUE(state.calls.empty());
    ASSERT_TRUE(line->Open("\\\\.\\COM5", {}));
    state.Answer({1, 2, 3});
    line->Purge();
    EXPECT_EQ(state.purgeFlags, static_cast<DWORD>(PURGE_TXCLEAR | PURGE_RXCLEAR));
    std::uint8_t b = 0;
    EXPECT_EQ(line->Read(&b, 1, {}), 0u);
}

TEST_F(Win32LineTest, EveryOpenAttemptSleeps200Ms)
{
    TComPort port(Line());
    port.SetPortName("\\\\.\\COM5");
    port.SetActive(true);
    EXPECT_TRUE(port.Active());
    port.SetActive(true);
    EXPECT_EQ(state.sleeps, std::vector<DWORD>{200});
    port.SetActive(false);
    state.createFails = true;
    port.SetActive(true);
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(state.sleeps, (std::vector<DWORD>{200, 200}));
}

// A valid two-register answer from slave 1.
const B kAnswer = AppendCrc({0x01, 0x04, 0x04, 0x41, 0xA0, 0x00, 0x00});

struct Win32ConnexionTest : Win32LineTest {
    std::unique_ptr<TConnexion> c;
    void SetUp() override
    {
        Win32LineTest::SetUp();
        c = std::make_unique<TConnexion>(Line());
        state.responder = [](const B&, TFakeComState& s) { s.Answer(kAnswer); };
        ASSERT_EQ(c->Connect(), kStatusOk);
    }
    void TearDown() override
    {
        c.reset();  // closes the port through the stand-in
        Win32LineTest::TearDown();
    }
    TResultCode Read(std::uint8_t& count, TDataArea& data)
    {
        return c->ReadRegisters(modbus::kReadInput, 0, 2, count, data);
    }
};

TEST_F(Win32ConnexionTest, AnAnswerReadByteByByteCostsThreeDeviceReads)
{
    std::uint8_t count = 0;
    TDataArea data{};
    state.reads.clear();
    ASSERT_EQ(Read(count, data), kResOk);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(B(data.begin(), data.begin() + 4), (B{0x41, 0xA0, 0x00, 0x00}));
    // The first byte, the eight behind it in one go, and the silence that ends the answer.
    EXPECT_EQ(state.reads, (std::vector<DWORD>{1, 8, 1}));
    EXPECT_EQ(state.writes.back(), AppendCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x02}));
}

TEST_F(Win32ConnexionTest, ParityErrorFailsTheAnswerAndTheNextTransactionWorks)
{
    std::uint8_t count = 0;
    TDataArea data{};
    ASSERT_EQ(Read(count, data), kResOk);
    state.errorAtByte = state.delivered + 4;  // the fifth byte of the next answer
    EXPECT_EQ(Read(count, data), kResCrcError);
    EXPECT_FALSE(state.lineError);  // acknowledged
    for (int i = 0; i < 3; ++i) {
        count = 0;
        data = {};
        ASSERT_EQ(Read(count, data), kResOk) << "transaction " << i << " after the error";
        EXPECT_EQ(count, 4);
        EXPECT_EQ(data[0], 0x41);
        EXPECT_EQ(data[1], 0xA0);
    }
}

TEST_F(Win32ConnexionTest, ErrorOnTheFirstAnswerByteGivesNoAnswerAndThenWorks)
{
    std::uint8_t count = 0;
    TDataArea data{};
    state.errorAtByte = 0;
    EXPECT_EQ(Read(count, data), kResNoAnswer);
    EXPECT_EQ(Read(count, data), kResOk);
}

TEST_F(Win32ConnexionTest, ErrorWhileIdleDoesNotCostTheNextTransaction)
{
    state.lineError = true;  // noise on the line between two transactions
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(Read(count, data), kResOk);
    EXPECT_EQ(state.writes.size(), 1u);
}

TEST_F(Win32ConnexionTest, WriteAbortedByALineErrorIsRetried)
{
    state.responder = [](const B& frame, TFakeComState& s) {
        s.Answer(frame);  // a write is answered with its own echo
    };
    // The error arrives inside the first answer: that attempt fails, the second one works.
    state.errorAtByte = 2;
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 0x0010, 0x00, 0x2A), kResOk);
    EXPECT_EQ(state.writes.size(), 2u);
}

}  // namespace
