// TConnexion over the in-memory line: frames on the wire, statuses, retries, echo, exception
// mapping, data area handling, and a randomised run of hostile answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "AnswerModel.h"
#include "FakeLine.h"
#include "UniteKorvane.h"
#include "UtilKorvane.h"
#include "UtilSerial.h"

namespace {

using B = TByteString;

struct ConnexionTest : ::testing::Test {
    std::shared_ptr<TFakeLineState> line;
    std::unique_ptr<TConnexion> c;

    void SetUp() override
    {
        auto [l, s] = MakeFakeLine();
        line = s;
        c = std::make_unique<TConnexion>(std::move(l));
    }
    // Every frame written gets this answer.
    void AnswerAlways(const B& answer)
    {
        line->responder = [answer](const B&, TFakeLineState& s) { s.Answer(answer); };
    }
    // Successive frames get successive answers (an empty one is silence).
    void AnswerInTurn(std::vector<B> answers)
    {
        auto next = std::make_shared<std::size_t>(0);
        line->responder = [answers, next](const B&, TFakeLineState& s) {
            if (*next < answers.size())
                s.Answer(answers[(*next)++]);
        };
    }
};

TEST_F(ConnexionTest, ConstructionGivesTheDefaultsWithThePortClosed)
{
    EXPECT_EQ(c->Port().PortName(), "\\\\.\\COM1");
    EXPECT_EQ(c->GetPortIndex(), 0);
    EXPECT_EQ(c->Port().RateRow(), 3);
    EXPECT_EQ(c->Port().Parity(), 2);
    EXPECT_EQ(c->Port().StopBits(), 1);
    EXPECT_EQ(c->SlaveId(), 1);
    EXPECT_FALSE(c->Port().Echo());
    EXPECT_FALSE(c->IsOpen());
    EXPECT_EQ(line->opens, 0);
}

TEST_F(ConnexionTest, LineModeAndBaudCodesMapToPortSettings)
{
    const struct {
        std::int32_t code;
        std::uint8_t parity, stop;
    } modes[] = {{0, 2, 1}, {1, 1, 1}, {2, 0, 0}, {3, 2, 1}, {-1, 2, 1}};
    for (const auto& m : modes) {
        c->SetLineMode(m.code);
        EXPECT_EQ(c->Port().Parity(), m.parity) << m.code;
        EXPECT_EQ(c->Port().StopBits(), m.stop) << m.code;
    }
    const struct {
        std::int32_t code;
        std::uint8_t row;
    } rates[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 3}, {-2, 3}};
    for (const auto& r : rates) {
        c->SetBaudCode(r.code);
        EXPECT_EQ(c->Port().RateRow(), r.row) << r.code;
    }
    c->SetBaudCode(0);
    c->SetLineMode(1);
    ASSERT_EQ(c->Connect(), kStatusOk);
    ASSERT_EQ(line->openedSettings.size(), 1u);
    EXPECT_EQ(line->openedSettings[0].baud, 2400u);
    EXPECT_EQ(line->openedSettings[0].parity, 1);
    EXPECT_EQ(line->openedSettings[0].stopBits, 1);
}

TEST_F(ConnexionTest, PortIndexAndNames)
{
    c->SetPortIndex(3);
    EXPECT_EQ(c->Port().PortName(), "\\\\.\\COM4");
    EXPECT_EQ(c->GetPortIndex(), 3);
    c->SetPortIndex(-1);
    EXPECT_EQ(c->Port().PortName(), "\\\\.\\COM4");
    c->SetPortIndex(41);
    EXPECT_EQ(c->Port().PortName(), "\\\\.\\COM42");
    c->SetPortName("");
    EXPECT_EQ(c->Port().PortName(), "\\\\.\\COM42");

    const struct {
        const char* name;
        std::int32_t index;
    } names[] = {{"\\\\.\\COM0", 0},   {"\\\\.\\COM10", 9}, {"\\\\.\\com4", -1},  {"\\\\.\\COM", -1},
                 {"\\\\.\\COM4x", -1}, {"COM4", -1},        {"/dev/ttyUSB0", -1}, {"\\\\.\\COM99999999999", -1}};
    for (const auto& n : names) {
        c->SetPortName(n.name);
        EXPECT_EQ(c->GetPortIndex(), n.index) << n.name;
    }
    EXPECT_EQ(line->opens, 0);  // naming a closed port opens nothing
}

