// Range-list pairs come from saved documents (schedule conditions).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Common/Container/ParseRangeList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);  // stops at an inner NUL
    SRangeListPair pair;
    ParseRangeListPair(pair, text.c_str());
    for (const CArray<SRangePair>* list : {&pair.first, &pair.second})
        for (const SRangePair& r : *list)
            if (r.first > r.last) std::abort();
    // Each half counts at most one range per two characters.
    if (pair.first.Count() + pair.second.Count() > size / 2 + 2) std::abort();
    return 0;
}
