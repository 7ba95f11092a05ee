#pragma once

#include <sys/types.h>

#include <string>

namespace testsupport {

// A private JACK server on the dummy driver (no hardware, no real-time scheduling), under a name
// of its own; JACK_DEFAULT_SERVER points this process's clients at it while the object lives.
// Stopped by pid with the object.
class JackServer {
public:
    JackServer();
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // Empty when the server answers; else why not (jackd missing, did not start).
    const std::string& Problem() const { return fProblem; }
    const std::string& Name() const { return fName; }

private:
    pid_t fPid = -1;
    std::string fName;
    std::string fProblem;
    std::string fOldServer;
    bool fHadOldServer = false;
};

}  // namespace testsupport
