#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Net/CNetAddress.h"

class CU32Array;
class LAsyncEvent;
class LAsyncLoop;
class LAsyncTimer;

// Messages to the upper handler, sender the port.
L_MESSAGE_ID(CTCPPort_Request);    // a connection waits to be accepted; unconsumed, it is closed
L_MESSAGE_ID(CTCPPort_Connected);  // an outgoing connection was made
L_MESSAGE_ID(CTCPPort_Read);       // a receive completed
L_MESSAGE_ID(CTCPPort_RcvA);       // the socket became readable
L_MESSAGE_ID(CTCPPort_Sent);       // a send completed
L_MESSAGE_ID(CTCPPort_Close);      // the connection ended (refused, reset, closed by the peer)

// The asynchronous IPv4 TCP endpoint of the main thread: a listener that offers incoming
// connections one at a time, or a connected stream with one send and one receive in flight.
// Readiness comes from CSocketSelector; completions and state changes are messages to the upper
// handler, delivered from the loop (never from inside Send or Receive). Every send uses
// MSG_NOSIGNAL. Main thread only; the pending-connection slot changes under the loop's lock.
class CTCPPort : public LHandler {
public:
    enum : uint32_t { kIdle = 0, kConnecting = 1, kConnected = 2, kConnectError = 4 };
    enum : int { kOk = 0, kError = 2, kAddressInUse = 3 };

    CTCPPort(LHandler* upper, LAsyncLoop* loop);
    ~CTCPPort() override;

    LMessage Handle(const LMessage& msg) override;

    // Appends the host's IPv4 interface addresses (host order); nothing when closed.
    virtual void LocalAddresses(CU32Array& out) const;
    virtual uint16_t LocalPort() const { return fLocalPort; }
    virtual uint32_t ReceivedLength() const { return fReceived; }
    virtual bool IsOpen() const { return fFd != -1; }
    virtual uint32_t State() const { return fState; }
    virtual bool CanSend() const { return IsOpen() && fState == kConnected && !fSendData; }
    virtual bool CanReceive() const { return IsOpen() && fState == kConnected && !fReceiveBuffer; }
    virtual CNetAddress LocalAddr() const { return fLocalAddr; }
    virtual CNetAddress PeerAddr() const { return fPeerAddr; }
    // The connect-failed flag, cleared by the call.
    virtual bool TakeConnectFailed();
    // 0 ok (also when open already), 2 error, 3 address in use or not available. Backlog 0 only
    // binds (the form for an outgoing connection). Binds the wildcard unless a local IPv4 address
    // (host order) is given. Listening sockets reuse addresses of closed connections.
    [[nodiscard]] virtual int Listen(uint16_t port, int backlog, uint32_t sendBufferSize,
                                     uint32_t localAddress = 0);
    // 0 when the pending connection went to a new port in *out (upper handler given, same loop);
    // 1 when none was pending, or out is null (the connection is then closed).
    virtual int Accept(LHandler* upper, CTCPPort** out, uint32_t sendBufferSize);
    virtual void Close();
    virtual void Connect(const CNetAddress& address);
    // Closes and announces "CTCPPort_Close".
    virtual void Disconnect();
    // True when the whole range went out at once; "CTCPPort_Sent" follows either way.
    virtual bool Send(const void* data, uint32_t length);
    // One read into the caller's buffer: bytes read, 0 when nothing waits (the read watch is then
    // armed) or the connection ended.
    virtual uint32_t ReceiveNow(void* buffer, uint32_t size);
    // True when data was read at once; "CTCPPort_Read" follows either way.
    virtual bool Receive(void* buffer, uint32_t size);
    // Bytes not yet acknowledged by the peer plus unsent bytes of the pending send.
    virtual uint32_t PendingSendBytes() const;

private:
    static void Ready(void* self, int operation);
    void Adopt(int fd, const CNetAddress& peer, uint32_t sendBufferSize);
    void TryAccept();  // loop lock held
    void DropPendingAndAcceptNext();
    bool TrySend();
    bool TryReceive();
    void Ended();
    void ConnectReady();
    static void ApplyOptions(int fd, uint32_t sendBufferSize);

    LAsyncLoop* fLoop;
    LAsyncEvent* fStateEvent;
    LAsyncEvent* fAcceptEvent;
    LAsyncTimer* fSendTimer;
    LAsyncTimer* fReceiveTimer;
    int fFd = -1;
    int fPendingFd = -1;  // loop lock
    uint64_t fPendingSerial = 0;
    uint64_t fOfferedSerial = 0;
    CNetAddress fPendingPeer;
    const uint8_t* fSendData = nullptr;
    uint32_t fSendOffset = 0;
    uint32_t fSendLength = 0;
    uint8_t* fReceiveBuffer = nullptr;
    uint32_t fReceiveSize = 0;
    uint32_t fReceived = 0;
    uint32_t fState = kIdle;
    uint16_t fLocalPort = 0;
    bool fConnectFailed = false;
    bool fInCall = false;
    bool* fAlive = nullptr;  // cleared by the destructor while a callback runs
    CNetAddress fLocalAddr;
    CNetAddress fPeerAddr;
};
