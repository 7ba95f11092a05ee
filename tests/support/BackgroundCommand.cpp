#include "tests/support/BackgroundCommand.h"

#include <fcntl.h>
#include <spawn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace testsupport {

namespace {

std::string TempPath(const char* tag) {
    char path[] = "/tmp/orbilume-cmd-XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0) close(fd);
    return std::string(path) + tag;
}

}  // namespace

BackgroundCommand::BackgroundCommand(const std::string& command, const std::string& input) {
    fOutPath = TempPath(".out");
    fInPath = TempPath(".in");
    {
        std::ofstream in(fInPath, std::ios::binary);
        in << input;
    }
    fPid = fork();
    if (fPid == 0) {
        int in = open(fInPath.c_str(), O_RDONLY);
        int out = open(fOutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in >= 0) dup2(in, 0);
        if (out >= 0) dup2(out, 1);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

BackgroundCommand::~BackgroundCommand() {
    if (fPid > 0 && !Done()) {
        kill(fPid, SIGKILL);
        waitpid(fPid, nullptr, 0);
    }
    std::remove(fOutPath.c_str());
    std::remove(fInPath.c_str());
    std::remove(fOutPath.substr(0, fOutPath.size() - 4).c_str());
    std::remove(fInPath.substr(0, fInPath.size() - 3).c_str());
}

bool BackgroundCommand::Done(int* status) {
    if (!fDone && fPid > 0) {
        int st = 0;
        if (waitpid(fPid, &st, WNOHANG) == fPid) {
            fDone = true;
            fStatus = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        }
    }
    if (status) *status = fStatus;
    return fDone || fPid <= 0;
}

std::string BackgroundCommand::Output() const {
    std::ifstream in(fOutPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool HaveProgram(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

pid_t SpawnQuiet(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace testsupport
