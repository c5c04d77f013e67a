// A stand-in for the kernel32 calls of the Windows line: a scripted COM device that records
// every call, answers written frames through a responder, and behaves as an abort-on-error
// port does after a line error (every read and write fails until ClearCommError).
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "LigneWin32.h"
#include "TypesKorvane.h"

struct TFakeComState {
    std::vector<std::string> calls;
    // Open
    std::string openedName;
    DWORD access = 0, share = 0xFFFF, creation = 0, flags = 0;
    bool createFails = false;
    std::string failingStep;  // name of the configuration call that fails
    DWORD inQueue = 0, outQueue = 0;
    COMMTIMEOUTS timeouts{};
    DCB base{};  // what GetCommState reports
    DCB applied{};
    DWORD mask = 0;
    int deviceCloses = 0;
    // Transfers
    std::deque<std::uint8_t> incoming;
    std::vector<TByteString> writes;
    std::vector<DWORD> reads;  // the count each ReadFile asked for
    std::function<void(const TByteString&, TFakeComState&)> responder;
    bool immediateCompletion = false;  // ReadFile/WriteFile succeed at once instead of pending
    bool timeoutIsFailure = true;      // a read that times out reports ERROR_TIMEOUT (as Wine does)
    // Line errors: the byte at this position of the incoming stream (counted from 0 over all
    // reads) arrives with a parity error; it is lost and the port is in error from then on.
    long errorAtByte = -1;
    long delivered = 0;
    bool lineError = false;
    int clears = 0;
    // Events and waits
    int eventsCreated = 0, eventsClosed = 0;
    bool eventsManualReset = true, eventsInitiallyClear = true, eventsUnnamed = true;
    std::vector<DWORD> waits;
    std::vector<DWORD> sleeps;
    DWORD purgeFlags = 0;
    DWORD lastError = 0;

    void Answer(const TByteString& octets) { incoming.insert(incoming.end(), octets.begin(), octets.end()); }
};

namespace fakewin32 {

inline TFakeComState* g_state = nullptr;
inline const HANDLE kDevice = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x4C0));
inline ULONG_PTR g_nextEvent = 0x1000;

inline TFakeComState& S()
{
    return *g_state;
}

inline bool Step(const char* name)
{
    S().calls.push_back(name);
    if (S().failingStep == name) {
        S().lastError = ERROR_GEN_FAILURE;
        return false;
    }
    return true;
}

inline HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                                 DWORD flags, HANDLE templ)
{
    S().calls.push_back("CreateFileA");
    S().openedName = name;
    S().access = access;
    S().share = share;
    S().creation = creation;
    S().flags = flags;
    if (security != nullptr || templ != nullptr || S().createFails) {
        S().lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    return kDevice;
}

inline BOOL WINAPI CloseHandle(HANDLE h)
{
    if (h == kDevice) {
        S().calls.push_back("CloseHandle");
        ++S().deviceCloses;
    } else {
        S().calls.push_back("CloseHandle(event)");
        ++S().eventsClosed;
    }
    return TRUE;
}

inline BOOL WINAPI SetupComm(HANDLE, DWORD in, DWORD out)
{
    S().inQueue = in;
    S().outQueue = out;
    return Step("SetupComm");
}

inline BOOL WINAPI SetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t)
{
    S().timeouts = *t;
    return Step("SetCommTimeouts");
}

inline BOOL WINAPI GetCommState(HANDLE, LPDCB d)
{
    if (!Step("GetCommState"))
        return FALSE;
    *d = S().base;
    return TRUE;
}

inline BOOL WINAPI SetCommMask(HANDLE, DWORD mask)
{
    S().mask = mask;
    return Step("SetCommMask");
}

inline BOOL WINAPI SetCommState(HANDLE, LPDCB d)
{
    S().applied = *d;
    return Step("SetCommState");
}

