#include "Orbilume/CSources/Net/CTCPPort.h"

#include <ifaddrs.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "Common/Container/CU32Array.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Orbilume/CSources/Net/CSocketSelector.h"
#include "Orbilume/CSources/Net/NetSysCalls.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Net/InterfaceAddresses.h"

namespace {

bool AddressOf(int fd, bool peer, CNetAddress& out) {
    sockaddr_storage ss;
    socklen_t len = sizeof ss;
    int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&ss), &len)
                  : getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
    return rc == 0 && out.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), len);
}

}  // namespace

CTCPPort::CTCPPort(LHandler* upper, LAsyncLoop* loop)
    : LHandler(upper),
      fLoop(loop),
      fStateEvent(new LAsyncEvent(this, loop)),
      fAcceptEvent(new LAsyncEvent(this, loop)),
      fSendTimer(new LAsyncTimer(this, loop)),
      fReceiveTimer(new LAsyncTimer(this, loop)) {
    PLAT_DCHECK_MAIN_THREAD();
    CSocketSelector::Acquire(loop);
}

CTCPPort::~CTCPPort() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fAlive) *fAlive = false;
    Close();
    CSocketSelector::Release();
    fLoop->Lock();
    fSendTimer->Stop();
    fReceiveTimer->Stop();
    delete fSendTimer;
    delete fReceiveTimer;
    fLoop->Unlock();
    delete fStateEvent;
    delete fAcceptEvent;
}

void CTCPPort::ApplyOptions(int fd, uint32_t sendBufferSize) {
    // SIGPIPE is suppressed per call (MSG_NOSIGNAL); Linux has no socket option for it.
    if (sendBufferSize == 0) return;
    int size = int(sendBufferSize);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void CTCPPort::LocalAddresses(CU32Array& out) const {
    if (!IsOpen()) return;
    // From the interface list: a host-name lookup could send resolver traffic.
    plat::InterfaceAddresses list;
    for (const ifaddrs* a = list.First(); a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_UP)) continue;
        CNetAddress addr;
        if (addr.FromSockaddr(a->ifa_addr, sizeof(sockaddr_in)) &&
            !out.Insert(out.Count(), addr.IPv4Address()))
            return;  // memory ran out: the list stays short
    }
}

bool CTCPPort::TakeConnectFailed() {
    bool failed = fConnectFailed;
    fConnectFailed = false;
    return failed;
}

int CTCPPort::Listen(uint16_t port, int backlog, uint32_t sendBufferSize, uint32_t localAddress) {
    PLAT_DCHECK_MAIN_THREAD();
    if (IsOpen()) return kOk;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return kError;
    if (backlog > 0) {
        // Without it the port stays refused while closed connections sit in TIME_WAIT. Linux still
        // keeps two listeners apart.
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    sockaddr_storage ss;
    socklen_t len = CNetAddress::IPv4(localAddress, port).ToSockaddr(ss);
    if (bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0) {
        int err = errno;
        close(fd);
        return err == EADDRINUSE || err == EADDRNOTAVAIL ? kAddressInUse : kError;
    }
    if (backlog > 0 && listen(fd, backlog) != 0) {
        int err = errno;
        close(fd);
        return err == EADDRINUSE ? kAddressInUse : kError;
    }
    CNetAddress local;
    if (AddressOf(fd, false, local)) {
        fLocalAddr = local;
        fLocalPort = local.port;
    }
    ApplyOptions(fd, sendBufferSize);
    fFd = fd;
    fState = kIdle;
    CSocketSelector::Register(fd, this, &Ready);
    if (backlog > 0) {
        fLoop->Lock();
        TryAccept();
        fLoop->Unlock();
    }
    return kOk;
}

void CTCPPort::TryAccept() {
    if (!IsOpen() || fPendingFd != -1) return;
    for (;;) {
        sockaddr_storage ss;
        socklen_t len = sizeof ss;
        int fd = accept4(fFd, reinterpret_cast<sockaddr*>(&ss), &len, SOCK_CLOEXEC);
        if (fd < 0 && (errno == EINTR || errno == ECONNABORTED)) continue;
        if (fd < 0) {
            CSocketSelector::Arm(fFd, CSocketSelector::kRead);
            return;
        }
        if (!fPendingPeer.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), len)) fPendingPeer = CNetAddress();
        fPendingFd = fd;
        ++fPendingSerial;
        fAcceptEvent->Post();
        return;
    }
}

