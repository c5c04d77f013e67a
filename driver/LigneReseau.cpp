#include "LigneReseau.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>

#include "DeviceNames.h"
#include "LignePosix.h"

namespace {

using TNanos = std::int64_t;

TNanos Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<TNanos>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

constexpr TNanos Millis(int ms)
{
    return static_cast<TNanos>(ms) * 1000000;
}

void SleepUntil(TNanos deadline)
{
    const TNanos left = deadline - Now();
    if (left <= 0)
        return;
    timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

// The revents of the wait, 0 once the deadline has passed.
short WaitUntil(int fd, short events, TNanos deadline)
{
    for (;;) {
        const TNanos left = deadline - Now();
        if (left <= 0)
            return 0;
        pollfd p{fd, events, 0};
        const timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0)
            return p.revents;
        if (r < 0 && errno != EINTR)
            return POLLERR;
    }
}

// A connected, non-blocking TCP socket to the address, or -1 once the deadline has passed or
// the connection was refused.
int ConnectTo(const addrinfo& a, TNanos deadline)
{
    const int fd = ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0)
        return -1;
    if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
        if (errno != EINPROGRESS || !(WaitUntil(fd, POLLOUT, deadline) & (POLLOUT | POLLERR | POLLHUP))) {
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
    // Requests are small and wanted on the line at once.
    int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

int RoundTripOf(TNanos elapsed)
{
    const TNanos ms = (elapsed + 999999) / 1000000;
    return static_cast<int>(std::clamp<TNanos>(ms, kMinRoundTripMs, kMaxRoundTripMs));
}

}  // namespace

TNetworkLine::~TNetworkLine()
{
    Close();
}

bool TNetworkLine::Open(const std::string& name, const TLineSettings& settings)
{
    Close();
    const auto gateway = ParseGatewayName(name);
    if (!gateway)
        return false;
    gateway_ = *gateway;
    settings_ = settings;
    characterNanos_ = static_cast<std::int64_t>(CharacterBits(settings.parity, settings.stopBits)) * 1000000000
                      / static_cast<std::int64_t>(settings.baud == 0 ? 9600 : settings.baud);
    if (!Connect())
        return false;
    open_ = true;
    return true;
}

bool TNetworkLine::Connect()
{
    Disconnect();
    dropped_ = false;
    pendingExtraNanos_ = 0;
    heldNanos_ = 0;
    rx_.clear();
    rxHead_ = 0;
    const TNanos deadline = Now() + Millis(kConnectLimitMs);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(gateway_.host.c_str(), std::to_string(gateway_.port).c_str(), &hints, &found) != 0)
        return false;
    TNanos elapsed = 0;
    for (const addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
        const TNanos start = Now();
        fd_ = ConnectTo(*a, deadline);
        elapsed = Now() - start;
    }
    ::freeaddrinfo(found);
    if (fd_ < 0)
        return false;
    roundTripMs_ = RoundTripOf(elapsed);
    if (gateway_.kind == TGatewayKind::Rfc2217 && !Negotiate(deadline)) {
        Disconnect();
        return false;
    }
    if (gateway_.latencyMs >= 0)
        roundTripMs_ = gateway_.latencyMs;
    return true;
}

bool TNetworkLine::Negotiate(TNanos deadline)
{
    telnet_ = TTelnetComPort{};
    if (!SendAll(telnet_.Greeting(), deadline))
        return false;
    while (!telnet_.ComPortAccepted()) {
        if (telnet_.ComPortRefused() || !Receive(deadline))
            return false;
    }
    // The settings go only to a server that has taken the option. Each acknowledgement of a baud
    // rate times a round trip; the first one also holds the server's own work on its device (at
    // its first client, opening it), so two queries of the baud rate, which change nothing, time
    // it again, and the shortest counts.
    TNanos shortest = 0;
    for (int i = 0; i < 3; ++i) {
        telnet_.ForgetBaudAcknowledgement();
        const TNanos sent = Now();
        if (!SendAll(i == 0 ? TTelnetComPort::LineSettings(settings_) : TTelnetComPort::BaudQuery(), deadline))
            return false;
        while (!telnet_.BaudAcknowledged()) {
            if (!Receive(deadline))
                return false;
        }
        shortest = i == 0 ? Now() - sent : std::min(shortest, Now() - sent);
    }
    roundTripMs_ = RoundTripOf(shortest);
    rx_.clear();  // whatever came before the settings is not part of any answer
    rxHead_ = 0;
    return true;
}

void TNetworkLine::Disconnect()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void TNetworkLine::Close()
{
    Disconnect();
    open_ = false;
    rx_.clear();
    rxHead_ = 0;
    pendingExtraNanos_ = 0;
}

