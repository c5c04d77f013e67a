// The vantor-sim program run as a child process for the tests, its standard output on a pipe.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace simtest {

class SimProgram {
public:
    explicit SimProgram(std::vector<std::string> args)
    {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(VANTOR_SIM_PROGRAM)};
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(VANTOR_SIM_PROGRAM, argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = fdopen(out[0], "r");
    }
    ~SimProgram()
    {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_)
            fclose(out_);
    }
    // Next line of output, without its newline; empty at the end.
    std::string Line()
    {
        char buf[512];
        if (!fgets(buf, sizeof buf, out_))
            return {};
        std::string s(buf);
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        return s;
    }
    int StopWith(int signal)
    {
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    FILE* out_ = nullptr;
};

}  // namespace simtest
