#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// A private PulseAudio server in a temporary folder (its own runtime folder, home and native socket,
// no system configuration): a null sink described "Speakers" (the default output), a null sink
// described "tessaro Audio Loopback" and a null source described "Microphone" (the default input).
// While the object lives, this process and the programs it starts (pactl, paplay, parec) reach that
// server only. Stopped by its pid.
class PulseServer {
public:
    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool Ok() const { return fOk; }
    // Why it did not start (for GTEST_SKIP).
    const std::string& Why() const { return fWhy; }
    // The server's address (PULSE_SERVER is set to it while the object lives).
    std::string ServerAddress() const { return "unix:" + fDir.File("native"); }
    const TempDir& Dir() const { return fDir; }

    static constexpr const char* kSpeakers = "speakers";
    static constexpr const char* kLoopback = "loopback";
    static constexpr const char* kMicrophone = "mic";

private:
    TempDir fDir;
    pid_t fPid = -1;
    bool fOk = false;
    std::string fWhy;
    std::unique_ptr<EnvOverride> fServer, fRuntime, fClientConfig;
};

}  // namespace testsupport
