#include "Orbilume/CSources/Osc/COSCSender.h"

#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Orbilume/CSources/Net/CUDPPort.h"
#include "Orbilume/CSources/Osc/OscWriter.h"
#include "Platform/Foundation/Check.h"

namespace {
// Replies are read and thrown away so that they never fill the socket's buffer.
uint8_t gDiscard[64];
}  // namespace

COSCSender::COSCSender(LHandler* upper, LAsyncLoop* loop)
    : LHandler(upper), fLoop(loop), fPort(std::make_unique<CUDPPort>(this, loop)) {}

COSCSender::~COSCSender() {
    fPort->Close();
    fPort.reset();
}

int COSCSender::Open(uint32_t localAddress) {
    PLAT_DCHECK_MAIN_THREAD();
    int result = fPort->Open(0, 0, 0, localAddress);
    if (result != CUDPPort::kOk) return result;
    fLoop->Lock();
    if (fPort->CanReceive()) (void)fPort->Receive(gDiscard, sizeof gDiscard);
    fLoop->Unlock();
    return result;
}

void COSCSender::Close() {
    fPort->Close();
    fLoop->Lock();
    fQueue.clear();
    fInFlight = false;
    fLoop->Unlock();
}

bool COSCSender::IsOpen() const {
    return fPort->IsOpen();
}

uint16_t COSCSender::LocalPort() const {
    return fPort->LocalPort();
}

void COSCSender::SendMessage(const CNetAddress& to, const char* address, const OscArg* args, uint32_t count,
                             bool callerHoldsLock) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fPort->IsOpen()) return;
    if (!callerHoldsLock) fLoop->Lock();
    if (fQueue.size() >= kMaxQueued) {
        ++fDropped;
    } else {
        Packet packet;
        packet.to = to;
        LVariBuffer<uint8_t> buffer;
        CMemStream stream(buffer);
        OscWriter writer;
        writer.WriteMessage(stream, address, args, count);
        packet.bytes.assign(stream.Data(), stream.Data() + stream.End());
        fQueue.push_back(std::move(packet));
        SendNext();
    }
    if (!callerHoldsLock) fLoop->Unlock();
}

void COSCSender::SendNext() {
    // The port is free again as soon as a send went out at once, but the packet stays first in the
    // queue until its completion arrives: never send it twice.
    if (fInFlight || fQueue.empty() || !fPort->CanSend()) return;
    const Packet& p = fQueue.front();
    fInFlight = true;
    (void)fPort->Send(p.to, p.bytes.data(), uint32_t(p.bytes.size()));
}

LMessage COSCSender::Handle(const LMessage& msg) {
    if (msg.sender == fPort.get()) {
        if (msg.Is(CUDPPort_Sent)) {
            fLoop->Lock();
            if (fInFlight && !fQueue.empty()) fQueue.pop_front();
            fInFlight = false;
            SendNext();
            fLoop->Unlock();
            Send(COSCSender_UDP_SentA);
            return LMessage();
        }
        if (msg.Is(CUDPPort_Read)) {
            if (fPort->CanReceive()) (void)fPort->Receive(gDiscard, sizeof gDiscard);
            return LMessage();
        }
    }
    return LHandler::Handle(msg);
}
