#include "LigneReseau.h"

#include <algorithm>
#include <array>
#include <string>

#include "SocketReseau.h"

namespace {

using TNanos = std::int64_t;

TNanos Now()
{
    return netio::NowNanos();
}

constexpr TNanos Millis(int ms)
{
    return static_cast<TNanos>(ms) * 1000000;
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
    TNanos elapsed = 0;
    fd_ = netio::Connect(gateway_.host, gateway_.port, deadline, elapsed);
    if (fd_ == netio::kNoSocket)
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
    netio::Close(fd_);
    fd_ = netio::kNoSocket;
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
        const std::int64_t w = netio::Send(fd_, octets.data() + sent, octets.size() - sent);
        if (w > 0) {
            sent += static_cast<std::size_t>(w);
            continue;
        }
        if (w != -1 || netio::Wait(fd_, true, deadline) == netio::TWait::TimedOut)
            return false;
    }
    return true;
}

bool TNetworkLine::Receive(TNanos deadline)
{
    if (fd_ == netio::kNoSocket)
        return false;
    if (netio::Wait(fd_, false, deadline) == netio::TWait::TimedOut)
        return false;
    std::array<std::uint8_t, 1024> buffer{};
    const std::int64_t r = netio::Receive(fd_, buffer.data(), buffer.size());
    if (r == -1)
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
        rx_.insert(rx_.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
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
    if (!open_ || fd_ == netio::kNoSocket)
        return;
    // Take in whatever has arrived (a late answer, the server's notices) and drop its data.
    while (fd_ != netio::kNoSocket && netio::Wait(fd_, false, Now()) != netio::TWait::TimedOut) {
        if (!Receive(Now() + Millis(1)))
            break;
    }
    rx_.clear();
    rxHead_ = 0;
    heldNanos_ = 0;
    if (fd_ != netio::kNoSocket && gateway_.kind == TGatewayKind::Rfc2217
        && !SendAll(TTelnetComPort::PurgeBoth(), Now() + Millis(kConnectLimitMs)))
        Disconnect();
}

std::size_t TNetworkLine::Write(const std::uint8_t* octets, std::size_t n, int timeoutMs)
{
    if (!open_)
        return 0;
    // A connection lost since the last request is made anew.
    if (fd_ == netio::kNoSocket && !Connect())
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
    while (fd_ != netio::kNoSocket && Receive(deadline)) {
    }
    if (open_ && dropped_)
        Close();
    netio::SleepUntil(deadline);
}

TSwitchingLine::TSwitchingLine(std::unique_ptr<TSerialLine> serial, std::unique_ptr<TSerialLine> network)
    : serial_(std::move(serial)), network_(std::move(network)), active_(serial_.get())
{
}

bool TSwitchingLine::Open(const std::string& name, const TLineSettings& settings)
{
    Close();
    const std::string gateway = netio::GatewayOf(name);
    active_ = gateway.empty() ? serial_.get() : network_.get();
    return active_->Open(gateway.empty() ? name : gateway, settings);
}

void TSwitchingLine::Close()
{
    serial_->Close();
    network_->Close();
}

std::unique_ptr<TSerialLine> MakePortLine()
{
    return std::make_unique<TSwitchingLine>(MakePlatformLine(), std::make_unique<TNetworkLine>());
}
