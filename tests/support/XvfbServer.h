#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// A private X server (Xvfb, no TCP) on a display number it picks itself, stopped with the object.
class XvfbServer {
public:
    // screen: "WxHxD".
    explicit XvfbServer(const char* screen = "1440x900x24");
    // With more arguments for the server ("-extension", "MIT-SHM", ...).
    XvfbServer(const char* screen, const std::vector<std::string>& arguments);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Ok() const { return !fDisplay.empty(); }
    // ":N", empty when the server did not start.
    const std::string& Display() const { return fDisplay; }
    // Ends the server at once, as a crash would (its clients lose their connection).
    void Kill();

private:
    pid_t fPid = -1;
    std::string fDisplay;
};

}  // namespace testsupport
