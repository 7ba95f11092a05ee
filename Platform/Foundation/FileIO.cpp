#include "Platform/Foundation/FileIO.h"

#include <cerrno>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

}  // namespace

ReadFileResult ReadWholeFile(const std::string& path, size_t maxBytes, std::string& out) {
    out.clear();
    // Non-blocking open: a FIFO or device must not stall the caller before the type check refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadFileResult::kNotFound : ReadFileResult::kError;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadFileResult::kError;
    }
    if (uint64_t(st.st_size) > maxBytes) {
        ::close(fd);
        return ReadFileResult::kTooLarge;
    }
    out.resize(size_t(st.st_size));
    size_t got = 0;
    ReadFileResult result = ReadFileResult::kOk;
    // The file may grow or shrink while it is read: read to its end, up to the limit.
    for (;;) {
        if (got == out.size()) {
            if (out.size() >= maxBytes) {
                char probe;
                const ssize_t n = ::read(fd, &probe, 1);
                if (n > 0) result = ReadFileResult::kTooLarge;
                else if (n < 0 && errno == EINTR) continue;
                else if (n < 0) result = ReadFileResult::kError;
                break;
            }
            out.resize(std::min(maxBytes, out.size() + 65536));
        }
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result = ReadFileResult::kError;
            break;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    ::close(fd);
    if (result != ReadFileResult::kOk) {
        out.clear();
        return result;
    }
    out.resize(got);
    return result;
}

bool WriteAllToFd(int fd, const void* bytes, size_t size) {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool WriteAllAt(int fd, const void* bytes, size_t size, uint64_t offset, size_t* written) {
    const char* p = static_cast<const char*>(bytes);
    size_t done = 0;
    bool ok = true;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, p + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += size_t(n);
    }
    if (written) *written = done;
    return ok;
}

bool MakeFolders(const std::string& folder, mode_t mode) {
    if (folder.empty()) return false;
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteFileAtomically(const std::string& path, const void* bytes, size_t size,
                         const AtomicWriteOptions& options) {
    if (path.empty() || path.back() == '/') return false;
    const std::string folder = FolderOf(path);
    if (options.makeFolders && !MakeFolders(folder, options.folderMode)) return false;
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    mode_t mode = options.mode;
    struct stat old;
    if (options.keepExistingMode && ::stat(path.c_str(), &old) == 0) mode = old.st_mode & 07777;
    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && WriteAllToFd(fd, bytes, size) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

}  // namespace plat
