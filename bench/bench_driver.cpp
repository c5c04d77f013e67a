// Driver benchmark over a pseudo-terminal with a prompt peer:
//  (a) the single-byte read time-out of each rate row against its nominal value,
//  (b) two-register input reads per second with the port held open and with it closed,
//  (c) CPU time of the calling thread per transaction.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "PeerPty.h"
#include "UtilKorvane.h"
#include "comrs.h"
#include "korvane.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double ThreadCpuMs()
{
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3
           + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void ReadTimeouts()
{
    std::printf("(a) single-byte read time-out, 20 reads per row, silent peer\n");
    std::printf("    row  baud   nominal  mean     early-most  late-most\n");
    TPeerPty peer;
    for (std::uint8_t row = 1; row <= 6; ++row) {
        TComPort port;
        port.SetPortName(peer.SlavePath());
        port.SetRateRow(row);
        if (!port.Open()) {
            std::printf("    cannot open %s\n", peer.SlavePath().c_str());
            return;
        }
        const double nominal = ReadTimeoutsFor(row, 1).totalMs;
        double sum = 0, lo = 1e9, hi = -1e9;
        const int runs = 20;
        for (int i = 0; i < runs; ++i) {
            std::uint8_t b = 0;
            const auto t0 = Clock::now();
            port.Read(&b, 1);
            const double dev = MsSince(t0) - nominal;
            sum += dev;
            lo = std::min(lo, dev);
            hi = std::max(hi, dev);
        }
        std::printf("    %u    %-6u %5.0f ms  %+.3f ms  %+.3f ms   %+.3f ms\n", row, RateRowEntry(row).baud, nominal,
                    sum / runs, lo, hi);
        port.Close();
    }
}

// A peer that answers every two-register input read at once.
struct PromptPeer {
    TPeerPty pty;
    std::atomic<bool> stop{false};
    PromptPeer()
    {
        pty.Run([this](TPeerPty& p) {
            const TByteString answer = AppendCrc({0x01, 0x04, 0x04, 0x3F, 0x80, 0x00, 0x00});
            while (!stop) {
                if (p.Receive(8, 100).size() == 8)
                    p.Send(answer);
            }
        });
    }
    ~PromptPeer()
    {
        stop = true;
        pty.Join();
    }
};

void Transactions(std::int32_t baudCode, bool held, int count)
{
    PromptPeer peer;
    MODBUS_SetupDevice(peer.pty.SlavePath().c_str());
    MODBUS_SetupConnect(-1, -1, baudCode, 1);
    if (held)
        MODBUS_OpenPort();
    std::uint8_t n = 0;
    TDataArea data{};
    int failures = 0;
    std::string codes;
    const double cpu0 = ThreadCpuMs();
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        const std::int32_t r = MODBUS_ReadInputRegisters(0, 2, &n, data.data());
        if (r != 0) {
            ++failures;
            codes += " " + std::to_string(r);
        }
    }
    const double wall = MsSince(t0);
    const double cpu = ThreadCpuMs() - cpu0;
    MODBUS_ClosePort();
    std::printf(
        "    baud code %d, port %-6s: %3d reads in %7.1f ms = %6.2f /s, %6.1f ms each, CPU %.3f ms each, %d failed%s\n",
        baudCode, held ? "held" : "closed", count, wall, count * 1000.0 / wall, wall / count, cpu / count, failures,
        codes.c_str());
}

}  // namespace

int main()
{
    ReadTimeouts();
    std::printf("(b)+(c) MODBUS_ReadInputRegisters(0, 2) against a prompt peer\n");
    // Enough held-open reads for the CPU figure to stand beside the DLL's, which Wine counts in
    // 10 ms ticks.
    Transactions(2, true, 500);
    Transactions(5, true, 500);
    Transactions(2, false, 20);
    Transactions(5, false, 20);
    return 0;
}
