// A stand-in serial server on a free port of 127.0.0.1, for what a real one will not do on
// demand: close a connection mid-answer, go silent without closing, refuse the com-port option.
// Its script runs on a thread with the listening socket; every wait has a deadline.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "TypesKorvane.h"

namespace gatewaytest {

class TStandIn {
public:
    TStandIn()
    {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 4) != 0
            || ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            throw std::runtime_error("stand-in server: no socket");
        port_ = ntohs(a.sin_port);
    }
    ~TStandIn()
    {
        Join();
        ::close(listen_);
    }
    TStandIn(const TStandIn&) = delete;
    TStandIn& operator=(const TStandIn&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Url(const char* scheme, const std::string& query = "") const
    {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + query;
    }

    void Run(std::function<void(TStandIn&)> script)
    {
        Join();
        thread_ = std::thread([this, script = std::move(script)] { script(*this); });
    }
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    // The next client, or -1 after timeoutMs.
    int Accept(int timeoutMs = 5000)
    {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return -1;
        return ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    }

    // Bytes from fd until `done` says they are enough, the peer closes, or timeoutMs passes.
    static TByteString ReceiveUntil(int fd, const std::function<bool(const TByteString&)>& done, int timeoutMs = 5000)
    {
        TByteString got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done(got)) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            std::uint8_t buffer[512];
            const ssize_t r = ::recv(fd, buffer, sizeof buffer, 0);
            if (r <= 0)
                break;
            got.insert(got.end(), buffer, buffer + r);
        }
        return got;
    }
    static TByteString Receive(int fd, std::size_t n, int timeoutMs = 5000)
    {
        return ReceiveUntil(
            fd, [n](const TByteString& b) { return b.size() >= n; }, timeoutMs);
    }
    static void Send(int fd, const TByteString& octets)
    {
        std::size_t sent = 0;
        while (sent < octets.size()) {
            const ssize_t w = ::send(fd, octets.data() + sent, octets.size() - sent, MSG_NOSIGNAL);
            if (w <= 0)
                return;
            sent += static_cast<std::size_t>(w);
        }
    }

private:
    int listen_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

}  // namespace gatewaytest
