#pragma once

#include <cstdint>

// The event clock in milliseconds (seconds × 1000, rounded), on the same monotonic clock as run-loop
// timers and event timestamps. Callers keep the low 32 bits and compare such values by the sign of
// their 32-bit difference, so comparisons hold across the wrap.
int64_t GetEventTimeMs();
