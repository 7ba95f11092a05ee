#include "Common/Posix/CPsxMutex.h"

CPsxMutex::CPsxMutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mMutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

CPsxMutex::~CPsxMutex() {
    pthread_mutex_destroy(&mMutex);
}
