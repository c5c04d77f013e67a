#include "comrs.h"

#include <algorithm>
#include <optional>

TRateRow RateRowEntry(std::uint8_t row)
{
    return (row >= 1 && row <= 6) ? kRates[row - 1] : kRates[2];
}

TReadTimeouts ReadTimeoutsFor(std::uint8_t row, std::size_t n)
{
    const int perByte = RateRowEntry(row).readAllowance + 20;
    return {perByte * static_cast<int>(n) + 20, perByte};
}

int WriteTimeoutFor(std::uint8_t row, std::size_t n)
{
    return (RateRowEntry(row).writeAllowance + 20) * static_cast<int>(n) + 20;
}

int CharacterBits(std::uint8_t parity, std::uint8_t stopBits)
{
    return 1 + 8 + ((parity == 1 || parity == 2) ? 1 : 0) + (stopBits == 1 ? 2 : 1);
}

std::int64_t LineTimeMicros(std::uint8_t row, std::uint8_t parity, std::uint8_t stopBits, std::size_t n)
{
    const std::int64_t bits = static_cast<std::int64_t>(n) * CharacterBits(parity, stopBits);
    const std::int64_t baud = RateRowEntry(row).baud;
    return (bits * 1000000 + baud - 1) / baud;
}

TPortTimeouts PortTimeoutsFor(std::uint8_t row)
{
    const TRateRow entry = RateRowEntry(row);
    const auto perByteRead = static_cast<std::uint32_t>(entry.readAllowance + 20);
    const auto perByteWrite = static_cast<std::uint32_t>(entry.writeAllowance + 20);
    return {perByteRead, perByteRead, 20, perByteWrite, 20};
}

std::uint8_t RateRowOfBaud(std::uint32_t baud)
{
    const std::optional<int> code = BaudCode(baud);
    return code ? static_cast<std::uint8_t>(*code + 1) : 3;
}

TComPort::TComPort() : TComPort(MakePortLine()) {}

TComPort::TComPort(std::unique_ptr<TSerialLine> line) : line_(std::move(line)) {}

TComPort::~TComPort() = default;

void TComPort::SetActive(bool active)
{
    if (active) {
        if (open_)
            return;
        open_ = Open();
        line_->Pause(kOpenPauseMs);
        open_ = open_ && line_->IsOpen();
    } else if (open_) {
        Close();
        open_ = false;
    }
}

bool TComPort::Open()
{
    if (line_->IsOpen())
        line_->Close();
    TLineSettings settings;
    settings.baud = RateRowEntry(rateRow_).baud;
    settings.parity = parity_;
    settings.stopBits = stopBits_;
    return line_->Open(portName_, settings);
}

void TComPort::Close()
{
    line_->Close();
}

void TComPort::Purge()
{
    if (line_->IsOpen())
        line_->Purge();
}

std::size_t TComPort::Write(const std::uint8_t* octets, std::size_t n)
{
    if (n == 0 || n > kMaxBlock || !line_->IsOpen())
        return 0;
    return line_->Write(octets, n, WriteTimeoutFor(rateRow_, n));
}

std::size_t TComPort::Read(std::uint8_t* octets, std::size_t n)
{
    return ReadWithin(octets, n, ReadTimeoutsFor(rateRow_, n).totalMs);
}

std::size_t TComPort::ReadWithin(std::uint8_t* octets, std::size_t n, int budgetMs)
{
    if (n == 0 || n > kMaxBlock || !line_->IsOpen() || budgetMs <= 0)
        return 0;
    TReadTimeouts limits = ReadTimeoutsFor(rateRow_, n);
    limits.totalMs = std::min(limits.totalMs, budgetMs);
    return line_->Read(octets, n, limits);
}
