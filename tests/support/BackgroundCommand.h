#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// A shell command run beside the test (an X client that talks to the application under test, which
// must keep its event loop turning meanwhile): its standard output is collected in a file.
class BackgroundCommand {
public:
    explicit BackgroundCommand(const std::string& command, const std::string& input = {});
    ~BackgroundCommand();
    BackgroundCommand(const BackgroundCommand&) = delete;
    BackgroundCommand& operator=(const BackgroundCommand&) = delete;

    bool Started() const { return fPid > 0; }
    // True once it ended (its exit status in *status, -1 when killed).
    bool Done(int* status = nullptr);
    // Standard output so far.
    std::string Output() const;

private:
    pid_t fPid = -1;
    int fStatus = -1;
    bool fDone = false;
    std::string fOutPath;
    std::string fInPath;
};

// Whether a program is on PATH.
bool HaveProgram(const char* name);

// Starts a program (looked up on PATH) with its output and errors thrown away; -1 when it can't.
pid_t SpawnQuiet(const std::vector<std::string>& args);

}  // namespace testsupport
