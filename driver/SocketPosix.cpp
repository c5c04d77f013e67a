#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "DeviceNames.h"
#include "ExecutableDir.h"
#include "SocketReseau.h"

namespace netio {

namespace {

short Poll(int fd, short events, std::int64_t deadline)
{
    for (;;) {
        const std::int64_t left = deadline - NowNanos();
        pollfd p{fd, events, 0};
        const timespec ts{static_cast<time_t>(left > 0 ? left / 1000000000 : 0),
                          static_cast<long>(left > 0 ? left % 1000000000 : 0)};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0)
            return p.revents;
        if (r == 0 || errno != EINTR)
            return r == 0 ? 0 : POLLERR;
    }
}

int ConnectTo(const addrinfo& a, std::int64_t deadline)
{
    const int fd = ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0)
        return -1;
    if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
        if (errno != EINPROGRESS || !(Poll(fd, POLLOUT, deadline) & (POLLOUT | POLLERR | POLLHUP))) {
            ::close(fd);
            return -1;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            ::close(fd);
            return -1;
        }
    }
    int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

}  // namespace

std::int64_t NowNanos()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void SleepUntil(std::int64_t deadline)
{
    const std::int64_t left = deadline - NowNanos();
    if (left <= 0)
        return;
    timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

TSocket Connect(const std::string& host, std::uint16_t port, std::int64_t deadline, std::int64_t& elapsed)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return kNoSocket;
    int fd = -1;
    for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        const std::int64_t start = NowNanos();
        fd = ConnectTo(*a, deadline);
        elapsed = NowNanos() - start;
    }
    ::freeaddrinfo(found);
    return fd < 0 ? kNoSocket : fd;
}

TWait Wait(TSocket s, bool forWriting, std::int64_t deadline)
{
    const short want = forWriting ? POLLOUT : POLLIN;
    const short got = Poll(static_cast<int>(s), want, deadline);
    if (got == 0)
        return TWait::TimedOut;
    // A hang-up or an error is taken up by the next read or write.
    return TWait::Ready;
}

std::int64_t Send(TSocket s, const std::uint8_t* octets, std::size_t n)
{
    const ssize_t w = ::send(static_cast<int>(s), octets, n, MSG_NOSIGNAL);
    if (w >= 0)
        return w;
    return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK ? -1 : -2;
}

std::int64_t Receive(TSocket s, std::uint8_t* octets, std::size_t n)
{
    const ssize_t r = ::recv(static_cast<int>(s), octets, n, 0);
    if (r >= 0)
        return r;
    return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK ? -1 : -2;
}

void Close(TSocket s)
{
    if (s != kNoSocket)
        ::close(static_cast<int>(s));
}

std::string GatewayOf(const std::string& name)
{
    return GatewayTarget(name, ExecutableDir());
}

}  // namespace netio
