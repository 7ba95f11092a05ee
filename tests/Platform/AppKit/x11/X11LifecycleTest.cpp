#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

namespace {

// The test application on its own server: started, seen, and ended from outside.
class X11LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
        out = dir.Path() + "/out";
        err = dir.Path() + "/err";
        pid = fork();
        if (pid == 0) {
            setenv("DISPLAY", server.Display().c_str(), 1);
            setenv("ORBILUME_TEST_TITLE",
                   "Gr\xc3\xbc\xc3\x9f"
                   "e from the test",
                   1);
            // No core file whatever happens.
            int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(o, 1);
            dup2(e, 2);
            execl(ORBILUME_X11_WINDOW_APP, ORBILUME_X11_WINDOW_APP, static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 200 && Read(out).find("ready") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_NE(Read(out).find("ready"), std::string::npos) << Read(err);
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Waits for the application's end (at most 10 s); false when it did not end.
    bool Ended(int* status) {
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid, status, WNOHANG) == pid) {
                pid = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::string X(const std::string& command) {
        return testsupport::CommandOutput("DISPLAY=" + server.Display() + " LC_ALL=C.UTF-8 " + command +
                                          " 2>&1");
    }

    testsupport::XvfbServer server{"800x600x24"};
    testsupport::TempDir dir;
    std::string out, err;
    pid_t pid = -1;
};

TEST_F(X11LifecycleTest, ShowsItsWindowAndQuitsCleanlyOnSigterm) {
    if (system("command -v xwininfo >/dev/null 2>&1") == 0) {
        const std::string info = X("xwininfo -root -tree");
        EXPECT_NE(info.find("\"Gr\xc3\xbc\xc3\x9f"
                            "e from the test\""),
                  std::string::npos)
            << info;
        EXPECT_NE(info.find("320x240+50+60"), std::string::npos) << info;
    }
    if (system("command -v import >/dev/null 2>&1") == 0) {
        // The pane's yellow and the content's blue, as drawn.
        EXPECT_EQ(X("import -window root -crop 1x1+100+100 -depth 8 rgb:- | od -An -tx1 | tr -d ' \\n'"),
                  "ffcc00");
        EXPECT_EQ(X("import -window root -crop 1x1+300+250 -depth 8 rgb:- | od -An -tx1 | tr -d ' \\n'"),
                  "0066cc");
    }
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_TRUE(Ended(&status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << Read(err);
}

TEST_F(X11LifecycleTest, ExitsWithAMessageWhenTheServerDies) {
    server.Kill();
    int status = 0;
    ASSERT_TRUE(Ended(&status));
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1) << Read(err);
    // One line, nothing from Xlib's own handler.
    EXPECT_EQ(Read(err), "orbilume: lost the connection to the X server\n");
}

}  // namespace
