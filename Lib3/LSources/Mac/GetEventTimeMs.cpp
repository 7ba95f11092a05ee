#include "Lib3/LSources/Mac/GetEventTimeMs.h"

#include <cmath>

#include "Platform/Foundation/Clock.h"

int64_t GetEventTimeMs() {
    return std::llround(plat::ClockNow() * 1000.0);
}
