// Benchmark of vantor-cli: each command run as a process against simulated sensors on a
// pseudo-terminal at 19200 baud, the best and the median of several runs set against its floor.
//
//   bench_cli [runs, default 3]
//
// A transaction cannot end before the driver's single-byte read time-out has passed after the
// last answer byte (41 ms at 19200 baud), and the command's opening of the port costs one
// 200 ms pause. Floors:
//   scan (127 addresses, one sensor)   200 + 127 x (41 + 10) ms
//   info (5 reads)                     200 + 5 x 41 ms
//   read (3 reads)                     200 + 3 x 41 ms
//   report --seconds 10                200 + 6 x 41 ms (identity, configuration, monitoring)
//                                      + 10 000 ms of recording + the simulated self test (800 ms,
//                                      from its request on) + 41 ms (the status read that sees it end)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "SimVantor.h"

namespace {

constexpr double kLectureMs = 41.0;
constexpr double kOuvertureMs = 200.0;

double LanceMs(const std::vector<std::string>& arguments)
{
    std::fflush(nullptr);  // the child must not write out the parent's buffered text again
    const auto debut = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(126);
        std::vector<char*> argv{const_cast<char*>(VANTOR_CLI_PROGRAM)};
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VANTOR_CLI_PROGRAM, argv.data());
        _exit(127);
    }
    int statut = 0;
    waitpid(pid, &statut, 0);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - debut).count();
    if (!WIFEXITED(statut) || WEXITSTATUS(statut) != 0) {
        std::fprintf(stderr, "vantor-cli %s failed\n", arguments[0].c_str());
        std::exit(1);
    }
    return ms;
}

void Mesure(const char* nom, const std::vector<std::string>& arguments, double plancher, int essais)
{
    std::vector<double> durees;
    for (int i = 0; i < essais; ++i)
        durees.push_back(LanceMs(arguments));
    std::sort(durees.begin(), durees.end());
    const double meilleur = durees.front(), median = durees[durees.size() / 2];
    std::printf("%-22s best %8.0f ms, median %8.0f ms, floor %8.0f ms: best %+6.1f %%, median %+6.1f %%\n", nom,
                meilleur, median, plancher, 100.0 * (meilleur - plancher) / plancher,
                100.0 * (median - plancher) / plancher);
}

}  // namespace

int main(int argc, char** argv)
{
    const int essais = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    vantor::sim::SimBus bus;
    bus.AddSensor(5);
    const std::string port = bus.DevicePath();
    const std::string rapport = "/tmp/bench-cli-report-" + std::to_string(getpid()) + ".html";

    std::printf("vantor-cli against a simulated sensor at address 5, 19200 baud, %d runs each\n", essais);
    Mesure("scan 1..127", {"scan", "--port", port}, kOuvertureMs + 127 * (kLectureMs + 10), essais);
    Mesure("info", {"info", "--port", port, "--id", "5"}, kOuvertureMs + 5 * kLectureMs, essais);
    Mesure("read", {"read", "--port", port, "--id", "5"}, kOuvertureMs + 3 * kLectureMs, essais);
    Mesure("report --seconds 10", {"report", "--port", port, "--id", "5", "--out", rapport, "--seconds", "10"},
           kOuvertureMs + 6 * kLectureMs + 10000 + 800 + kLectureMs, essais);
    std::remove(rapport.c_str());
    return 0;
}
