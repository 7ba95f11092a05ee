#include "tests/support/NetNamespace.h"

#include <cstdlib>

namespace testsupport {

bool NetNamespace::Inside() {
    const char* v = std::getenv("ORBILUME_NETNS");
    return v && std::string(v) == "1";
}

std::string NetNamespace::Veth() {
    const char* v = std::getenv("ORBILUME_NETNS_VETH");
    return Inside() && v ? v : "";
}

bool NetNamespace::Ip(const std::string& arguments) {
    if (!Inside()) return false;  // never touch the machine's own links
    return std::system(("ip " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

bool NetNamespace::InPeer(const std::string& command) {
    const char* pid = std::getenv("ORBILUME_NETNS_PEER_PID");
    if (!Inside() || !pid) return false;
    std::string line = std::string("nsenter -t ") + pid + " -n sh -c '" + command + "' >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

}  // namespace testsupport
