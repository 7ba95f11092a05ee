#include "Orbilume/CSources/Net/CUDPPort.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Orbilume/CSources/Net/CSocketSelector.h"
#include "Orbilume/CSources/Net/NetSysCalls.h"
#include "Platform/Foundation/Check.h"

CUDPPort::CUDPPort(LHandler* upper, LAsyncLoop* loop)
    : LHandler(upper),
      fLoop(loop),
      fSendTimer(new LAsyncTimer(this, loop)),
      fReceiveTimer(new LAsyncTimer(this, loop)) {
    PLAT_DCHECK_MAIN_THREAD();
    CSocketSelector::Acquire(loop);
}

CUDPPort::~CUDPPort() {
    PLAT_DCHECK_MAIN_THREAD();
    Close();
    CSocketSelector::Release();
    fLoop->Lock();
    fSendTimer->Stop();
    fReceiveTimer->Stop();
    delete fSendTimer;
    delete fReceiveTimer;
    fLoop->Unlock();
}

int CUDPPort::Open(uint16_t port, uint32_t, uint32_t sendBufferSize, uint32_t localAddress) {
    PLAT_DCHECK_MAIN_THREAD();
    if (IsOpen()) return kOk;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return kError;
    sockaddr_storage ss;
    socklen_t len = CNetAddress::IPv4(localAddress, port).ToSockaddr(ss);
    if (bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0) {
        int err = errno;
        close(fd);
        return err == EADDRINUSE || err == EADDRNOTAVAIL ? kAddressInUse : kError;
    }
    len = sizeof ss;
    CNetAddress bound;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len) == 0 &&
        bound.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), len))
        fLocalPort = bound.port;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    if (sendBufferSize != 0) {
        int size = int(sendBufferSize);
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    fFd = fd;
    CSocketSelector::Register(fd, this, &Ready);
    return kOk;
}

void CUDPPort::Close() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsOpen()) return;
    int fd = fFd;
    fFd = -1;
    CSocketSelector::Unregister(fd);
    close(fd);
    // Nothing can complete any more; the owner may reuse its buffers.
    fSendData = nullptr;
    fReceiveBuffer = nullptr;
}

bool CUDPPort::Send(const CNetAddress& to, const void* data, uint32_t length) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsOpen() || fSendData) return false;
    fDestination = to;
    fSendData = static_cast<const uint8_t*>(data);
    fSendLength = length;
    fInCall = true;
    bool done = TrySend();
    fInCall = false;
    if (done) fSendTimer->Start(0);  // the completion comes from the loop, never from here
    return done;
}

bool CUDPPort::Receive(void* buffer, uint32_t size) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsOpen() || fReceiveBuffer) return false;
    fReceiveBuffer = static_cast<uint8_t*>(buffer);
    fReceiveSize = size;
    fReceived = 0;
    fReceiveError = 0;
    fInCall = true;
    bool done = TryReceive();
    fInCall = false;
    if (done) fReceiveTimer->Start(0);  // the completion comes from the loop, never from here
    return done;
}

bool CUDPPort::TrySend() {
    if (!IsOpen() || !fSendData) return false;
    sockaddr_storage ss;
    socklen_t len = fDestination.ToSockaddr(ss);
    for (;;) {
        ssize_t n = NetSysCalls().sendTo(fFd, fSendData, fSendLength, MSG_NOSIGNAL,
                                         reinterpret_cast<sockaddr*>(&ss), len);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
            CSocketSelector::Arm(fFd, CSocketSelector::kWrite);
            return false;
        }
        // Sent, or failed for good (unreachable, refused, too long): the datagram is dropped.
        fSendData = nullptr;
        return true;
    }
}

bool CUDPPort::TryReceive() {
    if (!IsOpen() || !fReceiveBuffer) return false;
    for (;;) {
        sockaddr_storage ss;
        socklen_t len = sizeof ss;
        ssize_t n = NetSysCalls().recvFrom(fFd, fReceiveBuffer + fReceived, fReceiveSize - fReceived, 0,
                                           reinterpret_cast<sockaddr*>(&ss), &len);
        if (n >= 0) {
            if (!fSource.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), len)) fSource = CNetAddress();
            fReceived += uint32_t(n);
            fReceiveBuffer = nullptr;
            return true;
        }
        if (errno == EINTR) continue;
        // ECONNREFUSED reports an earlier send's ICMP error, consumed by this call: wait again.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNREFUSED) {
            CSocketSelector::Arm(fFd, CSocketSelector::kRead);
            return false;
        }
        // Any other error completes the receive empty, so the owner is never left waiting.
        fReceiveError = errno;
        fReceiveBuffer = nullptr;
        return true;
    }
}

void CUDPPort::Complete(LMsgId id) {
    PLAT_DCHECK(!fInCall);
    LHandler::Dispatch(LMessage(id, this, Upper()));
}

void CUDPPort::Ready(void* self, int operation) {
    auto* port = static_cast<CUDPPort*>(self);
    if (operation == CSocketSelector::kWrite) {
        if (port->TrySend()) port->Complete(CUDPPort_Sent);
    } else {
        if (port->TryReceive()) port->Complete(CUDPPort_Read);
    }
}

LMessage CUDPPort::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncTimer_Expire)) {
        if (msg.sender == fReceiveTimer) return LMessage(CUDPPort_Read, this, Upper());
        if (msg.sender == fSendTimer) return LMessage(CUDPPort_Sent, this, Upper());
    }
    return LHandler::Handle(msg);
}
