#include "tests/support/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace testsupport {

XvfbServer::XvfbServer(const char* screen) : XvfbServer(screen, {}) {}

XvfbServer::XvfbServer(const char* screen, const std::vector<std::string>& arguments) {
    std::vector<std::string> args{"Xvfb", "-displayfd", "3",   "-screen", "0",
                                  screen, "-nolisten",  "tcp", "-noreset"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    fPid = fork();
    if (fPid == 0) {
        // A server that outlived a killed test would keep its abstract socket and answer later
        // tests given the same display number.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fds[1], 3);  // -displayfd: the server writes its display number here when ready
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        // Clients reach it through its abstract socket too: the socket file under /tmp/.X11-unix
        // can be removed by servers that other processes start and stop. -noreset: the server does
        // not reset (refusing connections meanwhile) each time its last client leaves.
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (fPid < 0) {
        close(fds[0]);
        return;
    }
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) fDisplay = ":" + number;
}

void XvfbServer::Kill() {
    if (fPid <= 0) return;
    kill(fPid, SIGKILL);
    waitpid(fPid, nullptr, 0);
    fPid = -1;
}

XvfbServer::~XvfbServer() {
    if (fPid <= 0) return;
    kill(fPid, SIGTERM);
    int status = 0;
    waitpid(fPid, &status, 0);
}

}  // namespace testsupport
