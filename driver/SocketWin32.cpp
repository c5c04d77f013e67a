// Winsock side of the network line (ws2_32.dll). select() rather than WSAPoll, which older
// systems and Wine's versions lack in places.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "GatewayName.h"
#include "SocketReseau.h"

namespace netio {

namespace {

bool Started()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET Handle(TSocket s)
{
    return static_cast<SOCKET>(s);
}

// select() on one socket until the deadline; true when it is ready (or in fault).
bool Select(SOCKET s, bool forWriting, std::int64_t deadline)
{
    const std::int64_t left = deadline - NowNanos();
    const std::int64_t micros = left > 0 ? (left + 999) / 1000 : 0;
    timeval tv{static_cast<long>(micros / 1000000), static_cast<long>(micros % 1000000)};
    fd_set ready;
    fd_set faults;
    FD_ZERO(&ready);
    FD_ZERO(&faults);
    FD_SET(s, &ready);
    FD_SET(s, &faults);
    const int r = ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &faults, &tv);
    return r != 0;
}

}  // namespace

std::int64_t NowNanos()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    const LONGLONG seconds = now.QuadPart / frequency;
    const LONGLONG rest = now.QuadPart % frequency;
    return static_cast<std::int64_t>(seconds) * 1000000000 + static_cast<std::int64_t>(rest * 1000000000 / frequency);
}

void SleepUntil(std::int64_t deadline)
{
    for (;;) {
        const std::int64_t left = deadline - NowNanos();
        if (left <= 0)
            return;
        ::Sleep(static_cast<DWORD>((left + 999999) / 1000000));
    }
}

TSocket Connect(const std::string& host, std::uint16_t port, std::int64_t deadline, std::int64_t& elapsed)
{
    if (!Started())
        return kNoSocket;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return kNoSocket;
    SOCKET connected = INVALID_SOCKET;
    for (const addrinfo* a = found; a != nullptr && connected == INVALID_SOCKET; a = a->ai_next) {
        const std::int64_t start = NowNanos();
        SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET)
            continue;
        u_long nonBlocking = 1;
        bool ok = ::ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
        if (ok && ::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            int error = 0;
            int size = sizeof error;
            ok = ::WSAGetLastError() == WSAEWOULDBLOCK && Select(s, true, deadline)
                 && ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
        }
        if (!ok) {
            ::closesocket(s);
            continue;
        }
        BOOL one = TRUE;
        (void)::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        elapsed = NowNanos() - start;
        connected = s;
    }
    ::freeaddrinfo(found);
    return connected == INVALID_SOCKET ? kNoSocket : static_cast<TSocket>(connected);
}

TWait Wait(TSocket s, bool forWriting, std::int64_t deadline)
{
    for (;;) {
        if (Select(Handle(s), forWriting, deadline))
            return TWait::Ready;
        if (NowNanos() >= deadline)
            return TWait::TimedOut;
    }
}

std::int64_t Send(TSocket s, const std::uint8_t* octets, std::size_t n)
{
    const int w = ::send(Handle(s), reinterpret_cast<const char*>(octets), static_cast<int>(n), 0);
    if (w != SOCKET_ERROR)
        return w;
    const int error = ::WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR ? -1 : -2;
}

std::int64_t Receive(TSocket s, std::uint8_t* octets, std::size_t n)
{
    const int r = ::recv(Handle(s), reinterpret_cast<char*>(octets), static_cast<int>(n), 0);
    if (r != SOCKET_ERROR)
        return r;
    const int error = ::WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR ? -1 : -2;
}

void Close(TSocket s)
{
    if (s != kNoSocket)
        ::closesocket(Handle(s));
}

std::string GatewayOf(const std::string& name)
{
    return IsGatewayName(name) ? name : std::string();
}

}  // namespace netio