TEST_F(ConnexionTest, RenamingAnOpenPortReopensItWithThePause)
{
    ASSERT_EQ(c->Connect(), kStatusOk);
    c->SetPortName("/dev/ttyUSB3");
    EXPECT_TRUE(c->IsOpen());
    EXPECT_EQ(line->opens, 2);
    EXPECT_EQ(line->closes, 1);
    ASSERT_EQ(line->openedNames.size(), 2u);
    EXPECT_EQ(line->openedNames[1], "/dev/ttyUSB3");
    EXPECT_EQ(line->pauses, (std::vector<int>{200, 200}));
}

TEST_F(ConnexionTest, FramesOnTheWire)
{
    std::uint8_t count = 0;
    TDataArea data{};
    c->ReadRegisters(modbus::kReadHolding, 0x0006, 1, count, data);
    c->ResetModule();
    std::uint32_t length = 0;
    c->RawExchange(data, length);
    c->WriteRegister(modbus::kWriteSystem, 0x1234, 0xAB, 0xCD);
    ASSERT_EQ(line->writes.size(), 1u + 1 + 1 + 5);
    EXPECT_EQ(line->writes[0], (B{0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0B}));
    EXPECT_EQ(line->writes[1], (B{0x01, 0x46, 0x81, 0xD2}));
    EXPECT_EQ(line->writes[2], (B{0x01, 0x7E, 0x80}));
    EXPECT_EQ(line->writes[3], AppendCrc({0x01, 0x42, 0x12, 0x34, 0xAB, 0xCD}));
}

TEST_F(ConnexionTest, ClosedPortIsOpenedAndClosedAroundEachExchange)
{
    AnswerAlways(AppendCrc({0x01, 0x03, 0x02, 0x12, 0x34}));
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResOk);
    EXPECT_FALSE(c->IsOpen());
    EXPECT_EQ(line->opens, 1);
    EXPECT_EQ(line->closes, 1);
    EXPECT_EQ(line->pauses, std::vector<int>{200});
    EXPECT_EQ(line->purges, 1);

    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResOk);
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResOk);
    EXPECT_TRUE(c->IsOpen());
    EXPECT_EQ(line->opens, 2);
    EXPECT_EQ(line->closes, 1);
    EXPECT_EQ(line->pauses, (std::vector<int>{200, 200}));
    EXPECT_EQ(line->purges, 3);
}

TEST_F(ConnexionTest, PortThatCannotOpenGivesIoErrorWithoutSending)
{
    line->openSucceeds = false;
    std::uint8_t count = 9;
    TDataArea data{};
    data.fill(0xEE);
    EXPECT_EQ(c->Connect(), kStatusNoPort);
    EXPECT_EQ(c->ReadRegisters(modbus::kReadInput, 0, 2, count, data), kResIoError);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(data, TDataArea{});
    line->pauses.clear();
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 1, 2, 3), kResIoError);
    EXPECT_EQ(line->pauses, std::vector<int>(5, 200));  // five attempts, each with its pause
    EXPECT_TRUE(line->writes.empty());
}

