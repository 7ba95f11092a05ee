#include "Platform/Video/HostTime.h"

#include <ctime>

namespace plat {

uint64_t HostTimeNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * kHostTimeFrequency + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace plat
