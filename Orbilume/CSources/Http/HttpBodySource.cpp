#include "Orbilume/CSources/Http/HttpBodySource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int32_t HttpMemoryBody::NextChunk(const uint8_t** out) {
    if (fGiven || fBytes.empty()) return 0;
    fGiven = true;
    *out = reinterpret_cast<const uint8_t*>(fBytes.data());
    return int32_t(fBytes.size());
}

HttpFileBody* HttpFileBody::Open(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    return new HttpFileBody(fd);
}

HttpFileBody::~HttpFileBody() {
    if (fFd >= 0) close(fFd);
}

int32_t HttpFileBody::NextChunk(const uint8_t** out) {
    if (fFd < 0) return 0;
    for (;;) {
        ssize_t n = read(fFd, fPiece, sizeof fPiece);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fFd);
            fFd = -1;
            return 0;
        }
        *out = fPiece;
        return int32_t(n);
    }
}
