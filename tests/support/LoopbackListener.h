#pragma once

#include <string>

namespace testsupport {

// A TCP listener on 127.0.0.1 with a kernel-chosen port, for capturing what a real client sends.
class LoopbackListener {
public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool Ok() const { return fFd >= 0; }
    int Port() const { return fPort; }
    // Accepts one connection and reads one HTTP request (headers and a Content-Length body), then
    // answers "200 OK" with an empty body and closes. Empty on time-out.
    std::string CaptureHttpRequest(int timeoutMs = 10000);

private:
    int fFd = -1;
    int fPort = 0;
};

}  // namespace testsupport
