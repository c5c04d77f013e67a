// TComPort: the driver's one serial port, opened exclusively and configured for MODBUS RTU.
// The operating-system side sits behind TSerialLine so that the port logic (rate table,
// time-outs, open/close life cycle) does not depend on the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "LineCodes.h"

// Line parameters handed to the platform at open time.
struct TLineSettings {
    std::uint32_t baud = 9600;
    std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even; any other value counts as none
    std::uint8_t stopBits = 0;  // 0 one stop bit, 1 two stop bits; any other value counts as one
};

// Time limits of one read: it ends after totalMs, or earlier once at least one byte has
// arrived and the line has then been idle for intervalMs.
struct TReadTimeouts {
    int totalMs = 0;
    int intervalMs = 0;
};

// Rows 1 to 6 of the rate table (baud codes 0 to 5); any other row number falls back to row 3
// (9600 baud).
TRateRow RateRowEntry(std::uint8_t row);

// (r + 20) per byte plus 20 in total, r + 20 between bytes.
TReadTimeouts ReadTimeoutsFor(std::uint8_t row, std::size_t n);

// (w + 20) per byte plus 20.
int WriteTimeoutFor(std::uint8_t row, std::size_t n);

// Bits of one character on the line: the start bit, 8 data bits, a parity bit when parity is
// odd or even, and one or two stop bits.
int CharacterBits(std::uint8_t parity, std::uint8_t stopBits);

// Time n characters take on the line at the row's speed with the given parity and stop bits,
// in microseconds, rounded up.
std::int64_t LineTimeMicros(std::uint8_t row, std::uint8_t parity, std::uint8_t stopBits, std::size_t n);

// The five time-out values a port gets at open, in milliseconds, as the Windows serial layer
// takes them: a read of n bytes ends after readMultiplier * n + readConstant, or earlier once
// the line has been idle readInterval after a byte; a write of n bytes after
// writeMultiplier * n + writeConstant. The same limits as ReadTimeoutsFor and WriteTimeoutFor.
struct TPortTimeouts {
    std::uint32_t readInterval;
    std::uint32_t readMultiplier;
    std::uint32_t readConstant;
    std::uint32_t writeMultiplier;
    std::uint32_t writeConstant;
};
TPortTimeouts PortTimeoutsFor(std::uint8_t row);

// The row of a baud rate of the table; 3 (9600 baud) for any other rate.
std::uint8_t RateRowOfBaud(std::uint32_t baud);

// What the port needs of the platform. Every call blocks its caller; none throws.
class TSerialLine {
public:
    virtual ~TSerialLine() = default;
    // Opens the device exclusively with the given settings; false leaves the line closed.
    virtual bool Open(const std::string& name, const TLineSettings& settings) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Discards both queues.
    virtual void Purge() = 0;
    // Sends n bytes, returning once they have left or after timeoutMs; the count sent.
    virtual std::size_t Write(const std::uint8_t* octets, std::size_t n, int timeoutMs) = 0;
    // Receives up to n bytes within the time limits; the count received, 0 on silence or fault.
    virtual std::size_t Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits) = 0;
    // Suspends the calling thread. A line that can learn during the pause that its device has
    // gone (a serial server that refuses a second client) closes itself.
    virtual void Pause(int ms) = 0;
    // The last read ended because the far end closed the connection (network lines only).
    virtual bool Dropped() const { return false; }
};

// The platform's serial line (termios on POSIX systems).
std::unique_ptr<TSerialLine> MakePlatformLine();
// The line of a port: the platform's serial line, or a serial server's line when the name (or
// the COMn link it resolves to) is a serial server's name, chosen at each open (LigneReseau.h).
std::unique_ptr<TSerialLine> MakePortLine();

class TComPort {
public:
    static constexpr std::size_t kMaxBlock = 256;
    static constexpr int kOpenPauseMs = 200;

    TComPort();
    explicit TComPort(std::unique_ptr<TSerialLine> line);
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // Opens (when closed) or closes (when open). Every open attempt is followed by a pause of
    // 200 ms, whatever its outcome; opening an open port does nothing. A line that closed itself
    // during the pause counts as not opened.
    void SetActive(bool active);
    bool Open();
    // Releases the device; leaves the open flag as it is (SetActive(false) clears it).
    void Close();
    void Purge();
    // 1 to 256 bytes; anything else sends nothing. The count written, 0 on failure.
    std::size_t Write(const std::uint8_t* octets, std::size_t n);
    // Up to n bytes (1 to 256) with the time-outs of the current rate row.
    std::size_t Read(std::uint8_t* octets, std::size_t n);
    // The same, but ended after budgetMs when that is shorter than the read's total time-out;
    // a budget of 0 or less reads nothing.
    std::size_t ReadWithin(std::uint8_t* octets, std::size_t n, int budgetMs);

    // Time-out of a single-byte read: the silence that ends an answer.
    int SilenceMs() const { return ReadTimeoutsFor(rateRow_, 1).totalMs; }
    // Time n characters take on the line with the current settings, in microseconds.
    std::int64_t LineTimeMicros(std::size_t n) const { return ::LineTimeMicros(rateRow_, parity_, stopBits_, n); }
    // The last read ended because the far end of a network line closed the connection.
    bool Dropped() const { return line_->Dropped(); }

    void SetPortName(const std::string& name) { portName_ = name; }
    void SetRateRow(std::uint8_t row) { rateRow_ = row; }
    void SetParity(std::uint8_t parity) { parity_ = parity; }
    void SetStopBits(std::uint8_t stopBits) { stopBits_ = stopBits; }
    void SetEcho(bool echo) { echo_ = echo; }
    void SetOptions(bool second, bool third)
    {
        second_ = second;
        third_ = third;
    }

    const std::string& PortName() const { return portName_; }
    std::uint8_t RateRow() const { return rateRow_; }
    std::uint8_t Parity() const { return parity_; }
    std::uint8_t StopBits() const { return stopBits_; }
    bool Echo() const { return echo_; }
    bool Active() const { return open_; }

private:
    std::uint8_t rateRow_ = 3;
    std::uint8_t parity_ = 0;
    std::uint8_t stopBits_ = 0;
    bool open_ = false;
    std::string portName_;
    bool echo_ = false;
    bool second_ = false;
    bool third_ = false;
    std::unique_ptr<TSerialLine> line_;
};
