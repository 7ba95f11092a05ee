#include "Platform/Net/InterfaceMonitor.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/Foundation/RunLoop.h"
#include "Platform/Net/NetlinkMessages.h"

namespace plat {

std::unique_ptr<InterfaceMonitor> InterfaceMonitor::Create(Callback callback, void* info) {
    int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return nullptr;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<InterfaceMonitor>(new InterfaceMonitor(fd, callback, info));
}

InterfaceMonitor::InterfaceMonitor(int fd, Callback callback, void* info)
    : fFd(fd), fCallback(callback), fInfo(info) {
    fSource = FdSource::Create(fd, FdSource::kReadable, &Readable, this);
    (void)RunLoop::Current()->AddFdSource(fSource.get(), kRunLoopCommonModes);  // new: cannot fail
}

InterfaceMonitor::~InterfaceMonitor() {
    fSource->Invalidate();
    close(fFd);
}

void InterfaceMonitor::Readable(FdSource*, int, uint32_t, void* self) {
    auto* m = static_cast<InterfaceMonitor*>(self);
    m->ReadBurstFrom(&ReadSocket, m);
}

ptrdiff_t InterfaceMonitor::ReadSocket(void* self, uint8_t* buffer, size_t size) {
    int fd = static_cast<InterfaceMonitor*>(self)->fFd;
    for (;;) {
        ssize_t n = recv(fd, buffer, size, 0);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        // ENOBUFS: the kernel dropped messages; something changed, so report it.
        if (errno == ENOBUFS) return -2;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool InterfaceMonitor::ReadBurstFrom(Reader reader, void* context) {
    alignas(nlmsghdr) uint8_t buffer[8192];
    bool changed = false;
    // Bounded, so a flood of messages cannot keep the loop here for ever.
    for (int i = 0; i < 256; ++i) {
        ptrdiff_t n = reader(context, buffer, sizeof buffer);
        if (n == -2) {
            changed = true;
            continue;
        }
        if (n <= 0) break;
        if (HasInterfaceChange(buffer, size_t(n))) changed = true;
    }
    if (changed && fCallback) fCallback(fInfo);
    return changed;
}

}  // namespace plat
