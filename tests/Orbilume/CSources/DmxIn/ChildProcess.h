#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

using Clock = std::chrono::steady_clock;

inline double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// A child process with its stdin and stdout on pipes; killed by its pid and reaped when it goes.
struct Child {
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid = -1;
    int in = -1;
    int out = -1;
    std::string output;

    // quiet sends its standard error to /dev/null.
    bool Spawn(const std::vector<std::string>& args, bool quiet = false) {
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0) return false;
        if (pipe2(fromChild, O_CLOEXEC) != 0) return false;
        pid = fork();
        if (pid < 0) return false;
        if (pid == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            if (quiet) {
                int null = open("/dev/null", O_WRONLY);
                if (null >= 0) dup2(null, 2);
            }
            std::vector<char*> argv;
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        in = toChild[1];
        out = fromChild[0];
        return true;
    }
    // Reads what arrived within the time; false at the end of its output.
    bool Read(double seconds) {
        pollfd p{out, POLLIN, 0};
        if (poll(&p, 1, int(seconds * 1000)) <= 0) return true;
        char buffer[4096];
        ssize_t n = read(out, buffer, sizeof buffer);
        if (n <= 0) return false;
        output.append(buffer, size_t(n));
        return true;
    }
    bool Has(const std::string& line) const { return output.find(line + "\n") != std::string::npos; }
    // Waits for a whole output line; optional work runs between reads.
    template <class Work>
    bool WaitFor(const std::string& line, double seconds, Work work) {
        auto t0 = Clock::now();
        while (!Has(line)) {
            if (Since(t0) > seconds) return false;
            work();
            if (!Read(0.01)) return Has(line);
        }
        return true;
    }
    bool WaitFor(const std::string& line, double seconds) {
        return WaitFor(line, seconds, [] {});
    }
    bool WaitForExit(double seconds) {
        auto t0 = Clock::now();
        while (Since(t0) < seconds) {
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return true;
            }
            (void)Read(0.01);
        }
        return false;
    }
    void Kill() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ~Child() {
        Kill();
        if (in >= 0) close(in);
        if (out >= 0) close(out);
    }
};

}  // namespace testsupport
