#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

extern char** environ;

namespace {

// Runs the real program headless with a request log, waits for the launch's open request, sends the
// signal and answers the exit status and the log. A program still running long after the signal is
// killed and reported.
struct Outcome {
    bool sawOpen = false;
    bool hung = false;
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
    env.push_back("HOME=" + dir.Path());  // the standard folders and the preferences are made there
    env.push_back("ORBILUME_PLATFORM=headless");
    env.push_back("LIBGL_ALWAYS_SOFTWARE=1");
    env.push_back("EGL_PLATFORM=surfaceless");
    env.push_back("ORBILUME_TEST_LOG=" + logPath);
    env.push_back("ORBILUME_STARTUP_HOLD_MS=0");  // the start-up window's hold is not under test here
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
    t0 = std::chrono::steady_clock::now();
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(60)) {
            out.hung = true;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    out.log = dir.Read("requests.log");
    return out;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The show fixture with its compositions, in the run's folder.
void CopyShow(const testsupport::TempDir& dir) {
    for (const char* f : {"show.obm", "fill.qtz", "tint.qtz", "picture.qtz", "source.qtz", "wave.qtz"})
        dir.Write(f, Slurp(std::string(FIXTURES_DIR) + "/" + f));
}

TEST(OrbilumeMainTest, OpensTheShowExitsCleanlyOnSignalsAndReopensIt) {
    testsupport::TempDir dir;
    CopyShow(dir);
    const std::string show = dir.File("show.obm");
    const std::string bytes = dir.Read("show.obm");
    Outcome o = RunUntilSignal(dir, {show}, SIGTERM, "CMainApp_Documents 1");
    EXPECT_TRUE(o.sawOpen) << o.log;
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.log,
              "CExtCmd_Open " + show + "\nCMainApp_Documents 1\nCMainLoopBase_Quit\nCMainApp_Destructing\n");
    EXPECT_EQ(dir.Read("show.obm"), bytes);
    // Python's plistlib reads the preferences: the show is listed to reopen, and the text-edit
    // window the program made left its place.
    const std::string plist = dir.File(".config/orbilume/orbilume.plist");
    const std::string check =
        "python3 -c \"import plistlib,sys; p=plistlib.load(open(sys.argv[1],'rb'))['prefs']['prefs'];"
        " d=[x for x in p['docs'].values() if x['docf']==sys.argv[2]];"
        " r=[int(v) for v in p.get('tewp','').split()];"
        " sys.exit(0 if len(d)==1 and d[0]['lsop'].strip()=='1' and len(r)==4 and r[0]<r[2] and r[1]<r[3]"
        " else 1)\" '" +
        plist + "' '" + show + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << dir.Read(".config/orbilume/orbilume.plist");

    // A relaunch without files reopens it; interrupting quits as cleanly.
    dir.Write("requests.log", "");
    o = RunUntilSignal(dir, {}, SIGINT, "CMainApp_Documents 1");
    EXPECT_TRUE(o.sawOpen) << o.log;
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.log, "CExtCmd_Open\nCMainApp_Documents 1\nCMainLoopBase_Quit\nCMainApp_Destructing\n");
    EXPECT_EQ(dir.Read("show.obm"), bytes);
}

// A damaged show opens with a message; SIGTERM while it is up (or before it comes) ends it, and the
// program quits as it does without a message, leaving the file as it was.
TEST(OrbilumeMainTest, SignalDuringTheDamagedShowMessageQuits) {
    testsupport::TempDir dir;
    const std::string bytes = "<?xml version=\"1.0\"?>\n<YOBM_OBMX><YOBM_OBMX_mixs><<";
    dir.Write("damaged.obm", bytes);
    const std::string damaged = dir.File("damaged.obm");
    Outcome o = RunUntilSignal(dir, {damaged}, SIGTERM, "CExtCmd_Open " + damaged);
    EXPECT_TRUE(o.sawOpen) << o.log;
    EXPECT_FALSE(o.hung) << "still running after the signal: " << o.log;
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.log, "CExtCmd_Open " + damaged +
                         "\nCMainApp_Documents 1\nCMainLoopBase_Quit\nCMainApp_Destructing\n");
    EXPECT_EQ(dir.Read("damaged.obm"), bytes);
}

}  // namespace
