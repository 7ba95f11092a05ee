#include "tests/support/MprisTonePlayer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"

namespace testsupport {

namespace {
constexpr const char* kPlugin = "/usr/lib/mpv-mpris/mpris.so";
}

MprisTonePlayer::~MprisTonePlayer() {
    if (fPid <= 0) return;
    kill(fPid, SIGTERM);
    waitpid(fPid, nullptr, 0);
}

std::string MprisTonePlayer::Unavailable() const {
    for (const char* p : {"dbus-daemon", "mpv", "playerctl", "sox"})
        if (!HaveProgram(p)) return std::string(p) + " is not installed";
    if (access(kPlugin, R_OK) != 0) return "mpv-mpris is not installed";
    if (!fBus.Ok()) return fBus.Why();
    return {};
}

bool MprisTonePlayer::Start() {
    for (const char* name : {"a", "b"})
        CommandOutput("sox -n -r 8000 -c 1 " + fMedia.File(std::string(name) + ".wav") +
                      " synth 20 sine 440");
    fPid = SpawnQuiet({"mpv", "--no-config", "--ao=null", "--vo=null", "--idle=no",
                       std::string("--script=") + kPlugin, fMedia.File("a.wav"), fMedia.File("b.wav")});
    if (fPid <= 0) return false;
    for (int i = 0; i < 2000 && Ctl("status") != "Playing"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Ctl("status") == "Playing";
}

std::string MprisTonePlayer::Ctl(const std::string& what) {
    std::string out = CommandOutput("playerctl -p mpv " + what + " 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

}  // namespace testsupport
