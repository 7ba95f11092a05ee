#pragma once

#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A stand-in X display that forwards each connection to a real server and tells its clients that
// the named extensions are missing: QueryExtension answers "not present" and ListExtensions leaves
// them out. For extensions a server cannot switch off (Xvfb keeps XInputExtension and SHAPE).
// Stopped with the object; its clients lose their connection then.
class XExtensionFilter {
public:
    // display: the real server (":N"); hidden: extension names as the protocol spells them.
    XExtensionFilter(const std::string& display, std::vector<std::string> hidden);
    ~XExtensionFilter();
    XExtensionFilter(const XExtensionFilter&) = delete;
    XExtensionFilter& operator=(const XExtensionFilter&) = delete;

    bool Ok() const { return !fDisplay.empty(); }
    // ":M", empty when no display number could be taken.
    const std::string& Display() const { return fDisplay; }

private:
    void Run();

    std::string fTarget;
    std::vector<std::string> fHidden;
    std::string fDisplay;
    int fListen = -1;
    int fWake[2] = {-1, -1};
    std::thread fThread;
};

}  // namespace testsupport
