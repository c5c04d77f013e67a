// Simulator figures: answer latency (end of the request to the first answer byte) over 1000
// requests, and the CPU time the idle simulator uses. Run: build/bench/bench_sim [idle seconds]
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "SimVantor.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int OpenMaster(const std::string& path, speed_t speed)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::perror("open");
        std::exit(1);
    }
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Latency of n reads of holding register 6 (request 01 03 00 06 00 01 64 0B, 7-byte answer).
void Latency(const char* label, speed_t speed, int n)
{
    vantor::sim::SimBus bus;
    bus.AddSensor(1);
    const int fd = OpenMaster(bus.DevicePath(), speed);
    const unsigned char request[] = {0x01, 0x03, 0x00, 0x06, 0x00, 0x01, 0x64, 0x0B};
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(n));
    int lost = 0;
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        if (write(fd, request, sizeof request) != static_cast<ssize_t>(sizeof request))
            std::exit(1);
        const auto sent = Clock::now();
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) != 1) {
            ++lost;
            continue;
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
        unsigned char answer[16];
        std::size_t got = 0;
        while (got < 7 && poll(&p, 1, 100) == 1) {
            const ssize_t r = read(fd, answer + got, sizeof answer - got);
            if (r <= 0)
                break;
            got += static_cast<std::size_t>(r);
        }
        if (got != 7)
            ++lost;
    }
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    close(fd);
    std::sort(us.begin(), us.end());
    auto at = [&](double q) {
        return us.empty() ? 0.0 : us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1))];
    };
    std::printf(
        "%-12s %5d requests: latency median %.3f ms, p99 %.3f ms, worst %.3f ms, best %.3f ms; "
        "lost %d; %.2f s wall, %.3f s CPU (both ends)\n",
        label, n, at(0.5) / 1000, at(0.99) / 1000, us.empty() ? 0.0 : us.back() / 1000,
        us.empty() ? 0.0 : us.front() / 1000, lost, wall, cpu);
}

void Idle(int seconds, bool withMaster)
{
    vantor::sim::SimBus bus;
    bus.AddSensor(1);
    bus.AddSensor(5);
    const int fd = withMaster ? OpenMaster(bus.DevicePath(), B19200) : -1;
    const double cpu0 = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpu0;
    if (fd >= 0)
        close(fd);
    std::printf("idle %d s, 2 sensors, %s: CPU %.6f s (%.4f %% of one core)\n", seconds,
                withMaster ? "device held open by a master" : "no master", cpu, 100.0 * cpu / seconds);
}

}  // namespace

int main(int argc, char** argv)
{
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    Latency("38400 baud", B38400, 1000);
    Latency("19200 baud", B19200, 1000);
    Latency("9600 baud", B9600, 300);
    Idle(idleSeconds, false);
    Idle(idleSeconds, true);
    return 0;
}
