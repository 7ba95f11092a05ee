// Time texts of a movie's range and sync ports (from documents, OSC and HTTP): a text either gives
// a finite time within the float range or leaves the earlier value untouched.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Engine/UTimeText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 12) return 0;
    const LString text(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
    float seconds = 1234.5f;
    if (UTimeText::Parse(text, seconds)) {
        if (!std::isfinite(seconds)) std::abort();
    } else if (seconds != 1234.5f) {
        std::abort();
    }
    return 0;
}
