// Serial lines behind an Ethernet serial server, reached over TCP (SocketReseau.h): raw bytes
// ("tcp://HOST:PORT", the server owns the line settings) or Telnet with the com-port control
// option ("rfc2217://HOST:PORT", the settings go to the server at every open). The port above
// sees a serial line like any other: the same time-outs, the answer ended by the line's silence.
//
// Timing. Over the network the first byte of an answer comes later than on a local line: the
// request still has to cross the network and go out on the server's line after the driver's
// write has returned, and the answer has to come back, after the server has held its first
// bytes for a moment to send them together. So the first read after each write waits longer,
// by one allowance:
//     allowance = 20 ms + 2 x round trip + line time of the request
// The round trip is measured at every connection: the time of the TCP connect (raw), or the
// shortest of three exchanges with the server (RFC 2217: the line settings and two queries of
// the baud rate, each until the server's acknowledgement); it is taken within 1 to 1000 ms.
// "?latency=MS" at the end of the name (0 to 10000) stands for the round trip instead.
//
// A server passes bytes on in chunks: it holds what the line brings until the line pauses or its
// buffer is full (ser2net: 64 bytes), so within a long answer the network falls quiet while the
// line is busy. A chunk of k bytes stands for k character times on the line; the wait for what
// follows it is that much longer, so the silence that ends an answer is still the line's. The
// bounds on a line that never falls silent stay those of the serial line, give or take one chunk.
//
// Faults. A name that does not parse, a host that cannot be resolved, a refused or timed-out
// connection (2 s), a server that refuses the com-port option or closes the connection during
// the open and its pause (a server that serves one client at a time and is taken) fail the open.
// A connection the server closes later leaves the line open: the read under way ends (Dropped()
// tells so), and the next write connects anew.
#pragma once

#include <cstdint>
#include <memory>

#include "GatewayName.h"
#include "SocketReseau.h"
#include "TelnetComPort.h"
#include "comrs.h"

inline constexpr int kServerHoldMs = 20;
inline constexpr int kMinRoundTripMs = 1;
inline constexpr int kMaxRoundTripMs = 1000;

// The allowance, in milliseconds and without the request's line time, for a round trip.
constexpr int AnswerAllowanceMs(int roundTripMs)
{
    return kServerHoldMs + 2 * roundTripMs;
}

class TNetworkLine final : public TSerialLine {
public:
    static constexpr int kConnectLimitMs = 2000;

    TNetworkLine() = default;
    ~TNetworkLine() override;
    TNetworkLine(const TNetworkLine&) = delete;
    TNetworkLine& operator=(const TNetworkLine&) = delete;

    // name: a serial server's name (GatewayName.h).
    bool Open(const std::string& name, const TLineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    void Purge() override;
    std::size_t Write(const std::uint8_t* octets, std::size_t n, int timeoutMs) override;
    std::size_t Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits) override;
    void Pause(int ms) override;
    bool Dropped() const override { return dropped_; }

    // The round trip in force (measured or named) and whether a connection stands now.
    int RoundTripMs() const { return roundTripMs_; }
    bool Connected() const { return fd_ != netio::kNoSocket; }

private:
    bool Connect();
    bool Negotiate(std::int64_t deadline);
    void Disconnect();
    // Waits for bytes until the deadline and takes them in; false on time-out or a lost connection.
    bool Receive(std::int64_t deadline);
    bool SendAll(const TByteString& octets, std::int64_t deadline);
    std::size_t Buffered() const { return rx_.size() - rxHead_; }

    TGatewayName gateway_;
    TLineSettings settings_;
    bool open_ = false;
    bool dropped_ = false;
    netio::TSocket fd_ = netio::kNoSocket;
    int roundTripMs_ = 0;
    std::int64_t characterNanos_ = 0;
    std::int64_t pendingExtraNanos_ = 0;  // allowance for the first read after a write
    std::int64_t heldNanos_ = 0;          // line time of the data of the last chunk received
    TTelnetComPort telnet_;
    TByteString rx_;  // received data not yet read, from rxHead_ on
    std::size_t rxHead_ = 0;
};

// The line of a port: the serial device, or the serial server the name (or the COMn link it
// resolves to) names, chosen at each open.
class TSwitchingLine final : public TSerialLine {
public:
    TSwitchingLine(std::unique_ptr<TSerialLine> serial, std::unique_ptr<TSerialLine> network);
    bool Open(const std::string& name, const TLineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override { return active_->IsOpen(); }
    void Purge() override { active_->Purge(); }
    std::size_t Write(const std::uint8_t* octets, std::size_t n, int timeoutMs) override
    {
        return active_->Write(octets, n, timeoutMs);
    }
    std::size_t Read(std::uint8_t* octets, std::size_t n, const TReadTimeouts& limits) override
    {
        return active_->Read(octets, n, limits);
    }
    void Pause(int ms) override { active_->Pause(ms); }
    bool Dropped() const override { return active_->Dropped(); }

private:
    std::unique_ptr<TSerialLine> serial_;
    std::unique_ptr<TSerialLine> network_;
    TSerialLine* active_;
};
