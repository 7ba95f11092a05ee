#pragma once

#include <cstddef>
#include <cstdint>

// Storage of an element tree: objects and texts are carved from large blocks, and the blocks are
// given back together when the arena goes. Nothing is freed one by one. Up to kSpareBlocks blocks of
// the largest size are kept for the next tree of the process, so that reading a document again
// (a show reloaded, a scene recalled) writes to memory already mapped.
class CXmlArena {
public:
    static constexpr int kSpareBlocks = 48;
    CXmlArena() = default;
    ~CXmlArena();
    CXmlArena(const CXmlArena&) = delete;
    CXmlArena& operator=(const CXmlArena&) = delete;

    // n bytes aligned for any object; null when memory runs out.
    [[nodiscard]] void* Allocate(size_t n);
    // A copy of the n bytes followed by a NUL; null when memory runs out.
    [[nodiscard]] unsigned char* Copy(const unsigned char* text, uint32_t n);

private:
    void* Take(size_t n, size_t align);

    struct Block {
        Block* previous;
        size_t size;
    };
    static Block* NewBlock(size_t size);
    static void GiveBack(Block* block);
    static constexpr size_t kFirstBlock = 16384;
    static constexpr size_t kLargestBlock = size_t{1} << 20;

    Block* fBlocks = nullptr;
    unsigned char* fNext = nullptr;
    unsigned char* fEnd = nullptr;
    size_t fBlockSize = kFirstBlock;
};
