// POSIX serial line: termios for the line settings, poll() on the monotonic clock for the
// millisecond time-outs, flock() plus TIOCEXCL for exclusive use (a terminal already in exclusive
// mode is refused, also to root).
#pragma once

#include <termios.h>

#include <functional>
#include <utility>

#include "comrs.h"

// speed_t constant of a baud rate; 9600 for a rate the table does not know.
speed_t SpeedConstant(std::uint32_t baud);

// The base attributes turned into a raw 8-bit line without flow control or character
// translation, with the speed, parity (with input parity checking) and stop bits of the
// settings. A byte received with a parity or framing error is delivered as a plain (wrong)
// byte; reads never block in the driver (VMIN = VTIME = 0).
termios TermiosFor(const termios& base, const TLineSettings& settings);

// Whether fd is the terminal side of a pseudo-terminal pair, told by its device number, which
// holds through any symbolic link or device node name.
bool IsPseudoTerminal(int fd);

// The calls through which the line reads and applies the device's settings and tells a
// pseudo-terminal from a serial port. The defaults are the system's own; tests put in their own
// to play a device that refuses a setting.
struct TLineCalls {
    std::function<int(int fd, termios* attributes)> getAttr = ::tcgetattr;
    std::function<int(int fd, int when, const termios* attributes)> setAttr = ::tcsetattr;
    std::function<bool(int fd)> isPseudoTerminal = IsPseudoTerminal;
};

class TPosixSerialLine final : public TSerialLine {
public:
    TPosixSerialLine() = default;
    explicit TPosixSerialLine(TLineCalls calls) : calls_(std::move(calls)) {}
    ~TPosixSerialLine() override;
    bool Open(const std::string& name, const TLineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    void Purge() override;
    std::size_t Write(const std::uint8_t* octets, std::size_t n, int timeoutMs) override;
    std::size_t Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits) override;
    void Pause(int ms) override;

private:
    TLineCalls calls_;
    int fd_ = -1;
    std::int64_t characterNanos_ = 0;  // time of one character at the open line's settings
};