TEST_F(ConnexionTest, StatusesOfTheExchange)
{
    const struct {
        B answer;
        std::uint8_t status;
    } cases[] = {
        {{}, kStatusNoAnswer},
        {AppendCrc({0x02, 0x03, 0x00}), kStatusFrame},
        {{0x01, 0x03, 0x00, 0x00, 0x00}, kStatusCrc},
        {{0x01}, kStatusCrc},
        {{0x01, 0x03}, kStatusCrc},
        {{0x07}, kStatusFrame},
        {AppendCrc({0x01}), kStatusOk},
        {AppendCrc({0x01, 0x03, 0x00}), kStatusOk},
    };
    for (const auto& k : cases) {
        AnswerAlways(k.answer);
        std::string answerHex = "stale";
        EXPECT_EQ(c->Exchange("0300000001", answerHex), k.status) << BytesToHexText(k.answer);
        if (k.status == kStatusOk)
            EXPECT_EQ(answerHex, BytesToHexText(B(k.answer.begin() + 1, k.answer.end() - 2)));
        else
            EXPECT_EQ(answerHex, "");
    }
}

TEST_F(ConnexionTest, ResultCodesOfRequestKinds)
{
    std::uint8_t count = 0;
    TDataArea data{};
    AnswerAlways({});
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResNoAnswer);
    AnswerAlways(AppendCrc({0x09, 0x03, 0x00}));
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResFrameError);
    AnswerAlways({0x01, 0x03, 0x02, 0x00, 0x01, 0x00, 0x00});
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResCrcError);
    AnswerAlways({0x01, 0x83});
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResCrcError);
}

TEST_F(ConnexionTest, ExceptionAnswersMapToTheirCodes)
{
    std::uint8_t count = 0;
    TDataArea data{};
    const struct {
        std::uint8_t exception;
        TResultCode code;
    } cases[] = {{1, kResExcFunction}, {2, kResExcAddress}, {3, kResExcValue},
                 {4, kResExcDevice},   {7, kResExcDevice},  {0, kResExcDevice}};
    for (const auto& k : cases) {
        AnswerAlways(AppendCrc({0x01, 0x83, k.exception}));
        EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), k.code) << int(k.exception);
        AnswerAlways(AppendCrc({0x01, 0xC1, k.exception}));
        EXPECT_EQ(c->ReadRegisters(modbus::kReadSystem, 0, 1, count, data), k.code);
        AnswerAlways(AppendCrc({0x01, 0x86, k.exception}));
        EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 0, 0, 0), k.code);
        AnswerAlways(AppendCrc({0x01, 0xC6, k.exception}));
        EXPECT_EQ(c->ResetModule(), k.code);
    }
    AnswerAlways(AppendCrc({0x01, 0x83, 0x02}));
    const std::size_t before = line->writes.size();
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 0, 0, 0), kResOk);  // not an exception of 0x06
    EXPECT_EQ(line->writes.size(), before + 1);
    AnswerAlways(AppendCrc({0x01, 0x83}));  // exception without its code byte
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResExcDevice);
}

TEST_F(ConnexionTest, WritesAreTriedFiveTimesReadsOnce)
{
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 5, 0, 1), kResNoAnswer);
    EXPECT_EQ(line->writes.size(), 5u);
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 5, 1, count, data), kResNoAnswer);
    EXPECT_EQ(line->writes.size(), 6u);
    EXPECT_EQ(c->ResetModule(), kResNoAnswer);
    EXPECT_EQ(line->writes.size(), 7u);

    line->writes.clear();
    AnswerInTurn({{}, {0x01, 0x06}, AppendCrc({0x01, 0x06, 0x00, 0x05, 0x00, 0x01})});
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 5, 0, 1), kResOk);
    EXPECT_EQ(line->writes.size(), 3u);

    line->writes.clear();
    AnswerAlways(AppendCrc({0x01, 0x86, 0x03}));
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 5, 0, 1), kResExcValue);
    EXPECT_EQ(line->writes.size(), 1u);  // an exception answer is not repeated
}

