#include "Orbilume/CSources/UsbDmx/CDmxPort.h"

#include <cstring>

CDmxPort::CDmxPort(LHandler* upper, LAsyncLoop* loop) : LHandler(upper), fLoop(loop), fError(this, loop) {}

CDmxPort::~CDmxPort() {
    fLoop->Lock();
    fOutput.RemoveAll();
    fInput.RemoveAll();
    fLoop->Unlock();
}

LMessage CDmxPort::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X) && msg.sender == &fError) {
        if (IsOpen()) Send(CDmxIo_Close);
        return LMessage();
    }
    return LHandler::Handle(msg);
}

int CDmxPort::Open(const char* path) {
    if (IsOpen()) return kOpenOk;
    fLoop->Lock();
    fRing.Reset();
    fLoop->Unlock();
    return OpenTransport(path);
}

bool CDmxPort::IsWorking() {
    fLoop->Lock();
    const bool working = IsOpen() && !fBroken;
    fLoop->Unlock();
    return working;
}

void CDmxPort::Close() {
    fLoop->Lock();
    if (IsOpen()) {
        fOpen.store(false, std::memory_order_release);
        while (SSLink* n = fOutput.RemoveFirst()) static_cast<CDmxRequest*>(n)->Complete();
    }
    fLoop->Unlock();
    CloseTransport();
    fLoop->UnqueueSignal(&fError);
}

void CDmxPort::QueueInput(CDmxRequest* request) {
    fLoop->Lock();
    fInput.Append(request);
    DeliveryStep();
    fLoop->Unlock();
}

bool CDmxPort::CancelInput(CDmxRequest* request) {
    fLoop->Lock();
    const bool removed = fInput.Remove(request);
    fLoop->Unlock();
    return removed;
}

void CDmxPort::QueueOutput(CDmxRequest* request) {
    fLoop->Lock();
    if (!IsOpen()) {
        fLoop->Unlock();
        request->Complete();
        return;
    }
    fOutput.Append(request);
    SendStep();
    fLoop->Unlock();
}

void CDmxPort::SendStep() {
    if (!IsOpen() || fOutputBusy || fBroken) return;
    auto* request = static_cast<CDmxRequest*>(fOutput.IsEmpty() ? nullptr : fOutput.RemoveFirst());
    if (!request) return;
    uint32_t n = request->Size();
    if (n > usbdmx::kMaxFrame) n = usbdmx::kMaxFrame;
    std::memcpy(fStaging, request->Data(), n);
    fOutputBusy = true;
    // Completed before the write starts: a write refused at once must not let the next frame overtake it.
    request->Complete();
    WriteFrame(n);
}

void CDmxPort::DeliveryStep() {
    while (fRing.Count() > 0 && !fInput.IsEmpty()) {
        auto* request = static_cast<CDmxRequest*>(fInput.RemoveFirst());
        uint32_t length = 0;
        const uint8_t* frame = fRing.Front(length);
        request->SetSize(length);
        std::memcpy(request->Data(), frame, request->Size());
        fRing.Pop();
        for (const Listener& l : fListeners)
            if (l.function) l.function(l.context, request->Data()[0], request->Size() - 1);
        request->Complete();
    }
    if (IsOpen()) ReadMore();
}

void CDmxPort::Broken() {
    fBroken = true;
    fError.Raise();
}

bool CDmxPort::AddFrameListener(void* context, FrameListener listener) {
    fLoop->Lock();
    bool added = false;
    for (Listener& l : fListeners)
        if (!l.function) {
            l = {context, listener};
            added = true;
            break;
        }
    fLoop->Unlock();
    return added;
}

void CDmxPort::RemoveFrameListener(void* context, FrameListener listener) {
    fLoop->Lock();
    for (Listener& l : fListeners)
        if (l.function == listener && l.context == context) l = {};
    fLoop->Unlock();
}