void CTCPPort::DropPendingAndAcceptNext() {
    fLoop->Lock();
    if (fPendingFd != -1) close(fPendingFd);
    fPendingFd = -1;
    TryAccept();
    fLoop->Unlock();
}

void CTCPPort::Adopt(int fd, const CNetAddress& peer, uint32_t sendBufferSize) {
    CNetAddress local;
    if (AddressOf(fd, false, local)) {
        fLocalAddr = local;
        fLocalPort = local.port;
    }
    fPeerAddr = peer;
    ApplyOptions(fd, sendBufferSize);
    fFd = fd;
    fState = kConnected;
    CSocketSelector::Register(fd, this, &Ready);
}

int CTCPPort::Accept(LHandler* upper, CTCPPort** out, uint32_t sendBufferSize) {
    PLAT_DCHECK_MAIN_THREAD();
    if (out) *out = nullptr;
    fLoop->Lock();
    int fd = fPendingFd;
    fPendingFd = -1;
    fLoop->Unlock();
    int result = 1;
    if (fd != -1 && out) {
        auto* port = new CTCPPort(upper, fLoop);
        port->Adopt(fd, fPendingPeer, sendBufferSize);
        *out = port;
        result = 0;
    } else if (fd != -1) {
        close(fd);
    }
    DropPendingAndAcceptNext();
    return result;
}

void CTCPPort::Close() {
    PLAT_DCHECK_MAIN_THREAD();
    fLoop->Lock();
    if (fPendingFd != -1) close(fPendingFd);
    fPendingFd = -1;
    fLoop->Unlock();
    if (!IsOpen()) return;
    int fd = fFd;
    fFd = -1;
    CSocketSelector::Unregister(fd);
    close(fd);
    fState = kIdle;
    fSendData = nullptr;
    fReceiveBuffer = nullptr;
}

void CTCPPort::Connect(const CNetAddress& address) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsOpen() || fState != kIdle) return;
    fState = kConnecting;
    fPeerAddr = address;
    sockaddr_storage ss;
    socklen_t len = address.ToSockaddr(ss);
    int rc;
    do {
        rc = connect(fFd, reinterpret_cast<sockaddr*>(&ss), len);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        fState = kConnected;
        AddressOf(fFd, false, fLocalAddr);
    } else if (errno == EINPROGRESS || errno == EALREADY || errno == EISCONN) {
        CSocketSelector::Arm(fFd, CSocketSelector::kWrite);
        return;
    } else {
        fConnectFailed = true;
        fState = kIdle;
    }
    fStateEvent->Post();
}

void CTCPPort::Disconnect() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsOpen()) return;
    Close();
    fStateEvent->Post();
}

void CTCPPort::Ended() {
    fState = kIdle;
    fStateEvent->Post();
}

bool CTCPPort::Send(const void* data, uint32_t length) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!CanSend()) return false;
    fSendData = static_cast<const uint8_t*>(data);
    fSendOffset = 0;
    fSendLength = length;
    fInCall = true;
    bool done = TrySend();
    fInCall = false;
    if (done) fSendTimer->Start(0);  // the completion comes from the loop, never from here
    return done;
}

bool CTCPPort::TrySend() {
    if (!IsOpen() || !fSendData) return false;
    while (fSendOffset < fSendLength) {
        ssize_t n = NetSysCalls().send(fFd, fSendData + fSendOffset, fSendLength - fSendOffset, MSG_NOSIGNAL);
        if (n > 0) {
            fSendOffset += uint32_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            CSocketSelector::Arm(fFd, CSocketSelector::kWrite);
            return false;
        }
        Ended();  // reset, closed, or a peer that went away
        return false;
    }
    fSendData = nullptr;
    return true;
}