inline BOOL WINAPI PurgeComm(HANDLE, DWORD flags)
{
    S().calls.push_back("PurgeComm");
    S().purgeFlags = flags;
    S().incoming.clear();
    return TRUE;
}

inline BOOL WINAPI ClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT status)
{
    S().calls.push_back("ClearCommError");
    ++S().clears;
    *errors = S().lineError ? CE_RXPARITY : 0;
    *status = COMSTAT{};
    status->cbInQue = static_cast<DWORD>(S().incoming.size());
    S().lineError = false;
    return TRUE;
}

inline HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    S().calls.push_back("CreateEventA");
    ++S().eventsCreated;
    S().eventsManualReset = S().eventsManualReset && manualReset;
    S().eventsInitiallyClear = S().eventsInitiallyClear && !initialState;
    S().eventsUnnamed = S().eventsUnnamed && name == nullptr;
    return reinterpret_cast<HANDLE>(g_nextEvent++);
}

// Completes an overlapped operation: immediately, or pending until the wait.
inline BOOL Complete(LPOVERLAPPED ov, DWORD error, DWORD count)
{
    ov->Internal = error;
    ov->InternalHigh = count;
    if (S().immediateCompletion && error == ERROR_SUCCESS)
        return TRUE;
    S().lastError = ERROR_IO_PENDING;
    return FALSE;
}

inline BOOL WINAPI ReadFile(HANDLE, LPVOID buffer, DWORD n, LPDWORD, LPOVERLAPPED ov)
{
    S().calls.push_back("ReadFile");
    S().reads.push_back(n);
    if (S().lineError) {
        S().lastError = ERROR_OPERATION_ABORTED;
        return FALSE;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    DWORD got = 0;
    while (got < n && !S().incoming.empty()) {
        const std::uint8_t b = S().incoming.front();
        S().incoming.pop_front();
        if (S().delivered++ == S().errorAtByte) {
            S().lineError = true;
            return Complete(ov, ERROR_OPERATION_ABORTED, got);
        }
        out[got++] = b;
    }
    if (got == 0)
        return Complete(ov, S().timeoutIsFailure ? ERROR_TIMEOUT : ERROR_SUCCESS, 0);
    return Complete(ov, ERROR_SUCCESS, got);
}

inline BOOL WINAPI WriteFile(HANDLE, LPCVOID buffer, DWORD n, LPDWORD, LPOVERLAPPED ov)
{
    S().calls.push_back("WriteFile");
    if (S().lineError) {
        S().lastError = ERROR_OPERATION_ABORTED;
        return FALSE;
    }
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    const TByteString frame(in, in + n);
    S().writes.push_back(frame);
    if (S().responder)
        S().responder(frame, S());
    return Complete(ov, ERROR_SUCCESS, n);
}

inline DWORD WINAPI WaitForSingleObject(HANDLE, DWORD ms)
{
    S().waits.push_back(ms);
    return WAIT_OBJECT_0;
}

inline BOOL WINAPI GetOverlappedResult(HANDLE, LPOVERLAPPED ov, LPDWORD count, BOOL wait)
{
    if (wait)
        S().calls.push_back("GetOverlappedResult(wait)");
    *count = static_cast<DWORD>(ov->InternalHigh);
    if (ov->Internal == ERROR_SUCCESS)
        return TRUE;
    S().lastError = static_cast<DWORD>(ov->Internal);
    return FALSE;
}

inline DWORD WINAPI GetLastError()
{
    return S().lastError;
}

inline VOID WINAPI Sleep(DWORD ms)
{
    S().sleeps.push_back(ms);
}

inline const TWin32Api kApi{
    CreateFileA,         CloseHandle,         SetupComm,      SetCommTimeouts, GetCommState, SetCommMask,
    SetCommState,        PurgeComm,           ClearCommError, CreateEventA,    ReadFile,     WriteFile,
    WaitForSingleObject, GetOverlappedResult, GetLastError,   Sleep,
};

}  // namespace fakewin32