bool TNetworkLine::SendAll(const TByteString& octets, TNanos deadline)
{
    std::size_t sent = 0;
    while (sent < octets.size()) {
        const ssize_t w = ::send(fd_, octets.data() + sent, octets.size() - sent, MSG_NOSIGNAL);
        if (w > 0) {
            sent += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        if (!(WaitUntil(fd_, POLLOUT, deadline) & POLLOUT))
            return false;
    }
    return true;
}

bool TNetworkLine::Receive(TNanos deadline)
{
    if (fd_ < 0)
        return false;
    if (WaitUntil(fd_, POLLIN, deadline) == 0)
        return false;
    std::array<std::uint8_t, 1024> buffer{};
    const ssize_t r = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return true;
    if (r <= 0) {
        // Closed by the server, or reset: what was received stays readable.
        dropped_ = true;
        Disconnect();
        return false;
    }
    if (rxHead_ > 0 && rxHead_ == rx_.size()) {
        rx_.clear();
        rxHead_ = 0;
    }
    const auto n = static_cast<std::size_t>(r);
    const std::size_t before = rx_.size();
    if (gateway_.kind == TGatewayKind::Raw) {
        rx_.insert(rx_.end(), buffer.begin(), buffer.begin() + r);
        heldNanos_ = static_cast<TNanos>(n) * characterNanos_;
        return true;
    }
    TByteString replies;
    telnet_.Feed(buffer.data(), n, rx_, replies);
    if (rx_.size() > before)
        heldNanos_ = static_cast<TNanos>(rx_.size() - before) * characterNanos_;
    if (!replies.empty() && !SendAll(replies, Now() + Millis(kConnectLimitMs))) {
        dropped_ = true;
        Disconnect();
        return false;
    }
    return true;
}

void TNetworkLine::Purge()
{
    if (!open_ || fd_ < 0)
        return;
    // Take in whatever has arrived (a late answer, the server's notices) and drop its data.
    while (fd_ >= 0) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0 || !Receive(Now() + Millis(1)))
            break;
    }
    rx_.clear();
    rxHead_ = 0;
    heldNanos_ = 0;
    if (fd_ >= 0 && gateway_.kind == TGatewayKind::Rfc2217
        && !SendAll(TTelnetComPort::PurgeBoth(), Now() + Millis(kConnectLimitMs)))
        Disconnect();
}

std::size_t TNetworkLine::Write(const std::uint8_t* octets, std::size_t n, int timeoutMs)
{
    if (!open_)
        return 0;
    // A connection lost since the last request is made anew.
    if (fd_ < 0 && !Connect())
        return 0;
    TByteString out;
    if (gateway_.kind == TGatewayKind::Raw)
        out.assign(octets, octets + n);
    else
        TTelnetComPort::AppendData(octets, n, out);
    if (!SendAll(out, Now() + Millis(timeoutMs))) {
        // Part of a request, or half of a doubled 0xFF, may have gone: the stream can no longer be
        // trusted, so the next request starts on a new connection.
        Disconnect();
        return 0;
    }
    pendingExtraNanos_ = Millis(AnswerAllowanceMs(roundTripMs_)) + static_cast<TNanos>(n) * characterNanos_;
    heldNanos_ = 0;
    return n;
}

std::size_t TNetworkLine::Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits)
{
    if (!open_)
        return 0;
    // The first read after a request waits one allowance longer; a read that waits for what
    // follows the bytes of the last chunk, as long as they took on the line.
    const TNanos extra = pendingExtraNanos_ > 0 ? pendingExtraNanos_ : Buffered() == 0 ? heldNanos_ : 0;
    const TNanos total = Now() + Millis(limits.totalMs) + extra;
    pendingExtraNanos_ = 0;
    TNanos idleEnd = total;
    std::size_t got = 0;
    while (got < n) {
        if (Buffered() > 0) {
            const std::size_t take = std::min(n - got, Buffered());
            std::copy_n(rx_.begin() + static_cast<std::ptrdiff_t>(rxHead_), take, octets + got);
            rxHead_ += take;
            got += take;
            idleEnd = std::min(Now() + Millis(limits.intervalMs) + heldNanos_, total);
            continue;
        }
        if (!Receive(got > 0 ? idleEnd : total))
            break;
    }
    return got;
}

void TNetworkLine::Pause(int ms)
{
    const TNanos deadline = Now() + Millis(ms);
    // A server that serves one client at a time tells a second one so and closes the connection
    // at once: watch for that while pausing.
    while (fd_ >= 0 && Receive(deadline)) {
    }
    if (open_ && dropped_)
        Close();
    SleepUntil(deadline);
}

TSwitchingLine::TSwitchingLine(std::unique_ptr<TSerialLine> serial, std::unique_ptr<TSerialLine> network)
    : serial_(std::move(serial)), network_(std::move(network)), active_(serial_.get())
{
}

bool TSwitchingLine::Open(const std::string& name, const TLineSettings& settings)
{
    Close();
    const std::string gateway = GatewayTarget(name, ExecutableDir());
    active_ = gateway.empty() ? serial_.get() : network_.get();
    return active_->Open(gateway.empty() ? name : gateway, settings);
}

void TSwitchingLine::Close()
{
    serial_->Close();
    network_->Close();
}

std::unique_ptr<TSerialLine> MakePlatformLine()
{
    return std::make_unique<TSwitchingLine>(std::make_unique<TPosixSerialLine>(), std::make_unique<TNetworkLine>());
}
