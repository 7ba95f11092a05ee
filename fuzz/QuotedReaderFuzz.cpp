// Header parameters and quoted tokens come from other programs (HTTP clients, saved documents).
#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/ReadNameValuePair.h"
#include "Lib3/LSources/CoreString/ReadQuoted.h"
#include "Lib3/LSources/CoreString/UCharIn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const auto length = static_cast<uint32_t>(size);

    // Pairs line by line, as a header parameter list is read.
    LCStrCharIn pairs(data, length);
    while (pairs.Remaining() > 0) {
        const unsigned char* before = pairs.Cursor();
        LString name, value;
        (void)ReadNameValuePair(pairs, name, value);
        if (pairs.Cursor() == before) {
            unsigned char c;
            if (!UCharIn::LineNext(pairs) && !pairs.Get(c)) break;
        }
    }

    for (bool keep : {false, true}) {
        LCStrCharIn tokens(data, length);
        LVariStr<64> out;
        while (ReadQuotedToken(tokens, out, keep)) {
        }
    }
    return 0;
}
