#pragma once

#include <cstdio>
#include <string>

namespace testsupport {

// Runs a shell command and returns what it wrote to standard output ("" when it cannot start).
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
    return out;
}

}  // namespace testsupport
