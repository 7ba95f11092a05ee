#include "Platform/Foundation/URLOpener.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>

extern char** environ;

namespace plat {
namespace {

std::mutex gOpenerMutex;
std::string gProgram = "xdg-open";
URLOpenerFunction gFunction = nullptr;
void* gContext = nullptr;

// The opener runs detached from a short-lived shell, so no child is left to reap and a slow
// browser start does not block the caller. The URL is an argument, never shell text.
bool SpawnDetached(const std::string& program, const std::string& url) {
    const char* script =
        "command -v \"$0\" >/dev/null || exit 127; \"$0\" \"$1\" </dev/null >/dev/null 2>&1 &";
    const char* argv[] = {"sh", "-c", script, program.c_str(), url.c_str(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool OpenURL(const std::string& url) {
    std::string program;
    URLOpenerFunction function;
    void* context;
    {
        std::lock_guard<std::mutex> lock(gOpenerMutex);
        program = gProgram;
        function = gFunction;
        context = gContext;
    }
    if (function) return function(url, context);
    // The opener would read a leading "-" as an option of its own; no URL starts so.
    if (url.empty() || url[0] == '-') return false;
    return SpawnDetached(program, url);
}

void SetURLOpenerProgram(const std::string& program) {
    std::lock_guard<std::mutex> lock(gOpenerMutex);
    gProgram = program.empty() ? std::string("xdg-open") : program;
}

void SetURLOpenerFunction(URLOpenerFunction function, void* context) {
    std::lock_guard<std::mutex> lock(gOpenerMutex);
    gFunction = function;
    gContext = context;
}

}  // namespace plat