TEST_F(ConnexionTest, BroadcastSendsWithoutReading)
{
    c->SetSlaveId(0);
    AnswerAlways(AppendCrc({0x00, 0x06, 0x00, 0x05, 0x00, 0x01}));
    std::uint8_t count = 0x77;
    TDataArea data{};
    data.fill(0x5A);
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResBadId);
    EXPECT_EQ(count, 0x77);
    EXPECT_EQ(data[0], 0x5A);
    EXPECT_EQ(data[255], 0x5A);
    EXPECT_TRUE(line->writes.empty());
    EXPECT_EQ(line->opens, 0);

    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 5, 0, 1), kResOk);
    ASSERT_EQ(line->writes.size(), 1u);
    EXPECT_EQ(line->writes[0], AppendCrc({0x00, 0x06, 0x00, 0x05, 0x00, 0x01}));
    EXPECT_EQ(line->reads, 0u);

    data.fill(0x5A);
    data[0] = 0x64;
    std::uint32_t length = 1;
    EXPECT_EQ(c->RawExchange(data, length), kResOk);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(data, TDataArea{});
    EXPECT_EQ(c->ResetModule(), kResOk);
    EXPECT_EQ(line->reads, 0u);
}

TEST_F(ConnexionTest, EchoIsDroppedUncheckedAndAShortEchoIsAFrameError)
{
    c->Port().SetEcho(true);
    const B request = AppendCrc({0x01, 0x03, 0x00, 0x00, 0x00, 0x01});
    const B answer = AppendCrc({0x01, 0x03, 0x02, 0xBE, 0xEF});
    B garbledEcho(request.size(), 0xFF);
    garbledEcho.insert(garbledEcho.end(), answer.begin(), answer.end());
    AnswerAlways(garbledEcho);
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResOk);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(data[0], 0xBE);
    EXPECT_EQ(data[1], 0xEF);

    AnswerAlways(B(request.begin(), request.end() - 1));
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResFrameError);
    AnswerAlways({});  // not even the echo: the echo is short
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResFrameError);
}

TEST_F(ConnexionTest, EchoWithoutAnswerMeansNoSensor)
{
    c->Port().SetEcho(true);
    line->responder = [](const B& frame, TFakeLineState& s) { s.Answer(frame); };
    std::uint8_t count = 0;
    TDataArea data{};
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResNoAnswer);
    EXPECT_EQ(c->WriteRegister(modbus::kWriteSingle, 0, 0, 1), kResNoAnswer);
    EXPECT_EQ(line->writes.size(), 6u);
}

TEST_F(ConnexionTest, ReadFillsCountAndDataAreaFromTheAnswer)
{
    std::uint8_t count = 0xEE;
    TDataArea data{};
    data.fill(0xEE);
    AnswerAlways(AppendCrc({0x01, 0x04, 0x04, 0x3F, 0x80, 0x00, 0x01}));
    EXPECT_EQ(c->ReadRegisters(modbus::kReadInput, 0, 2, count, data), kResOk);
    EXPECT_EQ(line->writes.back(), AppendCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_EQ(count, 4);
    TDataArea expected{};
    expected[0] = 0x3F;
    expected[1] = 0x80;
    expected[3] = 0x01;
    EXPECT_EQ(data, expected);

    // Fewer data bytes than the byte count says: the missing ones read as 0.
    data.fill(0xEE);
    AnswerAlways(AppendCrc({0x01, 0x03, 0xFF, 0x11, 0x22}));
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 2, count, data), kResOk);
    EXPECT_EQ(count, 0xFF);
    expected = {};
    expected[0] = 0x11;
    expected[1] = 0x22;
    EXPECT_EQ(data, expected);

    // A failed read leaves a cleared area and a zero count.
    data.fill(0xEE);
    AnswerAlways({});
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 2, count, data), kResNoAnswer);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(data, TDataArea{});
}

