// Windows serial line: a COM device opened exclusively for overlapped I/O, configured with one
// DCB and the port's own time-outs, every read and write waited for on the port's one event.
#pragma once

#include <windows.h>

#include <array>

#include "comrs.h"

// The kernel32 calls of the line, as a table: the system's by default, a stand-in in tests.
struct TWin32Api {
    decltype(&::CreateFileA) CreateFileA;
    decltype(&::CloseHandle) CloseHandle;
    decltype(&::SetupComm) SetupComm;
    decltype(&::SetCommTimeouts) SetCommTimeouts;
    decltype(&::GetCommState) GetCommState;
    decltype(&::SetCommMask) SetCommMask;
    decltype(&::SetCommState) SetCommState;
    decltype(&::PurgeComm) PurgeComm;
    decltype(&::ClearCommError) ClearCommError;
    decltype(&::CreateEventA) CreateEventA;
    decltype(&::ReadFile) ReadFile;
    decltype(&::WriteFile) WriteFile;
    decltype(&::WaitForSingleObject) WaitForSingleObject;
    decltype(&::GetOverlappedResult) GetOverlappedResult;
    decltype(&::GetLastError) GetLastError;
    decltype(&::Sleep) Sleep;
};

const TWin32Api& SystemWin32Api();

// The port's five time-outs for the rate row of the settings' baud rate.
COMMTIMEOUTS CommTimeoutsFor(const TLineSettings& settings);

// The device's DCB with the line settings: 8 data bits, the baud rate, parity and stop bits, and
// the flag word replaced as a whole (binary mode and abort-on-error, parity checking with odd or
// even parity, nothing else). Fields not named keep the base's values.
DCB DcbFor(const DCB& base, const TLineSettings& settings);

class TWin32SerialLine final : public TSerialLine {
public:
    static constexpr DWORD kQueueSize = 256;

    explicit TWin32SerialLine(const TWin32Api& api = SystemWin32Api()) : api_(api) {}
    ~TWin32SerialLine() override;
    TWin32SerialLine(const TWin32SerialLine&) = delete;
    TWin32SerialLine& operator=(const TWin32SerialLine&) = delete;

    // The name is handed to CreateFileA as it stands ("\\.\COM5").
    bool Open(const std::string& name, const TLineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    void Purge() override;
    // The time limits are those set at open from the same rate row (PortTimeoutsFor); the
    // device ends each operation by itself, so the limits passed here are not used again.
    std::size_t Write(const std::uint8_t* octets, std::size_t n, int timeoutMs) override;
    // A read that finds bytes taken ahead returns them at once, as the device does with bytes
    // already in its queue. Otherwise it reads from the device as asked, and when that gives all
    // it asked for, takes whatever else has arrived in the same go, for the reads that follow:
    // an answer read byte by byte costs a few device reads, not one per byte.
    std::size_t Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits) override;
    void Pause(int ms) override;

private:
    enum class TDirection { kRead, kWrite };
    // One overlapped transfer on the port's manual-reset event; the count the device reports.
    std::size_t Transfer(TDirection direction, std::uint8_t* octets, DWORD n);
    // Reads n bytes or fewer from the device, then what has arrived beyond them, into ahead_.
    void ReadAhead(DWORD n);
    // Acknowledges a parity, framing or overrun error, after which an abort-on-error device
    // fails every operation until the error is cleared.
    void ClearLineErrors();

    const TWin32Api& api_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr;  // made at the first transfer, closed with the device
    // Bytes read from the device and not yet handed out: ahead_[first_, last_).
    std::array<std::uint8_t, 2 * TComPort::kMaxBlock> ahead_{};
    std::size_t first_ = 0;
    std::size_t last_ = 0;
};
