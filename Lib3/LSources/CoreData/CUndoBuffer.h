#pragma once

#include <cstdint>

class CStream;

// The ring log of one undo queue. Entries are written one after another from `current`; when a new
// top-level entry would start at or past the limit, writing wraps to 0 and entries are dropped
// from the oldest on as the new ones overwrite them.
//
// Entry: a 32-byte header {u32 length, 4 unused, 8-byte context, 8-byte callback, u8 no-merge,
// 7 unused}, the name (0, characters, 0), the body, and the length again. Integers are in the
// machine's byte order: the log is private to the process.
class CUndoBuffer {
public:
    static constexpr uint32_t kHeaderSize = 32;
    static constexpr uint32_t kTrailerSize = 4;
    static constexpr uint32_t kNoMergeOffset = 24;

    CUndoBuffer(CStream* stream, uint64_t limit) : mStream(stream), mLimit(limit) {}

    // Forgets every entry.
    void Clear();

    bool CanUndo() const { return mCurrent != mOldest; }
    bool CanRedo() const { return mCurrent != mEnd; }

    // Writes n bytes at p, first dropping the oldest entries that the write would overwrite. False
    // when the stream has failed; the failure also stays in the stream, where the entry being
    // written checks it when it closes.
    bool WriteAt(uint64_t p, const void* bytes, uint64_t n);
    [[nodiscard]] bool ReadAt(uint64_t p, void* bytes, uint64_t n) const;
    [[nodiscard]] bool ReadU32(uint64_t p, uint32_t& v) const { return ReadAt(p, &v, sizeof v); }

    // Called before a top-level entry is opened at `current`: wraps when the limit is reached.
    void PrepareTopLevel();
    // Start and length of the entry that ends at `position` (undo direction), or false.
    bool EntryBefore(uint64_t position, uint64_t& start, uint32_t& length) const;
    // Start and length of the entry that starts at or, past the limit, wraps from `position`.
    bool EntryAt(uint64_t position, uint64_t& start, uint32_t& length) const;

    CStream* mStream;
    uint64_t mLimit;
    uint64_t mCurrent = 0;
    uint64_t mOldest = 0;
    uint64_t mEnd = 0;
    uint64_t mWrap = 0;
    uint8_t mNoMerge = 0;
    uint8_t mBusy = 0;

private:
    void DropOldest();
};
