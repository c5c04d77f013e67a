// Benchmark of the field commands of vantor-cli, each run as a process against simulated
// sensors that hear only their own baud rate and line mode, set against its floor:
//
//   bench_terrain [runs, default 3]
//
// find, a sensor at 38400 baud, no parity, address 93: the settings tried before it are
// 19200 and 9600 baud with the three line modes each, then 38400 without parity up to address
// 93. The floor is the sum of the scan floors of those settings: 127 x (single-byte read
// time-out + 10 ms) for each whole setting, 93 x (41 + 10) ms for the last; the read time-out is
// 42 ms at 9600 baud and 41 ms at 19200 and 38400 (the scan's floor leaves out its one opening of
// the port, and so does this sum).
//
// config apply, address 1 -> 17 and 19200 -> 38400 baud: two openings of the port (the first,
// and the one at the new rate) of 200 ms each, and seven transactions of at least 41 ms: the
// three reads of the settings, the write of register 6, the three reads back.
//
// report --seconds 10: the record's own Line section (transactions, failures by kind, response
// times) is printed.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "SimVantor.h"

namespace {

using vantor::sim::BusOptions;
using vantor::sim::LineMode;
using vantor::sim::SimBus;

constexpr double kOuvertureMs = 200.0;

double LanceMs(const std::vector<std::string>& arguments, std::string* sortie = nullptr)
{
    std::fflush(nullptr);
    int tube[2];
    if (pipe(tube) != 0)
        std::exit(1);
    const auto debut = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(tube[1], 1);
        close(tube[0]);
        close(tube[1]);
        std::vector<char*> argv{const_cast<char*>(VANTOR_CLI_PROGRAM)};
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VANTOR_CLI_PROGRAM, argv.data());
        _exit(127);
    }
    close(tube[1]);
    std::string texte;
    char tampon[4096];
    for (ssize_t n; (n = read(tube[0], tampon, sizeof tampon)) > 0;)
        texte.append(tampon, static_cast<std::size_t>(n));
    close(tube[0]);
    int statut = 0;
    waitpid(pid, &statut, 0);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - debut).count();
    if (!WIFEXITED(statut) || WEXITSTATUS(statut) != 0) {
        std::fprintf(stderr, "vantor-cli %s failed: %s\n", arguments[0].c_str(), texte.c_str());
        std::exit(1);
    }
    if (sortie)
        *sortie = texte;
    return ms;
}

void Affiche(const char* nom, std::vector<double> durees, double plancher)
{
    std::sort(durees.begin(), durees.end());
    const double meilleur = durees.front(), median = durees[durees.size() / 2], pire = durees.back();
    std::printf("%-40s best %8.0f ms, median %8.0f ms, worst %8.0f ms, floor %8.0f ms: worst %+6.1f %%\n", nom,
                meilleur, median, pire, plancher, 100.0 * (pire - plancher) / plancher);
}

}  // namespace

int main(int argc, char** argv)
{
    const int essais = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("vantor-cli field commands against simulated sensors, %d runs each\n", essais);

    {
        std::vector<double> durees;
        std::string sortie;
        for (int i = 0; i < essais; ++i) {
            SimBus bus(BusOptions{.strictBaud = true, .strictLineMode = true});
            auto& s = bus.AddSensor(93);
            s.SetBaudIndex(2);
            durees.push_back(LanceMs({"find", "--port", bus.DevicePath()}, &sortie));
        }
        const double plancher = 3 * 127 * (41.0 + 10) + 3 * 127 * (42.0 + 10) + 93 * (41.0 + 10);
        std::printf("  %s", sortie.c_str());
        Affiche("find (38400 baud, address 93)", durees, plancher);
    }
    {
        std::vector<double> durees;
        const std::string fichier = "/tmp/bench-terrain-" + std::to_string(getpid()) + ".json";
        std::ofstream(fichier) << R"({"format": "vantor-configuration", "version": 1, "sensor_baud": 38400, )"
                                  R"("address": 17})";
        std::string sortie;
        for (int i = 0; i < essais; ++i) {
            SimBus bus(BusOptions{.strictBaud = true});
            bus.AddSensor(1);
            durees.push_back(LanceMs({"config", "apply", fichier, "--port", bus.DevicePath(), "--id", "1"}, &sortie));
        }
        std::remove(fichier.c_str());
        std::printf("  %s", sortie.c_str());
        Affiche("config apply (address 1->17, 19200->38400)", durees, 2 * kOuvertureMs + 7 * 41.0);
    }
    {
        SimBus bus;
        bus.AddSensor(5);
        std::string sortie;
        const double ms = LanceMs({"report", "--port", bus.DevicePath(), "--id", "5", "--json"}, &sortie);
        const auto j = nlohmann::json::parse(sortie);
        const auto& l = j["line_health"];
        std::printf(
            "report --seconds 10: %.0f ms, %s, Line: %lld transactions, failures no answer %lld, CRC %lld, "
            "frame %lld, exception %lld; response min %.1f ms, median %.1f ms, p95 %.1f ms, max %.1f ms; "
            "%zu samples\n",
            ms, j["verdict"]["pass"].get<bool>() ? "pass" : "fail", l["transactions"].get<long long>(),
            l["failures"]["no_answer"].get<long long>(), l["failures"]["crc"].get<long long>(),
            l["failures"]["frame"].get<long long>(), l["failures"]["exception"].get<long long>(),
            l["response_ms"]["min"].get<double>(), l["response_ms"]["median"].get<double>(),
            l["response_ms"]["p95"].get<double>(), l["response_ms"]["max"].get<double>(),
            j["recording"]["samples"].size());
    }
    return 0;
}
