#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Net/CNetAddress.h"

class LAsyncLoop;
class LAsyncTimer;

// A send completed (sender: the port). Always from the loop, never from inside Send.
L_MESSAGE_ID(CUDPPort_Sent);
// A receive completed; ReceivedLength and GetSource describe the datagram. Never from inside Receive.
L_MESSAGE_ID(CUDPPort_Read);

// The asynchronous IPv4 UDP endpoint of the main thread: one send and one receive in flight, each
// completed by a message to the upper handler. Readiness comes from CSocketSelector; operations that
// complete at once are announced through 0 ms loop timers, so completions always arrive from the
// loop given at construction (the main loop). The caller keeps send data and receive buffers alive
// until the completion. Main thread only.
class CUDPPort : public LHandler {
public:
    enum : int { kOk = 0, kError = 1, kAddressInUse = 2 };

    CUDPPort(LHandler* upper, LAsyncLoop* loop);
    ~CUDPPort() override;

    LMessage Handle(const LMessage& msg) override;

    virtual bool IsOpen() const { return fFd != -1; }
    virtual uint16_t LocalPort() const { return fLocalPort; }
    virtual uint32_t ReceivedLength() const { return fReceived; }
    virtual bool CanSend() const { return IsOpen() && !fSendData; }
    virtual bool CanReceive() const { return IsOpen() && !fReceiveBuffer; }
    virtual CNetAddress GetSource() const { return fSource; }
    // 0 ok (also when open already), 1 error, 2 address in use or not available. Port 0 lets the
    // system choose. Binds the wildcard unless a local IPv4 address (host order) is given.
    [[nodiscard]] virtual int Open(uint16_t port, uint32_t unused, uint32_t sendBufferSize,
                                   uint32_t localAddress = 0);
    virtual void Close();
    // True when the datagram went out at once; "CUDPPort_Sent" follows either way.
    virtual bool Send(const CNetAddress& to, const void* data, uint32_t length);
    // True when a datagram was read at once; "CUDPPort_Read" follows either way.
    virtual bool Receive(void* buffer, uint32_t size);

    // The error of the last receive that completed with an error (length 0), else 0.
    int ReceiveError() const { return fReceiveError; }

private:
    static void Ready(void* self, int operation);
    bool TrySend();
    bool TryReceive();
    void Complete(LMsgId id);

    LAsyncLoop* fLoop;
    LAsyncTimer* fSendTimer;
    LAsyncTimer* fReceiveTimer;
    int fFd = -1;
    uint16_t fLocalPort = 0;
    const uint8_t* fSendData = nullptr;
    uint32_t fSendLength = 0;
    CNetAddress fDestination;
    uint8_t* fReceiveBuffer = nullptr;
    uint32_t fReceiveSize = 0;
    uint32_t fReceived = 0;
    CNetAddress fSource;
    int fReceiveError = 0;
    bool fInCall = false;  // inside Send or Receive: no completion may be delivered
};
