// POSIX serial line: termios for the line settings, poll() on the monotonic clock for the
// millisecond time-outs, flock() plus TIOCEXCL for exclusive use.
#pragma once

#include <termios.h>

#include "comrs.h"

// speed_t constant of a baud rate; 9600 for a rate the table does not know.
speed_t SpeedConstant(std::uint32_t baud);

// The base attributes turned into a raw 8-bit line without flow control or character
// translation, with the speed, parity (with input parity checking) and stop bits of the
// settings. A byte received with a parity or framing error is delivered as a plain (wrong)
// byte; reads never block in the driver (VMIN = VTIME = 0).
termios TermiosFor(const termios& base, const TLineSettings& settings);

class TPosixSerialLine final : public TSerialLine {
public:
    TPosixSerialLine() = default;
    ~TPosixSerialLine() override;
    bool Open(const std::string& name, const TLineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    void Purge() override;
    std::size_t Write(const std::uint8_t* octets, std::size_t n, int timeoutMs) override;
    std::size_t Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits) override;
    void Pause(int ms) override;

private:
    int fd_ = -1;
};
