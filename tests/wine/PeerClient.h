// The Windows test programs' end of the control channel to the Linux peer (PeerWine.cpp): one
// loopback TCP connection, one command line out and one answer line back. The peer plays the
// device on each COM port of the Wine prefix.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "TypesKorvane.h"
#include "UtilSerial.h"

class TPeerClient {
public:
    TPeerClient()
    {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
        const char* port = std::getenv("VANTOR_PEER_PORT");
        if (port == nullptr)
            throw std::runtime_error("VANTOR_PEER_PORT is not set: run under korvane_wine_peer (tests/wine/wine-run)");
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = ::htons(static_cast<u_short>(std::atoi(port)));
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        if (socket_ == INVALID_SOCKET || ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot reach the peer on port " + std::string(port));
    }
    ~TPeerClient()
    {
        if (socket_ != INVALID_SOCKET)
            ::closesocket(socket_);
        ::WSACleanup();
    }
    TPeerClient(const TPeerClient&) = delete;
    TPeerClient& operator=(const TPeerClient&) = delete;

    std::string Command(const std::string& line)
    {
        const std::string out = line + "\n";
        if (::send(socket_, out.data(), static_cast<int>(out.size()), 0) != static_cast<int>(out.size()))
            throw std::runtime_error("peer gone");
        for (;;) {
            const auto nl = pending_.find('\n');
            if (nl != std::string::npos) {
                std::string answer = pending_.substr(0, nl);
                pending_.erase(0, nl + 1);
                if (answer.rfind("error", 0) == 0)
                    throw std::runtime_error("peer: " + answer + " (" + line + ")");
                return answer;
            }
            char buf[1024];
            const int n = ::recv(socket_, buf, sizeof buf, 0);
            if (n <= 0)
                throw std::runtime_error("peer gone");
            pending_.append(buf, static_cast<std::size_t>(n));
        }
    }

    // On COM `com`: read `count` request bytes, then send `answer` (nothing if empty).
    void Serve(int com, std::size_t count, const TByteString& answer)
    {
        Command("serve " + std::to_string(com) + " " + std::to_string(count) + " " + Hex(answer));
    }
    // The same, sending back the request first, as an echoing adapter does.
    void ServeEcho(int com, std::size_t count, const TByteString& answer)
    {
        Command("echo " + std::to_string(com) + " " + std::to_string(count) + " " + Hex(answer));
    }
    // What the last Serve read.
    TByteString Join(int com) { return Bytes(Command("join " + std::to_string(com))); }
    TByteString Drain(int com) { return Bytes(Command("drain " + std::to_string(com))); }
    TByteString Receive(int com, std::size_t count, int ms)
    {
        return Bytes(
            Command("receive " + std::to_string(com) + " " + std::to_string(count) + " " + std::to_string(ms)));
    }
    void Send(int com, const TByteString& octets) { Command("send " + std::to_string(com) + " " + Hex(octets)); }
    // From now on every request of `count` bytes on COM `com` gets `answer`, until Stop.
    void AnswerAll(int com, std::size_t count, const TByteString& answer)
    {
        Command("answer " + std::to_string(com) + " " + std::to_string(count) + " " + Hex(answer));
    }
    long Stop(int com) { return std::stol(Command("stop " + std::to_string(com))); }
    void Lock(int com) { Command("lock " + std::to_string(com)); }
    void Unlock(int com) { Command("unlock " + std::to_string(com)); }
    // "<baud> <data bits> <parity N|E|O> <stop bits>" as the terminal was set.
    std::string Settings(int com) { return Command("settings " + std::to_string(com)); }

private:
    static std::string Hex(const TByteString& octets) { return octets.empty() ? "-" : BytesToHexText(octets); }
    static TByteString Bytes(const std::string& hex) { return hex == "-" ? TByteString{} : HexTextToBytes(hex); }

    SOCKET socket_ = INVALID_SOCKET;
    std::string pending_;
};

// True when the program runs under Wine (whose ntdll has wine_get_version).
inline bool UnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
