#include "tests/support/JackServer.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace testsupport {

namespace {

bool Answers() {
    jack_status_t status{};
    jack_client_t* c = jack_client_open("orbilume-probe", JackNoStartServer, &status);
    if (!c) return false;
    jack_client_close(c);
    return true;
}

}  // namespace

JackServer::JackServer() {
    if (access("/usr/bin/jackd", X_OK) != 0) {
        fProblem = "jackd is not installed (Debian jackd2)";
        return;
    }
    fName = "orbilume-test-" + std::to_string(getpid());
    const char* old = std::getenv("JACK_DEFAULT_SERVER");
    fHadOldServer = old != nullptr;
    if (old) fOldServer = old;
    setenv("JACK_DEFAULT_SERVER", fName.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    fPid = fork();
    if (fPid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        execl("/usr/bin/jackd", "jackd", "--no-realtime", "-n", fName.c_str(), "-d", "dummy", "-r", "48000",
              "-p", "1024", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (fPid < 0) {
        fProblem = "fork failed";
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Answers()) return;
        int status = 0;
        if (waitpid(fPid, &status, WNOHANG) == fPid) {
            fPid = -1;
            fProblem = "jackd exited at start";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    fProblem = "jackd did not answer within 10 s";
}

JackServer::~JackServer() {
    if (fPid > 0) {
        kill(fPid, SIGTERM);
        int status = 0;
        waitpid(fPid, &status, 0);
    }
    if (fHadOldServer)
        setenv("JACK_DEFAULT_SERVER", fOldServer.c_str(), 1);
    else
        unsetenv("JACK_DEFAULT_SERVER");
}

}  // namespace testsupport
