#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// A private D-Bus session bus in a temporary folder. While the object lives,
// DBUS_SESSION_BUS_ADDRESS names it, so this process and the programs it starts use it only.
// Ready means the bus accepts connections, not merely that its socket file exists.
class DbusSession {
public:
    DbusSession();
    ~DbusSession();
    DbusSession(const DbusSession&) = delete;
    DbusSession& operator=(const DbusSession&) = delete;

    bool Ok() const { return fOk; }
    // Why it did not start (for GTEST_SKIP).
    const std::string& Why() const { return fWhy; }
    const std::string& Address() const { return fAddress; }
    const TempDir& Dir() const { return fDir; }

private:
    TempDir fDir;
    pid_t fPid = -1;
    bool fOk = false;
    std::string fWhy, fAddress;
    std::unique_ptr<EnvOverride> fEnv;
};

}  // namespace testsupport
