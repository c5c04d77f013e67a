// A real serial server for the tests: ser2net (Debian package), started on a free port of
// 127.0.0.1 with a configuration written for it, in front of a simulated sensor bus (vantor-sim
// on a pseudo-terminal), and stopped again with its folder removed. The test waits for the
// server's listening socket to show in /proc/net/tcp, with a deadline.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "SimTestProgram.h"

namespace gatewaytest {

// A port of 127.0.0.1 that nothing listens on right now.
inline std::uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        throw std::runtime_error("no free port");
    ::close(fd);
    return ntohs(a.sin_port);
}

// Whether some socket listens on 127.0.0.1:port.
inline bool Listening(std::uint16_t port)
{
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A")
            return true;
    }
    return false;
}

// vantor-sim with the given options; its pseudo-terminal's path from its first line.
class TSimBus {
public:
    explicit TSimBus(std::vector<std::string> args) : program_(std::move(args))
    {
        const std::string first = program_.Line();
        if (first.rfind("device ", 0) != 0)
            throw std::runtime_error("vantor-sim did not start: " + first);
        device_ = first.substr(7);
    }
    ~TSimBus() { program_.StopWith(SIGTERM); }
    const std::string& Device() const { return device_; }

private:
    simtest::SimProgram program_;
    std::string device_;
};

enum class TMode { Rfc2217, Raw };

class TSer2net {
public:
    // lineSpec: the line settings the server sets on the device at each connection ("19200n81").
    TSer2net(const std::string& device, TMode mode, const std::string& lineSpec = "19200n81") : mode_(mode)
    {
        char dir[] = "/tmp/vantor-ser2net-XXXXXX";
        if (::mkdtemp(dir) == nullptr)
            throw std::runtime_error("mkdtemp");
        dir_ = dir;
        port_ = FreePort();
        const std::string config = dir_ + "/ser2net.yaml";
        {
            std::ofstream f(config);
            f << "connection: &gateway\n"
              << "    accepter: " << (mode == TMode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp") << ",127.0.0.1," << port_
              << "\n"
              << "    enable: on\n"
              << "    connector: serialdev," << device << "," << lineSpec << ",local\n";
        }
        const std::string log = dir_ + "/ser2net.log";
        const std::string pidFile = dir_ + "/ser2net.pid";
        pid_ = ::fork();
        if (pid_ == 0) {
            std::FILE* out = std::freopen(log.c_str(), "w", stdout);
            (void)out;
            ::dup2(1, 2);
            ::execlp("ser2net", "ser2net", "-n", "-u", "-c", config.c_str(), "-P", pidFile.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Listening(port_)) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("ser2net ended before listening (is it installed?)");
            }
            if (std::chrono::steady_clock::now() > deadline) {
                Stop();
                throw std::runtime_error("ser2net does not listen");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // polling a condition, with a deadline
        }
    }
    ~TSer2net()
    {
        Stop();
        std::error_code e;
        std::filesystem::remove_all(dir_, e);
    }
    TSer2net(const TSer2net&) = delete;
    TSer2net& operator=(const TSer2net&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Url() const
    {
        return std::string(mode_ == TMode::Rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
    }
    void Stop()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    TMode mode_;
    std::string dir_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace gatewaytest
