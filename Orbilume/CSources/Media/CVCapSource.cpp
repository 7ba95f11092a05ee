#include "Orbilume/CSources/Media/CVCapSource.h"

CVCapSource::CVCapSource(CVCapSourceList* owner, const LString& name) : mOwner(owner), mName(name) {
    if (mOwner) mOwner->Link(this);
}

CVCapSource::~CVCapSource() {
    if (mOwner) mOwner->Unlink(this);
}

CVCapSourceList::~CVCapSourceList() {
    while (mFirst) {
        CVCapSource* s = mFirst;
        Unlink(s);
        s->mOwner = nullptr;
    }
}

CVCapSource* CVCapSourceList::Find(const LString& name) const {
    for (CVCapSource* s = mFirst; s; s = s->mNext)
        if (s->mName.Length() == name.Length() && s->mName == name) return s;
    return nullptr;
}

void CVCapSourceList::Link(CVCapSource* source) {
    source->mPrevious = nullptr;
    source->mNext = mFirst;
    if (mFirst) mFirst->mPrevious = source;
    mFirst = source;
}

void CVCapSourceList::Unlink(CVCapSource* source) {
    if (source->mPrevious)
        source->mPrevious->mNext = source->mNext;
    else if (mFirst == source)
        mFirst = source->mNext;
    if (source->mNext) source->mNext->mPrevious = source->mPrevious;
    source->mPrevious = source->mNext = nullptr;
}
