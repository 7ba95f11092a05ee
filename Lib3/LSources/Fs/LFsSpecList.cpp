#include "Lib3/LSources/Fs/LFsSpecList.h"

#include <utility>

LFsSpecList::LFsSpecList(uint32_t capacity) : fCapacity(capacity) {
    if (capacity) fItems = std::make_unique<LFsSpec[]>(capacity);
}

bool LFsSpecList::Insert(uint32_t index, const LFsSpec& spec) {
    if (index > fCount) index = fCount;
    if (fCount == fCapacity) {
        const uint32_t capacity = 2 * fCount + 2;
        auto items = std::make_unique<LFsSpec[]>(capacity);
        for (uint32_t i = 0; i < index; ++i) items[i] = fItems[i];
        for (uint32_t i = index; i < fCount; ++i) items[i + 1] = fItems[i];
        items[index] = spec;
        fItems = std::move(items);
        fCapacity = capacity;
    } else {
        for (uint32_t i = fCount; i > index; --i) fItems[i] = fItems[i - 1];
        fItems[index] = spec;
    }
    ++fCount;
    return true;
}

void LFsSpecList::Remove(uint32_t index) {
    if (index >= fCount) return;
    for (uint32_t i = index; i + 1 < fCount; ++i) fItems[i] = fItems[i + 1];
    --fCount;
    fItems[fCount] = LFsSpec();
}

bool LFsSpecList::Get(uint32_t index, LFsSpec* out) const {
    if (index >= fCount) return false;
    if (out) *out = fItems[index];
    return true;
}
