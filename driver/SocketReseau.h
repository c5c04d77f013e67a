// The TCP client calls of the network line, one implementation per platform: POSIX sockets
// (SocketPosix.cpp) and Winsock (SocketWin32.cpp). Times are monotonic nanoseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace netio {

using TSocket = std::intptr_t;
inline constexpr TSocket kNoSocket = -1;

std::int64_t NowNanos();
void SleepUntil(std::int64_t deadline);

// A connected, non-blocking TCP socket with Nagle's delay off, or kNoSocket when the host cannot
// be resolved or no address of it connects before the deadline. elapsed: the time the
// successful connect took.
TSocket Connect(const std::string& host, std::uint16_t port, std::int64_t deadline, std::int64_t& elapsed);

enum class TWait : std::uint8_t { Ready, TimedOut, Failed };
// Waits until the socket can be read (or written), or the deadline passes; looks at least once.
TWait Wait(TSocket s, bool forWriting, std::int64_t deadline);

// Counts of bytes; 0 from Receive: closed by the peer; -1: nothing now; -2: fault.
std::int64_t Send(TSocket s, const std::uint8_t* octets, std::size_t n);
std::int64_t Receive(TSocket s, std::uint8_t* octets, std::size_t n);
void Close(TSocket s);

// The serial server's name a port name stands for, empty for a device: the name itself, or (on
// POSIX systems) the text of the COMn link it resolves to.
std::string GatewayOf(const std::string& name);

}  // namespace netio
