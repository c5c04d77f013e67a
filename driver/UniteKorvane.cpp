#include "UniteKorvane.h"

#include <algorithm>
#include <chrono>

#include "ComNames.h"
#include "UtilKorvane.h"
#include "UtilSerial.h"

namespace {

// Four hex digits of a 16-bit field, high byte first.
std::string Hex16(std::uint16_t value)
{
    std::string text = IntToHexText(value);
    while (text.size() < 4)
        text.insert(text.begin(), '0');
    return text;
}

std::string Hex8(std::uint8_t value)
{
    return IntToHexText(value);
}

// Byte i of an answer, 0 when missing.
std::uint8_t At(const TByteString& octets, std::size_t i)
{
    return i < octets.size() ? octets[i] : 0;
}

// The exception result when the answer carries the function code with bit 0x80, else 0.
TResultCode ExceptionOf(const TByteString& answer, std::uint8_t function)
{
    if (!answer.empty() && answer[0] == (function | 0x80))
        return ExceptionToResultCode(At(answer, 1));
    return kResOk;
}

}  // namespace

TConnexion::TConnexion() : TConnexion(MakePortLine()) {}

TConnexion::TConnexion(std::unique_ptr<TSerialLine> line) : port_(std::move(line))
{
    port_.SetPortName(std::string(kComPrefix) + "1");
    port_.SetRateRow(3);
    SetLineMode(0);
    slaveId_ = 1;
    SetPortIndex(0);
}

void TConnexion::SetLineMode(std::int32_t code)
{
    const TLineMode& mode = kLineModes[(code >= 0 && code <= 2) ? static_cast<std::size_t>(code) : 0];
    port_.SetParity(mode.parity);
    port_.SetStopBits(mode.stopBits);
}

void TConnexion::SetBaudCode(std::int32_t code)
{
    port_.SetRateRow(code >= 0 && code <= 5 ? static_cast<std::uint8_t>(code + 1) : 3);
}

void TConnexion::SetPortName(const std::string& name)
{
    if (name.empty())
        return;
    if (port_.Active()) {
        port_.SetActive(false);
        port_.SetPortName(name);
        port_.SetActive(true);
    } else {
        port_.SetPortName(name);
    }
}

void TConnexion::SetPortIndex(std::int32_t index)
{
    if (index == -1)
        return;
    SetPortName(std::string(kComPrefix) + std::to_string(static_cast<std::int64_t>(index) + 1));
}

std::int32_t TConnexion::GetPortIndex() const
{
    const auto number =
        ComNumber(port_.PortName(), {.prefix = kComPrefix, .signs = true, .min = INT32_MIN, .max = INT32_MAX});
    if (!number)
        return -1;
    return *number - 1 < 0 ? 0 : static_cast<std::int32_t>(*number - 1);
}

std::uint8_t TConnexion::Connect()
{
    try {
        port_.SetActive(true);
        return port_.Active() ? kStatusOk : kStatusNoPort;
    } catch (...) {
        return kStatusNoPort;
    }
}

void TConnexion::Disconnect()
{
    port_.SetActive(false);
}

std::uint8_t TConnexion::Exchange(const std::string& requestHex, std::string& answerHex)
{
    answerHex.clear();
    TByteString frame;
    frame.push_back(slaveId_);
    const TByteString pdu = HexTextToBytes(requestHex);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    frame = AppendCrc(std::move(frame));

    bool openedHere = false;
    if (!port_.Active()) {
        if (Connect() != kStatusOk)
            return kStatusNoPort;
        openedHere = true;
    }

    std::uint8_t status = kStatusOk;
    TByteString answer;
    port_.Purge();
    port_.Write(frame.data(), frame.size());  // a frame over 256 bytes is not transmitted
    if (slaveId_ != 0) {
        const bool echo = port_.Echo();
        status = CollectAnswer(echo ? frame.size() : 0, answer);
        if (status == kStatusOk && echo) {
            if (answer.size() < frame.size())
                status = kStatusFrame;
            else if (answer.size() == frame.size())
                status = kStatusNoAnswer;  // only our own request came back
            else
                answer.erase(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(frame.size()));
        }
    }
    if (openedHere)
        Disconnect();

    if (status != kStatusOk)
        return status;
    if (slaveId_ == 0)
        return kStatusOk;
    if (answer.empty())
        return kStatusNoAnswer;
    if (answer[0] != slaveId_)
        return kStatusFrame;
    if (!CheckCrc(answer))
        return kStatusCrc;
    answerHex = BytesToHexText(TByteString(answer.begin() + 1, answer.end() - 2));
    return kStatusOk;
}

