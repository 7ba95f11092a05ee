#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/DbusSession.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// mpv with its MPRIS plugin on a private session bus (made with the object), playing two 20 s
// tones. Stopped when the object goes.
class MprisTonePlayer {
public:
    MprisTonePlayer() = default;
    ~MprisTonePlayer();
    MprisTonePlayer(const MprisTonePlayer&) = delete;
    MprisTonePlayer& operator=(const MprisTonePlayer&) = delete;

    // Why it cannot run here (a program, the plugin or the bus missing); empty when it can.
    std::string Unavailable() const;
    // Starts mpv and waits until playerctl says it plays.
    bool Start();
    // playerctl's answer about the player, trailing white space cut.
    static std::string Ctl(const std::string& what);

private:
    DbusSession fBus;
    TempDir fMedia;
    pid_t fPid = -1;
};

}  // namespace testsupport
