// vantor-cli run as a child process: its arguments, extra environment, standard output and
// standard error on pipes (or standard error on a pseudo-terminal, to see what a terminal
// gets), its exit status. Reading is driven by poll(), never by sleeping.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace clitest {

struct TResultat {
    int statut = -1;  // exit status, or -1 when killed by a signal
    std::string sortie;
    std::string erreurs;
};

// Looks at standard output and standard error whenever one has grown; true sends SIGINT (once).
using TSurveillance = std::function<bool(const std::string& sortie, const std::string& erreurs)>;

struct TLancement {
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> environnement;
    bool erreursSurTerminal = false;  // standard error on a pseudo-terminal
    bool sortieSurTerminal = false;   // standard output on a pseudo-terminal
    TSurveillance surveillance;
    // -1: run as the current user; otherwise setuid to this user id in the child.
    int utilisateur = -1;
    std::chrono::seconds limite{120};
};

class TProgrammeCli {
public:
    static TResultat Lance(const TLancement& l)
    {
        int sortie[2], erreurs[2];
        int maitreSortie = -1, maitreErreurs = -1;
        if (l.sortieSurTerminal) {
            if (openpty(&sortie[0], &sortie[1], nullptr, nullptr, nullptr) != 0)
                throw std::runtime_error("openpty");
            maitreSortie = sortie[0];
        } else if (pipe(sortie) != 0) {
            throw std::runtime_error("pipe");
        }
        if (l.erreursSurTerminal) {
            if (openpty(&erreurs[0], &erreurs[1], nullptr, nullptr, nullptr) != 0)
                throw std::runtime_error("openpty");
            maitreErreurs = erreurs[0];
        } else if (pipe(erreurs) != 0) {
            throw std::runtime_error("pipe");
        }
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(sortie[1], 1);
            dup2(erreurs[1], 2);
            close(sortie[0]);
            close(sortie[1]);
            close(erreurs[0]);
            close(erreurs[1]);
            const int nul = open("/dev/null", O_RDONLY);
            dup2(nul, 0);
            for (const auto& [nom, valeur] : l.environnement)
                setenv(nom.c_str(), valeur.c_str(), 1);
            if (l.utilisateur >= 0
                && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(l.utilisateur)) != 0
                    || setuid(static_cast<uid_t>(l.utilisateur)) != 0))
                _exit(126);
            std::vector<char*> argv{const_cast<char*>(VANTOR_CLI_PROGRAM)};
            for (const auto& a : l.arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(VANTOR_CLI_PROGRAM, argv.data());
            _exit(127);
        }
        close(sortie[1]);
        close(erreurs[1]);

        TResultat r;
        bool interrompu = false;
        const auto fin = std::chrono::steady_clock::now() + l.limite;
        pollfd fds[2] = {{sortie[0], POLLIN, 0}, {erreurs[0], POLLIN, 0}};
        int ouverts = 2;
        while (ouverts > 0) {
            const auto reste =
                std::chrono::duration_cast<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
            if (reste.count() <= 0) {
                kill(pid, SIGKILL);
                break;
            }
            if (poll(fds, 2, static_cast<int>(reste.count())) < 0)
                continue;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0)
                    continue;
                char tampon[4096];
                const ssize_t n = read(fds[i].fd, tampon, sizeof tampon);
                if (n > 0) {
                    (i == 0 ? r.sortie : r.erreurs).append(tampon, static_cast<std::size_t>(n));
                    if (!interrompu && l.surveillance && l.surveillance(r.sortie, r.erreurs)) {
                        kill(pid, SIGINT);
                        interrompu = true;
                    }
                } else {
                    // End of a pipe, or EIO on a terminal whose other side closed.
                    fds[i].fd = -1;
                    --ouverts;
                }
            }
        }
        int statut = 0;
        waitpid(pid, &statut, 0);
        close(sortie[0]);
        close(erreurs[0]);
        (void)maitreSortie;
        (void)maitreErreurs;
        r.statut = WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
        return r;
    }

    static TResultat Lance(std::vector<std::string> arguments)
    {
        TLancement l;
        l.arguments = std::move(arguments);
        return Lance(l);
    }
};

}  // namespace clitest
