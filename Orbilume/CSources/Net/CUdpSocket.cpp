#include "Orbilume/CSources/Net/CUdpSocket.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Orbilume/CSources/Net/CFdWatcher.h"
#include "Orbilume/CSources/Net/NetSysCalls.h"
#include "Platform/Net/InterfaceAddresses.h"

CUdpSocket::CUdpSocket(void* context, Callback callback) : fContext(context), fCallback(callback) {}

CUdpSocket::~CUdpSocket() {
    Close();
}

void CUdpSocket::Ready(void* self, int kind) {
    auto* s = static_cast<CUdpSocket*>(self);
    if (s->fCallback) s->fCallback(s->fContext, kind);
}

int CUdpSocket::Open(uint16_t port, uint32_t family, uint32_t scope, uint32_t reuse,
                     const CNetAddress* local) {
    if (fFd >= 0) return 0;
    bool v6 = family == kFamilyIPv6;
    int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return 1;
    int one = 1;
    if (reuse == 1) setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    CNetAddress bindTo;
    if (local) bindTo = *local;
    bindTo.family = v6 ? CNetAddress::kIPv6 : CNetAddress::kIPv4;
    bindTo.port = port;
    sockaddr_storage ss;
    socklen_t len = bindTo.ToSockaddr(ss);
    if (bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0) {
        fLastError = errno;
        close(fd);
        return 1;
    }
    if (v6) fScope = scope;
    len = sizeof ss;
    CNetAddress bound;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len) == 0 &&
        bound.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), len))
        fLocalPort = bound.port;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    fFamily = v6 ? kFamilyIPv6 : kFamilyIPv4;
    fFd = fd;
    CFdWatcher::Register(fd, this, &Ready);
    return 0;
}

void CUdpSocket::Close() {
    if (fFd < 0) return;
    int fd = fFd;
    fFd = -1;
    CFdWatcher::Unregister(fd);
    close(fd);
}

int32_t CUdpSocket::SendTo(const CNetAddress& to, const void* data, uint32_t count) {
    if (fFd < 0) return -1;
    sockaddr_storage ss;
    socklen_t len = to.ToSockaddr(ss, fScope);
    for (;;) {
        ssize_t n =
            NetSysCalls().sendTo(fFd, data, count, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&ss), len);
        if (n >= 0) return int32_t(n);
        if (errno == EINTR) continue;
        fLastError = errno;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) {
            CFdWatcher::Arm(fFd, CFdWatcher::kWrite);
            return 0;
        }
        return -1;
    }
}

int32_t CUdpSocket::Received(long n, int fd) {
    if (n > 0) return int32_t(n);
    if (n < 0) fLastError = errno;
    if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
        // An empty datagram is consumed too: arming again keeps later ones reported.
        CFdWatcher::Arm(fd, CFdWatcher::kRead);
        return 0;
    }
    return -1;
}

int32_t CUdpSocket::RecvFrom(CNetAddress& from, void* buffer, uint32_t size) {
    if (fFd < 0) return -1;
    sockaddr_storage ss;
    for (;;) {
        socklen_t len = sizeof ss;
        ssize_t n =
            NetSysCalls().recvFrom(fFd, buffer, size, MSG_TRUNC, reinterpret_cast<sockaddr*>(&ss), &len);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            if (!from.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), len)) from = CNetAddress();
            if (size_t(n) > size) n = ssize_t(size);  // MSG_TRUNC gives the whole length
        }
        return Received(n, fFd);
    }
}

bool CUdpSocket::BindToInterface(uint32_t index) {
    if (fFd < 0) return false;
    if (fFamily == kFamilyIPv6 && index == 0) index = plat::PrimaryInterfaceIndex();
    char name[IF_NAMESIZE] = {};
    if (index == 0 || !if_indextoname(index, name)) return false;
    if (setsockopt(fFd, SOL_SOCKET, SO_BINDTODEVICE, name, socklen_t(std::strlen(name))) != 0) {
        fLastError = errno;
        return false;
    }
    if (fFamily == kFamilyIPv6) fScope = index;
    return true;
}

bool CUdpSocket::Membership(int option, uint32_t group, uint32_t interfaceAddress) {
    if (fFd < 0) return false;
    ip_mreq m{};
    m.imr_multiaddr.s_addr = htonl(group);
    m.imr_interface.s_addr = htonl(interfaceAddress);
    if (setsockopt(fFd, IPPROTO_IP, option, &m, sizeof m) == 0) return true;
    fLastError = errno;
    return false;
}

bool CUdpSocket::JoinGroup(uint32_t group, uint32_t interfaceAddress) {
    return Membership(IP_ADD_MEMBERSHIP, group, interfaceAddress);
}

bool CUdpSocket::LeaveGroup(uint32_t group, uint32_t interfaceAddress) {
    return Membership(IP_DROP_MEMBERSHIP, group, interfaceAddress);
}

bool CUdpSocket::EnablePacketInfo(bool on) {
    if (fFd < 0) return false;
    int v = on ? 1 : 0;
    return setsockopt(fFd, IPPROTO_IP, IP_PKTINFO, &v, sizeof v) == 0;
}

int32_t CUdpSocket::RecvMsg(CNetAddress& from, void* buffer, uint32_t size, uint32_t& interfaceIndex,
                            uint32_t& destination) {
    interfaceIndex = 0;
    destination = 0;
    if (fFd < 0) return -1;
    sockaddr_storage ss;
    alignas(cmsghdr) uint8_t control[128];
    iovec iov{buffer, size};
    for (;;) {
        msghdr m{};
        m.msg_name = &ss;
        m.msg_namelen = sizeof ss;
        m.msg_iov = &iov;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        ssize_t n = NetSysCalls().recvMsg(fFd, &m, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            if (!from.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), m.msg_namelen)) from = CNetAddress();
            for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c)) {
                if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
                if (c->cmsg_len < CMSG_LEN(sizeof(in_pktinfo))) continue;
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                interfaceIndex = uint32_t(info.ipi_ifindex);
                destination = ntohl(info.ipi_addr.s_addr);
            }
        }
        return Received(n, fFd);
    }
}
