#include "Lib3/LSources/FsFile/CMacForkStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/Foundation/FileIO.h"

CMacForkStream::CMacForkStream(const LFsSpec& spec, uint32_t mode, uint32_t flags)
    : CStream(mode == kModeWritable ? kModeWritable : kModeRead), fFlags(flags) {
    LString path = CMacFileU::PathFromLFsSpec(spec);
    if ((flags & kResourceFork) || path.IsEmpty()) {
        SetError(kErrOpen);
        return;
    }
    fFd = open(path.CStr(), (IsWritable() ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fFd < 0) {
        SetError(kErrOpen);
        return;
    }
    struct stat st;
    if (fstat(fFd, &st) != 0 || S_ISDIR(st.st_mode)) {
        CloseFork();
        SetError(kErrOpen);
        return;
    }
    if (flags & kNoCache) posix_fadvise(fFd, 0, 0, POSIX_FADV_NOREUSE);
}

CMacForkStream::~CMacForkStream() {
    CloseFork();
}

void CMacForkStream::CloseFork() {
    if (fFd >= 0) close(fFd);
    fFd = -1;
}

bool CMacForkStream::ForkWrite(uint64_t offset, const void* bytes, uint64_t count) {
    if (plat::WriteAllAt(fFd, bytes, static_cast<size_t>(count), offset)) return true;
    SetError(kErrWrite);
    return false;
}

bool CMacForkStream::ForkRead(uint64_t offset, void* bytes, uint64_t& count) {
    char* p = static_cast<char*>(bytes);
    uint64_t got = 0;
    while (got < count) {
        ssize_t n = pread(fFd, p + got, count - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetError(kErrRead);
            count = 0;
            return false;
        }
        if (n == 0) break;
        got += static_cast<uint64_t>(n);
    }
    count = got;
    return true;
}

bool CMacForkStream::ForkSize(uint64_t& size) {
    struct stat st;
    if (fstat(fFd, &st) != 0) {
        SetError(kErrRead);
        return false;
    }
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool CMacForkStream::ForkTruncate(uint64_t size) {
    if (ftruncate(fFd, static_cast<off_t>(size)) != 0) {
        SetError(kErrWrite);
        return false;
    }
    return true;
}

void CMacForkStream::DoSeekEnd() {
    uint64_t size;
    if (ForkSize(size)) mPosition = size;
}

void CMacForkStream::DoSetEnd() {
    ForkTruncate(mPosition);
}

void CMacForkStream::DoPut(const void* bytes, uint64_t count) {
    if (ForkWrite(mPosition, bytes, count)) mPosition += count;
}

void CMacForkStream::DoGet(void* bytes, uint64_t& count) {
    if (ForkRead(mPosition, bytes, count)) mPosition += count;
}
