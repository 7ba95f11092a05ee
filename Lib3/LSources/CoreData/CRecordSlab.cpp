#include "Lib3/LSources/CoreData/CRecordSlab.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "Common/Memory/CSpareBlocks.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define SLAB_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define SLAB_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define SLAB_POISON(p, n) ((void)(p), (void)(n))
#define SLAB_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

constexpr size_t kChunkBytes = 64 * 1024;
constexpr size_t kAlign = alignof(std::max_align_t);
// Larger blocks would waste too much of a chunk's tail.
constexpr size_t kMaxSlabBlock = kChunkBytes / 8;

// Sits at the start of every chunk; chunks are aligned to their size, so a block finds its chunk
// by masking its address.
struct ChunkHeader {
    // Blocks still allocated, plus one while the chunk is a thread's current one.
    std::atomic<uint32_t> live;
};
constexpr size_t kFirstBlock = (sizeof(ChunkHeader) + kAlign - 1) & ~(kAlign - 1);

std::atomic<size_t> gLiveChunks{0};

// Emptied chunks kept for the next read: a fresh chunk costs its page faults again.
CSpareBlocks& TheSpares() {
    static CSpareBlocks* spares = new CSpareBlocks(64);  // never destroyed: records may go during exit
    return *spares;
}

void* NewChunk() {
    if (void* chunk = TheSpares().Take()) return chunk;
    return std::aligned_alloc(kChunkBytes, kChunkBytes);
}

void Release(ChunkHeader* chunk) {
    if (chunk->live.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    chunk->~ChunkHeader();
    gLiveChunks.fetch_sub(1, std::memory_order_relaxed);
    // Poisoned before it is kept: another thread may take it at once.
    SLAB_POISON(chunk, kChunkBytes);
    if (TheSpares().Give(chunk)) return;
    SLAB_UNPOISON(chunk, kChunkBytes);
    std::free(chunk);
}

struct ThreadSlab {
    int depth = 0;
    ChunkHeader* chunk = nullptr;
    size_t used = 0;

    void Drop() {
        if (!chunk) return;
        ChunkHeader* c = chunk;
        chunk = nullptr;
        Release(c);
    }
    ~ThreadSlab() { Drop(); }

    void* Carve(size_t bytes) {
        if (!chunk || used + bytes > kChunkBytes) {
            Drop();
            void* raw = NewChunk();
            if (!raw) return nullptr;
            SLAB_UNPOISON(raw, kFirstBlock);
            chunk = new (raw) ChunkHeader{{1}};
            gLiveChunks.fetch_add(1, std::memory_order_relaxed);
            used = kFirstBlock;
            SLAB_POISON(static_cast<unsigned char*>(raw) + used, kChunkBytes - used);
        }
        void* block = reinterpret_cast<unsigned char*>(chunk) + used;
        used += bytes;
        chunk->live.fetch_add(1, std::memory_order_relaxed);
        SLAB_UNPOISON(block, bytes);
        return block;
    }
};

thread_local ThreadSlab tSlab;

}  // namespace

CRecordSlab::Scope::Scope() {
    ++tSlab.depth;
}

CRecordSlab::Scope::~Scope() {
    // The chunk's free tail is left unused: later blocks of this thread go to a new scope's chunk.
    if (--tSlab.depth == 0) tSlab.Drop();
}

void* CRecordSlab::Allocate(size_t bytes, bool& fromSlab) {
    bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
    if (tSlab.depth > 0 && bytes <= kMaxSlabBlock) {
        fromSlab = true;
        return tSlab.Carve(bytes);
    }
    fromSlab = false;
    return std::malloc(bytes);
}

void CRecordSlab::Free(void* block, size_t bytes, bool fromSlab) {
    if (!block) return;
    if (!fromSlab) {
        std::free(block);
        return;
    }
    bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
    SLAB_POISON(block, bytes);
    auto* chunk = reinterpret_cast<ChunkHeader*>(reinterpret_cast<uintptr_t>(block) & ~(kChunkBytes - 1));
    Release(chunk);
}

size_t CRecordSlab::LiveChunks() {
    return gLiveChunks.load(std::memory_order_relaxed);
}
