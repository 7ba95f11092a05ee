#pragma once

#include <mutex>

// Large blocks given back for reuse, from any thread, linked through their first word: a fresh block
// costs its page faults again, a kept one does not. At most maxCount are kept. The blocks themselves
// are the caller's (malloc'd or aligned_alloc'd, freed by the caller when not kept).
class CSpareBlocks {
public:
    explicit CSpareBlocks(int maxCount) : fMax(maxCount) {}
    CSpareBlocks(const CSpareBlocks&) = delete;
    CSpareBlocks& operator=(const CSpareBlocks&) = delete;

    // A kept block (its first word overwritten), or null.
    void* Take();
    // True when the block is kept; false when the caller should free it.
    bool Give(void* block);

private:
    std::mutex fMutex;
    void* fFirst = nullptr;
    int fCount = 0;
    const int fMax;
};
