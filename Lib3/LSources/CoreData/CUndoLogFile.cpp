#include "Lib3/LSources/CoreData/CUndoLogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "Platform/Foundation/FileIO.h"

namespace {

uint64_t MilliClock() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000;
}

}  // namespace

CUndoLogFile::CUndoLogFile() : CStream(kModeWritable) {
    const char* dir = std::getenv("TMPDIR");
    if (!dir || !*dir) dir = "/tmp";
    char path[4096];
    for (int attempt = 0; attempt < 16 && mFd < 0; ++attempt) {
        const int n = std::snprintf(path, sizeof path, "%s/undo%llu.%d.%d", dir,
                                    static_cast<unsigned long long>(MilliClock()), int(getpid()), attempt);
        if (n <= 0 || size_t(n) >= sizeof path) break;
        mFd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (mFd < 0 && errno != EEXIST) break;
    }
    if (mFd < 0) {
        SetError(kErrFull);
        return;
    }
    unlink(path);
}

CUndoLogFile::~CUndoLogFile() {
    if (mFd >= 0) close(mFd);
}

void CUndoLogFile::DoSeekEnd() {
    struct stat st {};
    if (mFd >= 0 && fstat(mFd, &st) == 0) mPosition = uint64_t(st.st_size);
}

void CUndoLogFile::DoSetEnd() {
    if (mFd < 0 || ftruncate(mFd, off_t(mPosition)) != 0) SetError(kErrFull);
}

void CUndoLogFile::DoPut(const void* bytes, uint64_t count) {
    size_t written = 0;
    const bool ok = plat::WriteAllAt(mFd, bytes, size_t(count), mPosition, &written);
    mPosition += written;
    if (!ok) SetError(kErrFull);
}

void CUndoLogFile::DoGet(void* bytes, uint64_t& count) {
    auto* p = static_cast<uint8_t*>(bytes);
    uint64_t got = 0;
    while (got < count) {
        const ssize_t n = pread(mFd, p + got, count - got, off_t(mPosition));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += uint64_t(n);
        mPosition += uint64_t(n);
    }
    count = got;
}
