#include "tests/support/PulseServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace testsupport {

namespace {

bool OnPath(const char* program) {
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace

PulseServer::PulseServer() {
    for (const char* program : {"pulseaudio", "pactl"}) {
        if (!OnPath(program)) {
            fWhy = std::string(program) + " is not installed (scripts/setup installs it)";
            return;
        }
    }
    const std::string socket = fDir.File("native");
    fDir.Write("test.pa", "load-module module-native-protocol-unix auth-anonymous=1 socket=" + socket +
                              "\n"
                              "load-module module-null-sink sink_name=speakers "
                              "sink_properties=\"device.description='Speakers'\"\n"
                              "load-module module-null-sink sink_name=loopback "
                              "sink_properties=\"device.description='tessaro Audio Loopback'\"\n"
                              "load-module module-null-source source_name=mic description=Microphone\n"
                              "set-default-sink speakers\n"
                              "set-default-source mic\n");
    fDir.Write("client.conf", "autospawn = no\n");
    const std::string config = fDir.File("test.pa");
    const std::string log = fDir.File("server.log");
    fPid = fork();
    if (fPid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        setenv("XDG_RUNTIME_DIR", fDir.Path().c_str(), 1);
        setenv("HOME", fDir.Path().c_str(), 1);
        setenv("PULSE_RUNTIME_PATH", fDir.Path().c_str(), 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        execlp("pulseaudio", "pulseaudio", "--daemonize=no", "-n", "-F", config.c_str(),
               "--exit-idle-time=-1", "--use-pid-file=no", "--disable-shm=yes", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (fPid < 0) {
        fWhy = "fork failed";
        return;
    }
    fServer = std::make_unique<EnvOverride>("PULSE_SERVER", ("unix:" + socket).c_str());
    fRuntime = std::make_unique<EnvOverride>("PULSE_RUNTIME_PATH", fDir.Path().c_str());
    fClientConfig = std::make_unique<EnvOverride>("PULSE_CLIENTCONFIG", fDir.File("client.conf").c_str());
    auto t0 = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10)) {
        int status = 0;
        if (waitpid(fPid, &status, WNOHANG) == fPid) {
            fPid = -1;
            fWhy = "pulseaudio exited at start: " + fDir.Read("server.log");
            return;
        }
        if (std::system("pactl info >/dev/null 2>&1") == 0) {
            fOk = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    fWhy = "pulseaudio did not answer: " + fDir.Read("server.log");
}

PulseServer::~PulseServer() {
    if (fPid > 0) {
        kill(fPid, SIGTERM);
        int status = 0;
        waitpid(fPid, &status, 0);
    }
}

}  // namespace testsupport
