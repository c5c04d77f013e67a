// Test peer on a pseudo-terminal pair: the driver opens the slave side by its path, the test
// plays the slave device on the master side (reads request frames, answers, stays silent,
// babbles or hangs up). Every wait is on data with a deadline, never a fixed sleep.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TypesKorvane.h"

class TPeerPty {
public:
    TPeerPty()
    {
        std::array<char, 128> name{};
        if (::openpty(&master_, &slave_, name.data(), nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        slavePath_ = name.data();
        // Raw on both sides, so nothing is translated before the driver configures the line.
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }

    ~TPeerPty()
    {
        Join();
        CloseMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }

    TPeerPty(const TPeerPty&) = delete;
    TPeerPty& operator=(const TPeerPty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    // The peer's own descriptor on the slave side: it keeps the terminal alive between the
    // driver's opens and lets tests read the line settings back.
    int SlaveFd() const { return slave_; }

    // Up to n bytes: returns once n have arrived or timeoutMs has passed.
    TByteString Receive(std::size_t n, int timeoutMs = 3000)
    {
        TByteString got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n && master_ >= 0) {
            std::array<std::uint8_t, 512> buf{};
            const ssize_t r = ::read(master_, buf.data(), std::min(buf.size(), n - got.size()));
            if (r > 0) {
                got.insert(got.end(), buf.begin(), buf.begin() + r);
                continue;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0 && std::chrono::steady_clock::now() >= deadline)
                break;
        }
        return got;
    }

    // Everything the driver has written and the peer not yet read.
    TByteString Drain()
    {
        TByteString got;
        std::array<std::uint8_t, 512> buf{};
        ssize_t r = 0;
        while (master_ >= 0 && (r = ::read(master_, buf.data(), buf.size())) > 0)
            got.insert(got.end(), buf.begin(), buf.begin() + r);
        return got;
    }

    void Send(const TByteString& octets)
    {
        std::size_t sent = 0;
        while (sent < octets.size() && master_ >= 0) {
            const ssize_t w = ::write(master_, octets.data() + sent, octets.size() - sent);
            if (w > 0) {
                sent += static_cast<std::size_t>(w);
            } else {
                pollfd p{master_, POLLOUT, 0};
                if (::poll(&p, 1, 1000) <= 0)
                    break;
            }
        }
    }

    void CloseMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    // Runs the peer's part on its own thread.
    void Run(std::function<void(TPeerPty&)> script)
    {
        Join();
        thread_ = std::thread([this, script = std::move(script)] {
            // A device answers within microseconds; on a loaded machine a plain thread can be
            // woken after the driver's silence limit. Ask for real-time priority where allowed
            // (the peer always blocks in poll, it never spins); carry on without it otherwise.
            sched_param param{};
            param.sched_priority = 1;
            (void)::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param);
            script(*this);
        });
    }

    // Answers the next request: reads as many bytes as `expected` has into `received`, then
    // sends `answer` (nothing if empty).
    void Serve(std::size_t requestSize, TByteString answer, TByteString* received = nullptr)
    {
        Run([requestSize, answer = std::move(answer), received](TPeerPty& p) {
            TByteString got = p.Receive(requestSize);
            if (received != nullptr)
                *received = got;
            if (got.size() == requestSize && !answer.empty())
                p.Send(answer);
        });
    }

    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::thread thread_;
};
