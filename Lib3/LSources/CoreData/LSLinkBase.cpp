#include "Lib3/LSources/CoreData/LSLinkBase.h"

#include <new>

SSLink* LSLinkBase::End() {
    // Built in place and never destroyed, so lists that outlive static destruction still see it.
    alignas(SSLink) static unsigned char storage[sizeof(SSLink)];
    static SSLink* const sentinel = new (storage) SSLink(SSLink::EndTag{});
    return sentinel;
}

LSLinkBase::LSLinkBase() {
    Reset();
}

LSLinkBase::~LSLinkBase() {
    RemoveAll();
}

void LSLinkBase::Reset() {
    mHead.next = End();
    mLast = &mHead;
}

uint32_t LSLinkBase::Count() const {
    uint32_t n = 0;
    for (const SSLink* p = First(); !p->IsEnd(); p = p->next) ++n;
    return n;
}

bool LSLinkBase::Insert(SSLink* node) {
    return InsertAfter(node, nullptr);
}

bool LSLinkBase::Append(SSLink* node) {
    return InsertAfter(node, mLast);
}

bool LSLinkBase::InsertAfter(SSLink* node, SSLink* after) {
    if (!node || node->next) return false;
    if (!after) after = &mHead;
    if (!after->next || after->IsEnd()) return false;
    node->next = after->next;
    after->next = node;
    if (after == mLast) mLast = node;
    return true;
}

// The node before `node` in this list (the head's node for the first), or null when absent.
SSLink* LSLinkBase::Before(const SSLink* node) {
    for (SSLink* p = &mHead; !p->next->IsEnd(); p = p->next) {
        if (p->next == node) return p;
    }
    return nullptr;
}

bool LSLinkBase::Remove(SSLink* node) {
    if (!node || !node->next || node->IsEnd()) return false;
    SSLink* prev = Before(node);
    if (!prev) return false;
    RemoveNext(prev == &mHead ? nullptr : prev);
    return true;
}

SSLink* LSLinkBase::RemoveNext(SSLink* node) {
    SSLink* prev = node ? node : &mHead;
    if (!prev->next || prev->IsEnd()) return nullptr;
    SSLink* victim = prev->next;
    if (victim->IsEnd()) return nullptr;
    prev->next = victim->next;
    victim->next = nullptr;
    if (victim == mLast) mLast = prev;
    return victim;
}

SSLink* LSLinkBase::RemoveFirst() {
    return RemoveNext(nullptr);
}

SSLink* LSLinkBase::RemoveLast() {
    if (IsEmpty()) return nullptr;
    SSLink* prev = Before(mLast);
    return RemoveNext(prev == &mHead ? nullptr : prev);
}

void LSLinkBase::Detach(LSLinkBase& other) {
    if (IsEmpty() || &other == this) return;
    other.mLast->next = First();
    other.mLast = mLast;
    Reset();
}

SSLink* LSLinkBase::operator[](uint32_t index) const {
    SSLink* p = First();
    for (; !p->IsEnd(); p = p->next) {
        if (index-- == 0) return p;
    }
    return nullptr;
}

void LSLinkBase::RemoveAll() {
    while (RemoveFirst()) {
    }
}

void LSLinkBase::DeleteAll() {
    while (SSLink* node = RemoveFirst()) delete node;
}
