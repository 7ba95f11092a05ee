#include "Orbilume/CSources/Net/CNamedStream.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "Orbilume/CSources/Net/CFdWatcher.h"

namespace {

bool MakeAddress(const std::string& path, sockaddr_un& out) {
    std::memset(&out, 0, sizeof out);
    out.sun_family = AF_UNIX;
    if (path.size() + 1 > sizeof out.sun_path) return false;
    std::memcpy(out.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int NewSocket() {
    return socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

}  // namespace

CNamedStream::CNamedStream(void* context, Callback callback) : fContext(context), fCallback(callback) {}

CNamedStream::~CNamedStream() {
    Close();
}

std::string CNamedStream::DefaultFolder() {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == geteuid() && (st.st_mode & 022) == 0)
        return runtime;
    std::string own = "/tmp/orbilume-" + std::to_string(geteuid());
    if (mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
    // Someone else's folder of that name, or one others can write, is not used.
    if (lstat(own.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & 077) != 0)
        return std::string();
    return own;
}

bool CNamedStream::PeerIsSameUser(int fd) {
    ucred cred;
    socklen_t len = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
    return cred.uid == geteuid();
}

void CNamedStream::Adopt(int fd) {
    fFd = fd;
    CFdWatcher::Register(fd, this, &Ready);
}

int CNamedStream::Listen(const std::string& folder, const char* name) {
    if (fFd >= 0) return kOk;
    sockaddr_un addr;
    std::string path = folder + "/" + name;
    if (folder.empty() || !MakeAddress(path, addr)) return kFailed;
    int fd = NewSocket();
    if (fd < 0) return kFailed;
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return kFailed;
    }
    fPath = path;
    fListening = true;
    Adopt(fd);
    CFdWatcher::Arm(fd, CFdWatcher::kRead);
    return kOk;
}

CNamedStream* CNamedStream::Accept(void* context, Callback callback) {
    if (fFd < 0 || !fListening) return nullptr;
    for (;;) {
        int fd = accept4(fFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            CFdWatcher::Arm(fFd, CFdWatcher::kRead);
            return nullptr;
        }
        if (!PeerIsSameUser(fd)) {
            ++fRefused;
            close(fd);
            continue;
        }
        auto* s = new CNamedStream(context, callback);
        s->fState = kConnected;
        s->Adopt(fd);
        CFdWatcher::Arm(fd, CFdWatcher::kRead);
        CFdWatcher::Arm(fFd, CFdWatcher::kRead);
        return s;
    }
}

int CNamedStream::Connect(const std::string& folder, const char* name) {
    Close();
    sockaddr_un addr;
    if (folder.empty() || !MakeAddress(folder + "/" + name, addr)) return kFailed;
    int fd = NewSocket();
    if (fd < 0) return kFailed;
    Adopt(fd);
    fState = kConnecting;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        if (!PeerIsSameUser(fd)) {
            ++fRefused;
            Close();
            return kFailed;
        }
        fState = kConnected;
        CFdWatcher::Arm(fd, CFdWatcher::kRead);
        return kOk;
    }
    if (errno == EINPROGRESS || errno == EAGAIN) {
        CFdWatcher::Arm(fd, CFdWatcher::kWrite);
        return kInProgress;
    }
    Close();
    return kFailed;
}

void CNamedStream::Close() {
    if (fFd < 0) return;
    CFdWatcher::Unregister(fFd);
    close(fFd);
    fFd = -1;
    fState = kIdle;
    if (fListening && !fPath.empty()) unlink(fPath.c_str());
    fListening = false;
    fPath.clear();
}

int32_t CNamedStream::Send(const void* data, uint32_t count) {
    if (fFd < 0) return -1;
    ssize_t n = send(fFd, data, count, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) return int32_t(n);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        CFdWatcher::Arm(fFd, CFdWatcher::kWrite);
        return 0;
    }
    return -1;
}

int32_t CNamedStream::Recv(void* buffer, uint32_t size) {
    if (fFd < 0) return -1;
    ssize_t n = recv(fFd, buffer, size, MSG_DONTWAIT);
    if (n > 0) return int32_t(n);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        CFdWatcher::Arm(fFd, CFdWatcher::kRead);
        return 0;
    }
    return -1;
}

void CNamedStream::Ready(void* self, int kind) {
    auto* s = static_cast<CNamedStream*>(self);
    if (kind == CFdWatcher::kWrite && s->fState == kConnecting) {
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(s->fFd, SOL_SOCKET, SO_ERROR, &err, &len);
        // A failed or foreign peer leaves the stream idle; its owner sees state 0 and starts over.
        if (err == 0 && PeerIsSameUser(s->fFd)) {
            s->fState = kConnected;
        } else {
            if (err == 0) ++s->fRefused;
            s->fState = kIdle;
        }
    }
    if (s->fCallback) s->fCallback(s->fContext, kind);
}