std::uint8_t TConnexion::CollectAnswer(std::size_t echoSize, TByteString& answer)
{
    using Clock = std::chrono::steady_clock;
    // A line that never falls silent is given up rather than collected without end: once the
    // answer runs past the longest one accepted, or past the time that one takes on the line
    // plus the silence that ends it. The time counts from the first byte; with the echo, the
    // slave's turn-round between echo and answer may add up to one more silence.
    const std::size_t limit = kMaxAnswer + echoSize;
    const int silence = port_.SilenceMs();
    const Clock::duration window = std::chrono::microseconds(port_.LineTimeMicros(limit))
                                   + std::chrono::milliseconds(silence * (echoSize > 0 ? 2 : 1));
    Clock::time_point deadline{};
    std::uint8_t octet = 0;
    for (;;) {
        int budget = silence;
        if (!answer.empty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            budget = static_cast<int>(std::min<std::int64_t>(left, silence));
        }
        if (port_.ReadWithin(&octet, 1, budget) != 1) {
            // A connection closed by the far end before the line fell silent: an answer broken off
            // there is no frame (a whole one, which passes its CRC, stands).
            if (port_.Dropped() && answer.size() > echoSize
                && !CheckCrc(TByteString(answer.begin() + static_cast<std::ptrdiff_t>(echoSize), answer.end())))
                return kStatusFrame;
            // Silence ends the answer, unless the read was cut short by the end of the window.
            return budget < silence && Clock::now() >= deadline ? kStatusFrame : kStatusOk;
        }
        if (answer.empty())
            deadline = Clock::now() + window;
        answer.push_back(octet);
        if (answer.size() > limit)
            return kStatusFrame;
    }
}

TResultCode TConnexion::ExchangeCode(const std::string& requestHex, std::string& answerHex)
{
    return ResultCodeFromIndex(Exchange(requestHex, answerHex));
}

TResultCode TConnexion::ReadRegisters(std::uint8_t function, std::uint16_t address, std::uint16_t quantity,
                                      std::uint8_t& count, TZoneSpan data)
{
    try {
        if (slaveId_ == 0)
            return kResBadId;
        count = 0;
        std::fill(data.begin(), data.end(), 0);
        std::string answerHex;
        const TResultCode code = ExchangeCode(Hex8(function) + Hex16(address) + Hex16(quantity), answerHex);
        if (code != kResOk)
            return code;
        const TByteString answer = HexTextToBytes(answerHex);
        if (const TResultCode exception = ExceptionOf(answer, function); exception != kResOk)
            return exception;
        const std::uint8_t n = At(answer, 1);
        count = n;
        for (std::size_t i = 0; i < n; ++i)
            data[i] = At(answer, 2 + i);
        return kResOk;
    } catch (...) {
        return kResIoError;
    }
}

TResultCode TConnexion::WriteRegister(std::uint8_t function, std::uint16_t address, std::uint8_t high, std::uint8_t low)
{
    try {
        const std::string request = Hex8(function) + Hex16(address) + Hex8(high) + Hex8(low);
        std::string answerHex;
        TResultCode code = kResOk;
        for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
            code = ExchangeCode(request, answerHex);
            if (code == kResOk)
                break;
        }
        if (code != kResOk)
            return code;
        if (slaveId_ == 0)
            return kResOk;
        return ExceptionOf(HexTextToBytes(answerHex), function);
    } catch (...) {
        return kResIoError;
    }
}

TResultCode TConnexion::ResetModule()
{
    try {
        std::string answerHex;
        const TResultCode code = ExchangeCode(Hex8(modbus::kReset), answerHex);
        if (code != kResOk)
            return code;
        return ExceptionOf(HexTextToBytes(answerHex), modbus::kReset);
    } catch (...) {
        return kResIoError;
    }
}

TResultCode TConnexion::RawExchange(TZoneSpan data, std::uint32_t& length)
{
    try {
        if (length >= kTailleZone)
            return kResBadParam;
        const std::string request = BytesToHexText(TByteString(data.begin(), data.begin() + length));
        std::fill(data.begin(), data.end(), 0);
        std::string answerHex;
        const TResultCode code = ExchangeCode(request, answerHex);
        if (code != kResOk) {
            length = 0;
            return code;
        }
        const TByteString answer = HexTextToBytes(answerHex);
        const std::size_t n = std::min(answer.size(), data.size());
        std::copy_n(answer.begin(), n, data.begin());
        length = static_cast<std::uint32_t>(n);
        return kResOk;
    } catch (...) {
        return kResIoError;
    }
}
