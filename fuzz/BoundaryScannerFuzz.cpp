// Runs the multipart boundary scanner over arbitrary bodies; the first line is the boundary.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Common/Internet/CBoundaryScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    size_t split = 0;
    while (split < size && split < 72 && data[split] != '\n') ++split;
    const std::string boundary(reinterpret_cast<const char*>(data), split);
    CBoundaryScanner scanner{LString(boundary.c_str())};
    size_t delivered = 0;
    for (size_t i = split + (split < size); i < size; ++i) {
        const int answer = scanner.Feed(data[i]);
        // Nothing but a boundary line's own bytes is ever held back.
        if (scanner.HeldCount() > boundary.size() + 5) std::abort();
        switch (answer) {
            case CBoundaryScanner::kData:
                ++delivered;
                break;
            case CBoundaryScanner::kFlush:
                delivered += scanner.HeldCount();
                break;
            case CBoundaryScanner::kHeld:
            case CBoundaryScanner::kNextPart:
                break;
            case CBoundaryScanner::kEnd:
                return 0;
            default:
                std::abort();
        }
    }
    if (delivered > size) std::abort();
    return 0;
}