TEST_F(ConnexionTest, RawExchangeLengthsAndAnswer)
{
    TDataArea data{};
    data.fill(0x42);
    std::uint32_t length = 256;
    EXPECT_EQ(c->RawExchange(data, length), kResBadParam);
    EXPECT_EQ(length, 256u);
    EXPECT_EQ(data[0], 0x42);
    EXPECT_TRUE(line->writes.empty());

    // 255 bytes are accepted, but their frame exceeds what the port sends: silence.
    length = 255;
    EXPECT_EQ(c->RawExchange(data, length), kResNoAnswer);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(data, TDataArea{});
    EXPECT_TRUE(line->writes.empty());
    EXPECT_EQ(line->opens, 1);

    // 253 bytes make the largest frame that goes out.
    data.fill(0x42);
    length = 253;
    c->RawExchange(data, length);
    ASSERT_EQ(line->writes.size(), 1u);
    EXPECT_EQ(line->writes[0].size(), 256u);

    // The answer comes back unchanged, exception bit included.
    data = {};
    data[0] = 0x64;
    length = 1;
    AnswerAlways(AppendCrc({0x01, 0xE4, 0x02}));
    EXPECT_EQ(c->RawExchange(data, length), kResOk);
    EXPECT_EQ(line->writes.back(), AppendCrc({0x01, 0x64}));
    EXPECT_EQ(length, 2u);
    TDataArea expected{};
    expected[0] = 0xE4;
    expected[1] = 0x02;
    EXPECT_EQ(data, expected);
}

TEST_F(ConnexionTest, LargestFrameIsAcceptedAndABabblingLineIsCutOff)
{
    B big{0x01, 0x64};
    for (int i = 0; i < 251; ++i)
        big.push_back(static_cast<std::uint8_t>(i));
    AnswerAlways(AppendCrc(big));
    TDataArea data{};
    data[0] = 0x64;
    std::uint32_t length = 1;
    EXPECT_EQ(c->RawExchange(data, length), kResOk);
    EXPECT_EQ(length, 252u);
    EXPECT_EQ(data[251], 250);

    line->responder = nullptr;
    line->babble = true;
    line->reads = 0;
    std::uint8_t count = 0;
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResFrameError);
    EXPECT_EQ(line->reads, 261u);

    c->Port().SetEcho(true);
    line->reads = 0;
    line->babbleByte = 0x01;
    EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data), kResFrameError);
    EXPECT_EQ(line->reads, 261u + 8u);
}

// An answer to slave 1 of `total` bytes with a valid CRC: identifier, function code, a byte
// count of 255 and data bytes 0, 1, 2 and so on.
B AnswerOfSize(std::size_t total, std::uint8_t fn = modbus::kReadHolding)
{
    B a{0x01, fn, 0xFF};
    while (a.size() < total - 2)
        a.push_back(static_cast<std::uint8_t>(a.size() - 3));
    return AppendCrc(a);
}

TEST_F(ConnexionTest, EveryAnswerThatFitsTheDataAreaIsKept)
{
    for (const bool echo : {false, true}) {
        SCOPED_TRACE(::testing::Message() << "echo " << echo);
        c->Port().SetEcho(echo);
        B answer;
        line->responder = [&](const B& frame, TFakeLineState& s) {
            if (echo)
                s.Answer(frame);
            s.Answer(answer);
        };

        // 255 data bytes, the most a byte count can announce: 260 bytes on the line.
        answer = AnswerOfSize(260);
        std::uint8_t count = 0;
        TDataArea data{};
        data.fill(0xEE);
        EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 125, count, data), kResOk);
        EXPECT_EQ(count, 255);
        for (std::size_t i = 0; i < 255; ++i)
            ASSERT_EQ(data[i], static_cast<std::uint8_t>(i)) << i;
        EXPECT_EQ(data[255], 0);

        // One byte more is a line that runs on.
        answer = AnswerOfSize(261);
        data.fill(0xEE);
        EXPECT_EQ(c->ReadRegisters(modbus::kReadHolding, 0, 125, count, data), kResFrameError);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(data, TDataArea{});

        // The raw exchange: an answer PDU of 256 bytes fills the area exactly; of 257 bytes it
        // fills the area with its first 256.
        for (const std::size_t total : {259u, 260u}) {
            answer = AnswerOfSize(total, 0x64);
            data = {};
            data[0] = 0x64;
            std::uint32_t length = 1;
            EXPECT_EQ(c->RawExchange(data, length), kResOk) << total;
            EXPECT_EQ(length, 256u);
            EXPECT_EQ(data[0], 0x64);
            EXPECT_EQ(data[1], 0xFF);
            for (std::size_t i = 2; i < 256; ++i)
                ASSERT_EQ(data[i], static_cast<std::uint8_t>(i - 2)) << i;
        }
        answer = AnswerOfSize(261, 0x64);
        data = {};
        data[0] = 0x64;
        std::uint32_t length = 1;
        EXPECT_EQ(c->RawExchange(data, length), kResFrameError);
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(data, TDataArea{});
    }
}

