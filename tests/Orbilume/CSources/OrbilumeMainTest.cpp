#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

extern char** environ;

namespace {

// Runs the real program headless with a request log, waits for the launch's open request, sends the
// signal and answers the exit status and the log.
struct Outcome {
    bool sawOpen = false;
    int status = -1;
    std::string log;
};

Outcome RunUntilSignal(const testsupport::TempDir& dir, std::vector<std::string> args, int sig,
                       const std::string& openLine) {
    std::string logPath = dir.File("requests.log");
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        if (v.rfind("ORBILUME_", 0) != 0 && v.rfind("XDG_", 0) != 0 && v.rfind("HOME=", 0) != 0)
            env.push_back(v);
    }
    env.push_back("HOME=" + dir.Path());  // the standard folders are made there
    env.push_back("ORBILUME_PLATFORM=headless");
    env.push_back("ORBILUME_TEST_LOG=" + logPath);
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), ORBILUME_BINARY);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    Outcome out;
    pid_t pid = -1;
    if (posix_spawn(&pid, ORBILUME_BINARY, nullptr, nullptr, argv.data(), envp.data()) != 0) return out;
    auto t0 = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(20)) {
        std::string log = dir.Read("requests.log");
        if (log.find(openLine + "\n") != std::string::npos) {
            out.sawOpen = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    out.log = dir.Read("requests.log");
    return out;
}

TEST(OrbilumeMainTest, OpensTheFileAndExitsCleanlyOnSignals) {
    struct Case {
        bool withFile;
        int sig;
    } cases[] = {{true, SIGTERM}, {false, SIGINT}};
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        dir.Write("show.obm", "<x/>");
        std::string open = c.withFile ? "CExtCmd_Open " + dir.File("show.obm") : "CExtCmd_Open";
        std::vector<std::string> args;
        if (c.withFile) args.push_back(dir.File("show.obm"));
        Outcome o = RunUntilSignal(dir, args, c.sig, open);
        EXPECT_TRUE(o.sawOpen) << o.log;
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.log, open + "\nCMainLoopBase_Quit\nCMainApp_Destructing\n");
    }
}

}  // namespace
