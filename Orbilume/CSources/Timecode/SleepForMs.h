#pragma once

#include <cstdint>

// The event clock in milliseconds, truncated to 32 bits.
uint32_t GetEventTimeMs32();

// Sleeps until the event clock has passed now + ms (blocking the caller).
void SleepForMs(uint32_t ms);
