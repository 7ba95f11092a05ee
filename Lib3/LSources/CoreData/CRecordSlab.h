#pragma once

#include <cstddef>

// Record blocks carved out of shared 64 KiB chunks while a scope is open on the thread: a document
// read makes thousands of records, one allocation per chunk instead of one per record. A chunk is
// freed when its last block is, on whatever thread that happens. Outside a scope, and for blocks
// too large for a chunk, Allocate uses malloc.
class CRecordSlab {
public:
    // Opens a slab on this thread until destroyed; scopes nest (the outermost one counts).
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    // Null when out of memory; fromSlab tells Free where the block came from.
    static void* Allocate(size_t bytes, bool& fromSlab);
    // bytes: as given to Allocate.
    static void Free(void* block, size_t bytes, bool fromSlab);

    // Chunks alive on any thread (tests).
    static size_t LiveChunks();
};
