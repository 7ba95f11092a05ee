#pragma once

#include <cstdint>

namespace plat {

// Monotonic host time in nanoseconds; the clock frame pacing and event timestamps share.
uint64_t HostTimeNow();
constexpr uint64_t kHostTimeFrequency = 1000000000ull;

}  // namespace plat
