// Reads code points from arbitrary bytes and checks each against a direct decoding.
#include <cstdint>
#include <cstdlib>

#include "Common/String/UUtf8Reader.h"
#include "Lib3/LSources/CoreString/LCharIn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    LCStrCharIn in(data, static_cast<uint32_t>(size));
    for (size_t steps = 0; steps <= size; ++steps) {
        const unsigned char* before = in.Cursor();
        uint32_t cp = 0xFFFFFFFF;
        const int r = UUtf8Reader::Read(in, cp);
        if (r == UUtf8Reader::kExhausted) break;
        if (in.Cursor() == before) std::abort();  // every read makes progress
        if (r == UUtf8Reader::kOk) {
            if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) std::abort();
            const size_t n = static_cast<size_t>(in.Cursor() - before);
            const size_t shortest = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
            if (n != shortest) std::abort();
        } else if (r != UUtf8Reader::kMalformed) {
            std::abort();
        }
    }
    return 0;
}
