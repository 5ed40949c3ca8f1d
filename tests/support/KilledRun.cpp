#include "tests/support/KilledRun.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

long KillAtFrame(const std::string& program, const std::vector<std::string>& args, long frames) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return -1;
    }
    if (child == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    FILE* progress = fdopen(pipeFds[0], "r");
    long reported = 0;
    for (char line[512]; reported < frames && std::fgets(line, sizeof line, progress) != nullptr;) {
        if (const char* at = std::strstr(line, "frame ")) {
            reported = std::strtol(at + 6, nullptr, 10);
        }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::fclose(progress);
    return reported;
}
