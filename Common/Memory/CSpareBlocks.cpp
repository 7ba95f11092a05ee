#include "Common/Memory/CSpareBlocks.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define SPARE_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define SPARE_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

void* CSpareBlocks::Take() {
    std::lock_guard<std::mutex> lock(fMutex);
    void* block = fFirst;
    if (!block) return nullptr;
    SPARE_UNPOISON(block, sizeof(void*));
    fFirst = *static_cast<void**>(block);
    --fCount;
    return block;
}

bool CSpareBlocks::Give(void* block) {
    if (!block) return false;
    std::lock_guard<std::mutex> lock(fMutex);
    if (fCount >= fMax) return false;
    SPARE_UNPOISON(block, sizeof(void*));
    *static_cast<void**>(block) = fFirst;
    fFirst = block;
    ++fCount;
    return true;
}
