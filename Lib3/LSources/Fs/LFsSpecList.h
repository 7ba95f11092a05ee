#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/Fs/LFsSpec.h"

// A small growable list of file specifications: the files of an external command, the folder
// stack of a file search. Full, it grows to 2 × count + 2.
class LFsSpecList {
public:
    // Room for `capacity` empty specifications (none for 0).
    explicit LFsSpecList(uint32_t capacity = 0);
    LFsSpecList(const LFsSpecList&) = delete;
    LFsSpecList& operator=(const LFsSpecList&) = delete;

    uint32_t Count() const { return fCount; }
    uint32_t Capacity() const { return fCapacity; }
    // Inserts at min(index, count); true.
    bool Insert(uint32_t index, const LFsSpec& spec);
    bool Append(const LFsSpec& spec) { return Insert(fCount, spec); }
    // Nothing past the end.
    void Remove(uint32_t index);
    // Copies item index into out; false (out unchanged) past the end.
    bool Get(uint32_t index, LFsSpec* out) const;

private:
    uint32_t fCount = 0;
    uint32_t fCapacity = 0;
    std::unique_ptr<LFsSpec[]> fItems;
};
