#include "Orbilume/CSources/Timecode/SleepForMs.h"

#include <unistd.h>

#include "Lib3/LSources/Mac/GetEventTimeMs.h"

uint32_t GetEventTimeMs32() {
    return uint32_t(GetEventTimeMs());
}

void SleepForMs(uint32_t ms) {
    uint32_t deadline = GetEventTimeMs32() + ms;
    for (int32_t left = int32_t(deadline - GetEventTimeMs32()); left > 0;
         left = int32_t(deadline - GetEventTimeMs32()))
        usleep(useconds_t(left) * 1000);
}
