// The network line of the Windows build (Winsock) against stand-in servers in the test itself:
// the bytes on the wire both ways, the Telnet com-port open, a refused connection, a connection
// closed mid-answer and the new one that follows. The POSIX build has the fuller suite against
// ser2net (test_gateway.cpp, test_gateway_faults.cpp).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <thread>

#include "SocketReseau.h"
#include "UniteKorvane.h"
#include "UtilKorvane.h"
#include "UtilSerial.h"

namespace {

// A listening socket on a free port of 127.0.0.1 whose script runs on a thread.
class TServer {
public:
    TServer()
    {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listen_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof a;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 4);
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
    }
    ~TServer()
    {
        if (thread_.joinable())
            thread_.join();
        ::closesocket(listen_);
        ::WSACleanup();
    }
    TServer(const TServer&) = delete;
    TServer& operator=(const TServer&) = delete;

    std::string Url(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_); }
    void Run(std::function<void(TServer&)> script)
    {
        thread_ = std::thread([this, script = std::move(script)] { script(*this); });
    }
    void Join() { thread_.join(); }

    SOCKET Accept()
    {
        if (netio::Wait(static_cast<netio::TSocket>(listen_), false, netio::NowNanos() + 5000000000LL)
            != netio::TWait::Ready)
            return INVALID_SOCKET;
        return ::accept(listen_, nullptr, nullptr);
    }
    // Bytes until `done`, the peer's close or 5 s.
    static TByteString ReceiveUntil(SOCKET s, const std::function<bool(const TByteString&)>& done)
    {
        TByteString got;
        const std::int64_t deadline = netio::NowNanos() + 5000000000LL;
        while (!done(got)) {
            if (netio::Wait(static_cast<netio::TSocket>(s), false, deadline) != netio::TWait::Ready)
                break;
            std::array<char, 512> buffer{};
            const int r = ::recv(s, buffer.data(), static_cast<int>(buffer.size()), 0);
            if (r <= 0)
                break;
            got.insert(got.end(), buffer.begin(), buffer.begin() + r);
        }
        return got;
    }
    static TByteString Receive(SOCKET s, std::size_t n)
    {
        return ReceiveUntil(s, [n](const TByteString& b) { return b.size() >= n; });
    }
    static void Send(SOCKET s, const TByteString& octets)
    {
        ::send(s, reinterpret_cast<const char*>(octets.data()), static_cast<int>(octets.size()), 0);
    }

private:
    SOCKET listen_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

std::unique_ptr<TConnexion> Through(const std::string& url)
{
    auto c = std::make_unique<TConnexion>();
    c->SetPortName(url);
    c->SetBaudCode(3);
    c->SetLineMode(2);
    return c;
}

std::string ReadHolding7(TConnexion& c)
{
    std::uint8_t count = 0;
    std::array<std::uint8_t, kTailleZone> data{};
    const TResultCode code = c.ReadRegisters(modbus::kReadHolding, 7, 1, count, data);
    return code != kResOk ? "result " + std::to_string(code)
                          : BytesToHexText(TByteString(data.begin(), data.begin() + count));
}

const TByteString kRequest = AppendCrc(HexTextToBytes("010300070001"));

TEST(NetworkLine, RawAndTelnetBytesOnTheWire)
{
    TServer raw;
    TByteString rawRequest;
    raw.Run([&rawRequest](TServer& s) {
        const SOCKET fd = s.Accept();
        rawRequest = TServer::Receive(fd, kRequest.size());
        TServer::Send(fd, AppendCrc(HexTextToBytes("010302FFFF")));
        TServer::Receive(fd, 1);
        ::closesocket(fd);
    });
    auto c = Through(raw.Url("tcp"));
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(ReadHolding7(*c), "FFFF");
    c->Disconnect();
    raw.Join();
    EXPECT_EQ(BytesToHexText(rawRequest), BytesToHexText(kRequest));

    TServer telnet;
    TByteString request;
    telnet.Run([&request](TServer& s) {
        const SOCKET fd = s.Accept();
        TServer::Send(fd, HexTextToBytes("FFFD2C"));
        const TByteString control = HexTextToBytes("FFFA2C0501FFF0");
        TServer::ReceiveUntil(fd, [&control](const TByteString& b) {
            return std::search(b.begin(), b.end(), control.begin(), control.end()) != b.end();
        });
        for (int i = 0; i < 3; ++i) {  // the settings, then two queries of the baud rate
            TServer::Send(fd, HexTextToBytes("FFFA2C6500004B00FFF0"));
            if (i < 2)
                TServer::Receive(fd, 10);
        }
        request = TServer::Receive(fd, 7 + kRequest.size());      // purge, then the request
        TServer::Send(fd, HexTextToBytes("010302FFFFFFFFB9F4"));  // 01 03 02 FF FF, doubled
        TServer::Receive(fd, 1);
        ::closesocket(fd);
    });
    c = Through(telnet.Url("rfc2217"));
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(ReadHolding7(*c), "FFFF");
    c->Disconnect();
    telnet.Join();
    EXPECT_EQ(BytesToHexText(request), "FFFA2C0C03FFF0" + BytesToHexText(kRequest));
}

TEST(NetworkLine, RefusedClosedMidAnswerAndReconnected)
{
    std::string closedUrl;
    {
        const TServer gone;
        closedUrl = gone.Url("tcp");
    }
    EXPECT_EQ(Through(closedUrl)->Connect(), kStatusNoPort);

    TServer server;
    server.Run([](TServer& s) {
        SOCKET fd = s.Accept();
        TServer::Receive(fd, kRequest.size());
        TServer::Send(fd, HexTextToBytes("010302"));
        ::closesocket(fd);
        fd = s.Accept();
        TServer::Receive(fd, kRequest.size());
        TServer::Send(fd, AppendCrc(HexTextToBytes("0103020A0B")));
        TServer::Receive(fd, 1);
        ::closesocket(fd);
    });
    auto c = Through(server.Url("tcp"));
    ASSERT_EQ(c->Connect(), kStatusOk);
    EXPECT_EQ(ReadHolding7(*c), "result " + std::to_string(kResFrameError));
    EXPECT_EQ(ReadHolding7(*c), "0A0B");
    c->Disconnect();
}

}  // namespace
