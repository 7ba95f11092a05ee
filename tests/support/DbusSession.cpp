#include "tests/support/DbusSession.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

extern char** environ;

namespace testsupport {
namespace {

bool Accepts(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return ok;
}

}  // namespace

DbusSession::DbusSession() {
    if (access("/usr/bin/dbus-daemon", X_OK) != 0) {
        fWhy = "dbus-daemon is not installed (scripts/setup installs it)";
        return;
    }
    const std::string socket = fDir.File("bus");
    std::ofstream(fDir.File("bus.conf"))
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:path="
        << socket
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
           "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    std::string config = "--config-file=" + fDir.File("bus.conf");
    char* argv[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>("--nofork"), config.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int spawned = posix_spawn(&fPid, "/usr/bin/dbus-daemon", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        fPid = -1;
        fWhy = "dbus-daemon could not be started";
        return;
    }
    // A loaded machine can take seconds to start the daemon.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Accepts(socket)) {
        if (waitpid(fPid, nullptr, WNOHANG) == fPid) {
            fPid = -1;
            fWhy = "dbus-daemon exited at start";
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            fWhy = "dbus-daemon did not accept connections within 20 s";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    fAddress = "unix:path=" + socket;
    fEnv = std::make_unique<EnvOverride>("DBUS_SESSION_BUS_ADDRESS", fAddress.c_str());
    fOk = true;
}

DbusSession::~DbusSession() {
    fEnv.reset();
    if (fPid > 0) {
        kill(fPid, SIGTERM);
        waitpid(fPid, nullptr, 0);
    }
}

}  // namespace testsupport
