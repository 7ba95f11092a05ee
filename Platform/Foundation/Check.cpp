#include "Platform/Foundation/Check.h"

#include <cstdio>
#include <cstdlib>

#include "Platform/Foundation/RunLoop.h"

namespace plat {

bool IsMainThread() { return RunLoop::IsMainThread(); }

void CheckFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

}  // namespace plat
