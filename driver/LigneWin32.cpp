#include "LigneWin32.h"

#include <algorithm>
#include <cstring>

const TWin32Api& SystemWin32Api()
{
    static const TWin32Api api{
        ::CreateFileA,         ::CloseHandle,         ::SetupComm,    ::SetCommTimeouts,
        ::GetCommState,        ::SetCommMask,         ::SetCommState, ::PurgeComm,
        ::ClearCommError,      ::CreateEventA,        ::ReadFile,     ::WriteFile,
        ::WaitForSingleObject, ::GetOverlappedResult, ::GetLastError, ::Sleep,
    };
    return api;
}

COMMTIMEOUTS CommTimeoutsFor(const TLineSettings& settings)
{
    const TPortTimeouts t = PortTimeoutsFor(RateRowOfBaud(settings.baud));
    COMMTIMEOUTS c{};
    c.ReadIntervalTimeout = t.readInterval;
    c.ReadTotalTimeoutMultiplier = t.readMultiplier;
    c.ReadTotalTimeoutConstant = t.readConstant;
    c.WriteTotalTimeoutMultiplier = t.writeMultiplier;
    c.WriteTotalTimeoutConstant = t.writeConstant;
    return c;
}

DCB DcbFor(const DCB& base, const TLineSettings& settings)
{
    DCB d = base;
    const bool parity = settings.parity == 1 || settings.parity == 2;
    d.BaudRate = RateRowEntry(RateRowOfBaud(settings.baud)).baud;
    d.ByteSize = 8;
    d.fBinary = TRUE;
    d.fParity = parity ? TRUE : FALSE;
    d.fOutxCtsFlow = FALSE;
    d.fOutxDsrFlow = FALSE;
    d.fDtrControl = DTR_CONTROL_DISABLE;
    d.fDsrSensitivity = FALSE;
    d.fTXContinueOnXoff = FALSE;
    d.fOutX = FALSE;
    d.fInX = FALSE;
    d.fErrorChar = FALSE;
    d.fNull = FALSE;
    d.fRtsControl = RTS_CONTROL_DISABLE;
    d.fAbortOnError = TRUE;
    d.fDummy2 = 0;
    d.Parity = settings.parity == 1 ? ODDPARITY : settings.parity == 2 ? EVENPARITY : NOPARITY;
    d.StopBits = settings.stopBits == 1 ? TWOSTOPBITS : ONESTOPBIT;
    return d;
}

TWin32SerialLine::~TWin32SerialLine()
{
    Close();
}

bool TWin32SerialLine::Open(const std::string& name, const TLineSettings& settings)
{
    Close();
    const std::string path = name;  // NUL-terminated copy of the port name
    const HANDLE h = api_.CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    COMMTIMEOUTS timeouts = CommTimeoutsFor(settings);
    DCB current{};
    current.DCBlength = sizeof current;
    bool ok = api_.SetupComm(h, kQueueSize, kQueueSize) && api_.SetCommTimeouts(h, &timeouts)
              && api_.GetCommState(h, &current) && api_.SetCommMask(h, EV_TXEMPTY);
    if (ok) {
        DCB wanted = DcbFor(current, settings);
        ok = api_.SetCommState(h, &wanted) != FALSE;
    }
    if (!ok) {
        api_.CloseHandle(h);
        return false;
    }
    handle_ = h;
    return true;
}

void TWin32SerialLine::Close()
{
    first_ = last_ = 0;
    if (event_ != nullptr) {
        api_.CloseHandle(event_);
        event_ = nullptr;
    }
    if (handle_ == INVALID_HANDLE_VALUE)
        return;
    api_.CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

void TWin32SerialLine::Purge()
{
    if (handle_ == INVALID_HANDLE_VALUE)
        return;
    first_ = last_ = 0;
    api_.PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
    // A line error that arrived while the port was idle would fail the coming transaction.
    ClearLineErrors();
}

std::size_t TWin32SerialLine::Write(const std::uint8_t* octets, std::size_t n, int /*timeoutMs*/)
{
    if (n == 0 || n > TComPort::kMaxBlock || handle_ == INVALID_HANDLE_VALUE)
        return 0;
    std::uint8_t block[TComPort::kMaxBlock];
    std::memcpy(block, octets, n);
    return Transfer(TDirection::kWrite, block, static_cast<DWORD>(n));
}

std::size_t TWin32SerialLine::Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& /*limits*/)
{
    if (n == 0 || n > TComPort::kMaxBlock || handle_ == INVALID_HANDLE_VALUE)
        return 0;
    if (first_ == last_)
        ReadAhead(static_cast<DWORD>(n));
    const std::size_t count = std::min(n, last_ - first_);
    std::memcpy(octets, ahead_.data() + first_, count);
    first_ += count;
    return count;
}

void TWin32SerialLine::ReadAhead(DWORD n)
{
    first_ = 0;
    last_ = Transfer(TDirection::kRead, ahead_.data(), n);
    if (last_ != n)
        return;
    DWORD errors = 0;
    COMSTAT status{};
    if (!api_.ClearCommError(handle_, &errors, &status) || status.cbInQue == 0)
        return;
    const auto more = static_cast<DWORD>(std::min<std::size_t>(status.cbInQue, ahead_.size() - last_));
    last_ += Transfer(TDirection::kRead, ahead_.data() + last_, more);
}

std::size_t TWin32SerialLine::Transfer(TDirection direction, std::uint8_t* octets, DWORD n)
{
    if (event_ == nullptr)
        event_ = api_.CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event_ == nullptr)
        return 0;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event_;
    const BOOL started = direction == TDirection::kRead ? api_.ReadFile(handle_, octets, n, nullptr, &overlapped)
                                                        : api_.WriteFile(handle_, octets, n, nullptr, &overlapped);
    DWORD failure = started ? ERROR_SUCCESS : api_.GetLastError();
    std::size_t count = 0;
    if (started || failure == ERROR_IO_PENDING) {
        failure = ERROR_SUCCESS;
        // No limit here: the port's time-outs end the operation. One that completed at once
        // has set the event already.
        if (started || api_.WaitForSingleObject(event_, INFINITE) == WAIT_OBJECT_0) {
            DWORD transferred = 0;
            if (!api_.GetOverlappedResult(handle_, &overlapped, &transferred, FALSE))
                failure = api_.GetLastError();
            // A read that timed out reports what arrived before (possibly nothing).
            count = transferred <= n ? transferred : 0;
        }
    }
    // A time-out is the ordinary end of a read; any other failure may be a line error, which
    // an abort-on-error port keeps until it is acknowledged: the bytes of the current answer
    // are then incomplete (its checks fail) and the next transaction finds the port working.
    if (failure != ERROR_SUCCESS && failure != ERROR_TIMEOUT)
        ClearLineErrors();
    return count;
}

void TWin32SerialLine::ClearLineErrors()
{
    DWORD errors = 0;
    COMSTAT status{};
    api_.ClearCommError(handle_, &errors, &status);
}

void TWin32SerialLine::Pause(int ms)
{
    api_.Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms));
}

std::unique_ptr<TSerialLine> MakePlatformLine()
{
    return std::make_unique<TWin32SerialLine>();
}
