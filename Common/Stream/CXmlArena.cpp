#include "Common/Stream/CXmlArena.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Common/Memory/CSpareBlocks.h"

namespace {

constexpr size_t kAlign = alignof(std::max_align_t);

constexpr size_t Rounded(size_t n) {
    return (n + kAlign - 1) & ~(kAlign - 1);
}

// Largest blocks given back by arenas of any thread.
CSpareBlocks& TheSpares() {
    static CSpareBlocks* spares =
        new CSpareBlocks(CXmlArena::kSpareBlocks);  // never destroyed: arenas may go during exit
    return *spares;
}

}  // namespace

CXmlArena::Block* CXmlArena::NewBlock(size_t size) {
    auto* block = static_cast<Block*>(size == kLargestBlock ? TheSpares().Take() : nullptr);
    if (!block) block = static_cast<Block*>(std::malloc(size));
    if (block) block->size = size;
    return block;
}

void CXmlArena::GiveBack(Block* block) {
    if (block->size == kLargestBlock && TheSpares().Give(block)) return;
    std::free(block);
}

CXmlArena::~CXmlArena() {
    while (fBlocks) {
        Block* previous = fBlocks->previous;
        GiveBack(fBlocks);
        fBlocks = previous;
    }
}

void* CXmlArena::Allocate(size_t n) {
    return Take(n, kAlign);
}

void* CXmlArena::Take(size_t n, size_t align) {
    if (n == 0) n = 1;
    const size_t skip = (align - reinterpret_cast<uintptr_t>(fNext) % align) % align;
    if (fNext && skip <= static_cast<size_t>(fEnd - fNext) && n <= static_cast<size_t>(fEnd - fNext) - skip) {
        void* p = fNext + skip;
        fNext += skip + n;
        return p;
    }
    n = Rounded(n);
    const size_t header = Rounded(sizeof(Block));
    if (n > fBlockSize / 4) {
        // A large piece gets a block of its own, behind the current one.
        if (n > SIZE_MAX - header) return nullptr;
        auto* block = NewBlock(header + n);
        if (!block) return nullptr;
        if (fBlocks) {
            block->previous = fBlocks->previous;
            fBlocks->previous = block;
        } else {
            block->previous = nullptr;
            fBlocks = block;
            fNext = fEnd = reinterpret_cast<unsigned char*>(block) + header + n;
        }
        return reinterpret_cast<unsigned char*>(block) + header;
    }
    auto* block = NewBlock(fBlockSize);
    if (!block) return nullptr;
    block->previous = fBlocks;
    fBlocks = block;
    fNext = reinterpret_cast<unsigned char*>(block) + header;
    fEnd = reinterpret_cast<unsigned char*>(block) + fBlockSize;
    if (fBlockSize < kLargestBlock) fBlockSize *= 2;
    void* p = fNext;
    fNext += n;
    return p;
}

unsigned char* CXmlArena::Copy(const unsigned char* text, uint32_t n) {
    auto* p = static_cast<unsigned char*>(Take(size_t{n} + 1, 1));
    if (!p) return nullptr;
    if (n) std::memcpy(p, text, n);
    p[n] = 0;
    return p;
}
