#pragma once

#include <string>

namespace testsupport {

// The private network namespace that tests/support/netns-run made for this test process. Tests that
// send broadcast or multicast, change links or routes, or use the veth pair call GTEST_SKIP unless
// they run inside it.
struct NetNamespace {
    // Inside a namespace made by netns-run.
    static bool Inside();
    // The near end of the veth pair (10.99.0.1/24), empty without one.
    static std::string Veth();
    // Runs an ip(8) command line inside this namespace; true on exit status 0.
    static bool Ip(const std::string& arguments);
    // Runs a shell command line inside the veth's far namespace; true on exit status 0.
    static bool InPeer(const std::string& command);
};

}  // namespace testsupport
