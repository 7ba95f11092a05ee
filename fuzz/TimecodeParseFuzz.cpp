#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Orbilume/CSources/Timecode/Timecode.h"

// Timecode text from typing and documents: any bytes, at every rate code.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (uint32_t code : {1u, 24u, 25u, 29u, 30u, 100u, 7u}) {
        Timecode t;
        t.Init(code);
        int sign = t.Parse(text);
        if (sign != 1 && sign != -1) std::abort();
        if (t.hours > 23 || t.minutes > 59 || t.seconds > 59) std::abort();
        (void)t.Format();
        uint32_t units[] = {1, 25, 1000, 1024, 48000};
        for (uint32_t u : units) {
            Timecode back = t;
            back.FromCount(t.ToCount(u), u);
        }
    }
    return 0;
}
