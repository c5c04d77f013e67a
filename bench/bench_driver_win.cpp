// Driver benchmark of korvane.dll under Wine, on COM5 of the prefix with the Linux peer:
//  (a) the single-byte read time-out of each rate row against its nominal value,
//  (b) two-register input reads per second with the port held open and with it closed,
//  (c) CPU time of the calling thread per transaction.
// The counterpart of bench_driver (the Linux library on a pseudo-terminal).
#include "PeerClient.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "LigneWin32.h"
#include "UtilKorvane.h"
#include "comrs.h"
#include "korvane.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCom = 5;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double ThreadCpuMs()
{
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& f) {
        return ((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

void ReadTimeouts()
{
    std::printf("(a) single-byte read time-out, 20 reads per row, silent peer\n");
    std::printf("    row  baud   nominal  mean      median    early-most  late-most\n");
    for (std::uint8_t row = 1; row <= 6; ++row) {
        TComPort port(std::make_unique<TWin32SerialLine>());
        port.SetPortName("\\\\.\\COM5");
        port.SetRateRow(row);
        if (!port.Open()) {
            std::printf("    cannot open COM5\n");
            return;
        }
        const double nominal = ReadTimeoutsFor(row, 1).totalMs;
        std::vector<double> dev;
        for (int i = 0; i < 20; ++i) {
            std::uint8_t b = 0;
            const auto t0 = Clock::now();
            port.Read(&b, 1);
            dev.push_back(MsSince(t0) - nominal);
        }
        std::vector<double> sorted = dev;
        std::sort(sorted.begin(), sorted.end());
        double sum = 0;
        for (double d : dev)
            sum += d;
        std::printf("    %u    %-6u %5.0f ms  %+.3f ms  %+.3f ms  %+.3f ms   %+.3f ms\n", row, RateRowEntry(row).baud,
                    nominal, sum / static_cast<double>(dev.size()), sorted[sorted.size() / 2], sorted.front(),
                    sorted.back());
        port.Close();
    }
}

void Transactions(TPeerClient& peer, std::int32_t baudCode, bool held, int count)
{
    peer.AnswerAll(kCom, 8, AppendCrc({0x01, 0x04, 0x04, 0x3F, 0x80, 0x00, 0x00}));
    MODBUS_SetupConnect(4, 2, baudCode, 1);
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
            codes.push_back(' ');
            codes.append(std::to_string(r));
        }
    }
    const double wall = MsSince(t0);
    const double cpu = ThreadCpuMs() - cpu0;
    MODBUS_ClosePort();
    const long answered = peer.Stop(kCom);
    std::printf(
        "    baud code %d, port %-6s: %3d reads in %7.1f ms = %6.2f /s, %6.1f ms each, CPU %.3f ms each, %d failed%s (%ld answered)\n",
        baudCode, held ? "held" : "closed", count, wall, count * 1000.0 / wall, wall / count, cpu / count, failures,
        codes.c_str(), answered);
}

}  // namespace

int main()
{
    TPeerClient peer;
    ReadTimeouts();
    std::printf("(b)+(c) MODBUS_ReadInputRegisters(0, 2) against a prompt peer\n");
    // Wine counts a thread's CPU time in 10 ms ticks: 500 reads resolve 0.02 ms per read.
    Transactions(peer, 2, true, 500);
    Transactions(peer, 5, true, 500);
    Transactions(peer, 2, false, 20);
    Transactions(peer, 5, false, 20);
    return 0;
}