bool CTCPPort::Receive(void* buffer, uint32_t size) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!CanReceive()) return false;
    fReceiveBuffer = static_cast<uint8_t*>(buffer);
    fReceiveSize = size;
    fReceived = 0;
    fInCall = true;
    bool done = TryReceive();
    fInCall = false;
    if (done) fReceiveTimer->Start(0);  // the completion comes from the loop, never from here
    return done;
}

bool CTCPPort::TryReceive() {
    if (!IsOpen() || !fReceiveBuffer) return false;
    if (fReceived >= fReceiveSize) {
        fReceiveBuffer = nullptr;
        return true;
    }
    for (;;) {
        ssize_t n = NetSysCalls().recv(fFd, fReceiveBuffer + fReceived, fReceiveSize - fReceived, 0);
        if (n > 0) {
            fReceived += uint32_t(n);
            fReceiveBuffer = nullptr;
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            CSocketSelector::Arm(fFd, CSocketSelector::kRead);
            return false;
        }
        Ended();
        return false;
    }
}

uint32_t CTCPPort::ReceiveNow(void* buffer, uint32_t size) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsOpen() || size == 0) return 0;
    for (;;) {
        ssize_t n = NetSysCalls().recv(fFd, buffer, size, 0);
        if (n > 0) return uint32_t(n);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            CSocketSelector::Arm(fFd, CSocketSelector::kRead);
        else
            Ended();
        return 0;
    }
}

uint32_t CTCPPort::PendingSendBytes() const {
    if (!IsOpen()) return 0;
    int queued = 0;
    if (ioctl(fFd, SIOCOUTQ, &queued) != 0 || queued < 0) queued = 0;
    uint32_t unsent = fSendData ? fSendLength - fSendOffset : 0;
    return uint32_t(queued) + unsent;
}

void CTCPPort::ConnectReady() {
    CNetAddress local, peer;
    if (AddressOf(fFd, false, local) && AddressOf(fFd, true, peer)) {
        fLocalAddr = local;
        fState = kConnected;
    } else {
        // Refused or unreachable after a wait: reported like a failure at once.
        fConnectFailed = true;
        fState = kConnectError;
    }
    fStateEvent->Post();
}

void CTCPPort::Ready(void* self, int operation) {
    auto* port = static_cast<CTCPPort*>(self);
    PLAT_DCHECK(!port->fInCall);
    if (operation == CSocketSelector::kWrite) {
        if (port->fState == kConnecting)
            port->ConnectReady();
        else if (port->TrySend())
            LHandler::Dispatch(LMessage(CTCPPort_Sent, port, port->Upper()));
        return;
    }
    if (port->fState == kIdle) {
        port->fLoop->Lock();
        port->TryAccept();
        port->fLoop->Unlock();
        return;
    }
    bool alive = true;
    port->fAlive = &alive;
    if (port->TryReceive()) LHandler::Dispatch(LMessage(CTCPPort_Read, port, port->Upper()));
    if (!alive) return;  // the owner deleted the port
    port->fAlive = nullptr;
    LHandler::Dispatch(LMessage(CTCPPort_RcvA, port, port->Upper()));
}

LMessage CTCPPort::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncTimer_Expire)) {
        if (msg.sender == fReceiveTimer) return LMessage(CTCPPort_Read, this, Upper());
        if (msg.sender == fSendTimer) return LMessage(CTCPPort_Sent, this, Upper());
    } else if (msg.Is(LAsyncEvent_Note)) {
        if (msg.sender == fStateEvent) {
            if (fState == kConnected) return LMessage(CTCPPort_Connected, this, Upper());
            if (fState == kConnecting) return LMessage();
            Close();
            return LMessage(CTCPPort_Close, this, Upper());
        }
        if (msg.sender == fAcceptEvent) {
            fOfferedSerial = fPendingSerial;
            return LMessage(CTCPPort_Request, this, Upper());
        }
    } else if (msg.Is(CTCPPort_Request) && msg.sender == this) {
        // Back from the top of the chain: nobody took the connection.
        if (fPendingFd != -1 && fPendingSerial == fOfferedSerial) DropPendingAndAcceptNext();
        return LMessage();
    }
    return LHandler::Handle(msg);
}
