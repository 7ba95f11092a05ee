#include "Orbilume/CSources/DmxIn/CArtNetIn.h"

CArtNetIn::CArtNetIn(LHandler* upper, LAsyncLoop* loop, void* context, Callback callback,
                     CUdpMuxLink::Config config)
    : LHandler(upper),
      fSignal(this, loop),
      fLink(this, loop, this, &LinkEvent, std::move(config)),
      fContext(context),
      fCallback(callback) {}

CArtNetIn::~CArtNetIn() {
    fLink.Stop();
}

bool CArtNetIn::Start() {
    fLink.Restart();
    return fLink.IsConnected();
}

void CArtNetIn::Stop() {
    fLink.Stop();
}

// Failures need nothing here: the link starts again by itself.
void CArtNetIn::LinkEvent(void* self, int event) {
    if (event == CUdpMuxLink::kData || event == CUdpMuxLink::kConnected)
        static_cast<CArtNetIn*>(self)->fSignal.Raise();
}

LMessage CArtNetIn::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X) && msg.sender == &fSignal) {
        ReceivePass();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CArtNetIn::ReceivePass() {
    for (;;) {
        CNetAddress from;
        int32_t n = fLink.Receive(from, fBuffer, sizeof fBuffer);
        if (n <= 0) break;
        if (!dmxpkt::CheckArtDmx(fBuffer, size_t(n))) {
            ++fDropped;
            continue;
        }
        if (fCallback) fCallback(fContext, from, uint32_t(n), fBuffer);
    }
}
