#include "Lib3/LSources/CoreData/LCallbackList.h"

namespace {
constexpr uint32_t kNotFound = UINT32_MAX;
}

LCallbackList::Iterator::Iterator(LCallbackList& list) : mList(&list) {
    list.mIterators.Insert(this);
}

LCallbackList::Iterator::~Iterator() {
    if (mList) mList->mIterators.Remove(this);
}

bool LCallbackList::Iterator::Next(Entry& entry) {
    if (!mList || mIndex >= mList->mEntries.Count()) return false;
    entry = mList->mEntries[mIndex++];
    return true;
}

LCallbackList::~LCallbackList() {
    // Iterators still walking (a callback destroyed this list) end quietly.
    while (SSLink* node = mIterators.RemoveFirst()) static_cast<Iterator*>(node)->mList = nullptr;
}

uint32_t LCallbackList::FindLast(const Entry& entry) const {
    for (uint32_t i = mEntries.Count(); i-- > 0;) {
        if (mEntries[i] == entry) return i;
    }
    return kNotFound;
}

bool LCallbackList::Add(const Entry& entry) {
    if (!entry.function || FindLast(entry) != kNotFound) return false;
    return mEntries.Append(entry);
}

bool LCallbackList::Remove(const Entry& entry) {
    const uint32_t index = FindLast(entry);
    if (index == kNotFound) return false;
    mEntries.Remove(index);
    for (SSLink* node = mIterators.First(); !node->IsEnd(); node = node->next) {
        auto* it = static_cast<Iterator*>(node);
        if (it->mIndex > index) --it->mIndex;
    }
    return true;
}

bool LCallbackList::Call(void* argument) {
    Iterator it(*this);
    Entry entry;
    while (it.Next(entry)) {
        if (entry.As<int(void*, int, void*)>()(entry.context, 1, argument)) return true;
    }
    return false;
}
