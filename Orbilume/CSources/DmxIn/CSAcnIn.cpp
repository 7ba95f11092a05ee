#include "Orbilume/CSources/DmxIn/CSAcnIn.h"

CSAcnIn::CSAcnIn(LHandler* upper, LAsyncLoop* loop, void* context, Callback callback)
    : LHandler(upper),
      fLoop(loop),
      fSignal(this, loop),
      fSocket(this, &Ready),
      fContext(context),
      fCallback(callback) {}

CSAcnIn::~CSAcnIn() {
    Close();
}

bool CSAcnIn::Open(uint16_t port) {
    if (fSocket.Open(port, CUdpSocket::kFamilyIPv4, 0, 1) != 0) return false;
    fLoop->Lock();
    ReceivePass();
    fLoop->Unlock();
    return true;
}

void CSAcnIn::Close() {
    fSocket.Close();
    fUniverse = -1;
}

bool CSAcnIn::SetUniverse(int32_t universe) {
    if (!fSocket.IsOpen()) return false;
    // 0xEFFF0000 | u is a 239.255.x.y group only for E1.31 universes 1..63999.
    if (universe < 1 || universe > 63999) return false;
    if (fUniverse == universe) return true;
    if (fUniverse > 0) (void)fSocket.LeaveGroup(GroupOf(fUniverse), 0);
    fUniverse = universe;
    (void)fSocket.JoinGroup(GroupOf(universe), 0);
    return true;
}

void CSAcnIn::Ready(void* self, int) {
    static_cast<CSAcnIn*>(self)->fSignal.Raise();
}

LMessage CSAcnIn::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X) && msg.sender == &fSignal) {
        ReceivePass();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CSAcnIn::ReceivePass() {
    for (;;) {
        CNetAddress from;
        int32_t n = fSocket.RecvFrom(from, fBuffer, sizeof fBuffer);
        if (n <= 0) break;
        dmxpkt::E131View v;
        if (!dmxpkt::AcceptE131(fBuffer, size_t(n), fUniverse, &v)) {
            ++fDropped;
            continue;
        }
        if (fCallback) fCallback(fContext, from, v.priority, v.count, v.values);
    }
}