TEST_F(ConnexionTest, ReadTimeoutsFollowTheRateRow)
{
    c->SetBaudCode(0);
    std::uint8_t count = 0;
    TDataArea data{};
    c->ReadRegisters(modbus::kReadHolding, 0, 1, count, data);
    EXPECT_EQ(line->lastReadLimits.totalMs, 48);
    EXPECT_EQ(line->lastReadLimits.intervalMs, 28);
    EXPECT_EQ(line->writeTimeouts.back(), 52 * 8 + 20);
}

// Ten thousand random answers through both the register read and the raw exchange: every one
// ends with the result the answer-checking rules give, and nothing outside the caller's data
// area is ever written.
TEST_F(ConnexionTest, RandomAnswersGiveTheirResultAndStayInTheDataArea)
{
    std::mt19937 rng(20240611);
    struct Guarded {
        std::array<std::uint8_t, 64> before;
        TDataArea data;
        std::array<std::uint8_t, 64> after;
    };
    Guarded g{};
    g.before.fill(0xA5);
    g.after.fill(0x5A);
    ASSERT_EQ(c->Connect(), kStatusOk);
    for (int i = 0; i < 10000; ++i) {
        const std::uint8_t id = static_cast<std::uint8_t>(1 + rng() % 127);
        c->SetSlaveId(id);
        const bool echo = rng() % 4 == 0;
        c->Port().SetEcho(echo);
        const std::uint8_t fn = (i % 2) ? modbus::kReadInput : modbus::kReadHolding;
        const B answer = RandomAnswer(rng, id, fn);
        line->responder = [&](const B& frame, TFakeLineState& s) {
            if (echo)
                s.Answer(frame);
            s.Answer(answer);
        };
        TReadOutcome want = ExpectedRead(answer, id, fn);
        if (echo && answer.empty())
            want = {kResNoAnswer, 0, {}};
        std::uint8_t count = 0xCC;
        g.data.fill(0xCC);
        const TResultCode got = c->ReadRegisters(fn, static_cast<std::uint16_t>(rng()), 2, count, g.data);
        ASSERT_EQ(got, want.code) << "answer " << BytesToHexText(answer) << " echo " << echo;
        if (got == kResOk) {
            ASSERT_EQ(count, want.count);
            ASSERT_EQ(g.data, want.data);
        }

        g.data.fill(0xCC);
        g.data[0] = fn;
        std::uint32_t length = 5;
        const TResultCode raw = c->RawExchange(g.data, length);
        ASSERT_EQ(raw == kResOk, want.code == kResOk || want.code <= kResExcFunction);
        if (raw == kResOk) {
            // An answer PDU longer than the area (a 260-byte answer) keeps its first 256 bytes.
            const std::size_t kept = std::min<std::size_t>(answer.size() - 3, kTailleZone);
            ASSERT_EQ(length, kept);
            ASSERT_TRUE(
                std::equal(answer.begin() + 1, answer.begin() + 1 + static_cast<std::ptrdiff_t>(kept), g.data.begin()));
        } else {
            ASSERT_EQ(length, 0u);
        }
    }
    for (auto b : g.before)
        ASSERT_EQ(b, 0xA5);
    for (auto b : g.after)
        ASSERT_EQ(b, 0x5A);
    EXPECT_EQ(line->opens, 1);
}

}  // namespace
