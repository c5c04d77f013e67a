// A hand-built MODBUS master for the simulator tests: raw bytes on the pseudo-terminal.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// "01 03 00 06" -> bytes.
inline Bytes Hex(const std::string& text)
{
    Bytes out;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair)
        out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
    return out;
}

inline std::string ToHex(const Bytes& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (auto b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

class TestMaster {
public:
    explicit TestMaster(const std::string& path, speed_t speed = B38400)
    {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0)
            throw std::runtime_error("cannot open " + path);
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        tcsetattr(fd_, TCSANOW, &tio);
        tcflush(fd_, TCIOFLUSH);
    }
    ~TestMaster() { close(fd_); }
    TestMaster(const TestMaster&) = delete;
    TestMaster& operator=(const TestMaster&) = delete;

    void Send(const Bytes& frame)
    {
        if (write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
            throw std::runtime_error("short write");
    }

    // Collects bytes until the line stays idle for `idle` after the last one; nothing at all
    // within `first` gives an empty answer. At most `limit` bytes.
    Bytes Receive(std::chrono::milliseconds first = 500ms, std::chrono::milliseconds idle = 25ms,
                  std::size_t limit = 1024)
    {
        Bytes out;
        auto wait = first;
        while (out.size() < limit) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(wait.count())) <= 0)
                break;
            std::uint8_t buf[256];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0)
                break;
            out.insert(out.end(), buf, buf + n);
            wait = idle;
        }
        return out;
    }

    // True when no byte arrives within the time.
    bool Quiet(std::chrono::milliseconds t = 80ms)
    {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, static_cast<int>(t.count())) == 0;
    }

    Bytes Transact(const Bytes& request)
    {
        Send(request);
        return Receive();
    }
    std::string Transact(const std::string& request) { return ToHex(Transact(Hex(request))); }

    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace simtest
