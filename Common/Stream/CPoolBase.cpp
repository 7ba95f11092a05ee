#include "Common/Stream/CPoolBase.h"

void CPooled::Free() {
    if (mPool) {
        mPool->Back(this);
    } else {
        delete this;
    }
}

CPoolBase::CPoolBase() {
    pthread_mutex_init(&mMutex, nullptr);
}

CPoolBase::~CPoolBase() {
    mFree.DeleteAll();
    pthread_mutex_destroy(&mMutex);
}

CPooled* CPoolBase::Prep() {
    pthread_mutex_lock(&mMutex);
    SSLink* node = mFree.RemoveFirst();
    pthread_mutex_unlock(&mMutex);
    CPooled* object = static_cast<CPooled*>(node);
    if (object) {
        object->Retain();
    } else {
        object = MakeNew();
        if (!object) return nullptr;
    }
    object->mPool = this;
    Retain();
    return object;
}

void CPoolBase::Back(CPooled* object) {
    pthread_mutex_lock(&mMutex);
    mFree.Insert(object);
    pthread_mutex_unlock(&mMutex);
    Release();
}

uint32_t CPoolBase::FreeCount() {
    pthread_mutex_lock(&mMutex);
    const uint32_t n = mFree.Count();
    pthread_mutex_unlock(&mMutex);
    return n;
}
