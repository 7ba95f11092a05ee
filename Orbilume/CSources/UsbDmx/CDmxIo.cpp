#include "Orbilume/CSources/UsbDmx/CDmxIo.h"

#include "Platform/Foundation/Bytes.h"

CDmxIo::CDmxIo(LHandler* upper, LAsyncLoop* loop, plat::UsbHost* host)
    : CDmxPort(upper, loop),
      fUsb(std::make_unique<CMacUSBInterface>(this, loop, host)),
      fControlDone(this, loop) {
    fControlRequest = fUsb->NewRequest();
    fWriteRequest = fUsb->NewRequest();
    for (auto& r : fReadRequests) r = fUsb->NewRequest();
}

CDmxIo::~CDmxIo() {
    Close();
    fLoop->Lock();
    for (LSLinkBase* queue : {&fSets, &fGets})
        while (SSLink* n = queue->RemoveFirst()) {
            auto* r = static_cast<CDmxTimingRequest*>(n);
            if (r->function) r->function(r->context, r, 1);
        }
    while (SSLink* n = fInput.RemoveFirst()) static_cast<CDmxRequest*>(n)->Complete();
    fLoop->Unlock();
}

LMessage CDmxIo::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X) && msg.sender == &fControlDone) {
        fLoop->Lock();
        FinishControl();
        fLoop->Unlock();
        return LMessage();
    }
    return CDmxPort::Handle(msg);
}

int CDmxIo::OpenTransport(const char* path) {
    const int opened = fUsb->Open(path);
    if (opened == CMacUSBInterface::kOpenExclusive) return kOpenExclusive;
    if (opened != CMacUSBInterface::kOpenOk) return kOpenFailed;
    using T = CMacUSBInterface;
    if (!fUsb->FindPipe(T::kTransferInterrupt, T::kDirectionIn, 0, fInPipe, fInEndpoint) ||
        !fUsb->FindPipe(T::kTransferInterrupt, T::kDirectionOut, 0, fOutPipe, fOutEndpoint)) {
        fUsb->Close();
        return kOpenFailed;
    }
    uint32_t release = 0;
    if (fUsb->GetDeviceReleaseNumber(release) == 0) fRelease = release;
    fLoop->Lock();
    fConsumed = fIssued = 0;
    fDecoder.Reset();
    fDecoding = false;
    fOutputBusy = false;
    fBroken = false;
    fOpen.store(true, std::memory_order_release);
    DeliveryStep();
    SendStep();
    ControlStep();
    fLoop->Unlock();
    return kOpenOk;
}

void CDmxIo::CloseTransport() {
    fUsb->Close();
}

void CDmxIo::WriteFrame(uint32_t n) {
    const uint32_t length = usbdmx::PackFrame(fStaging, n, fPacked);
    fUsb->WritePipeAsync(fWriteRequest.get(), fOutPipe, fPacked, length, this, &WriteDone);
}

void CDmxIo::WriteDone(void* self, CMacUSBRequest* request) {
    auto* io = static_cast<CDmxIo*>(self);
    io->fOutputBusy = false;
    if (request->Status() == CMacUSBRequest::kDone)
        io->SendStep();
    else if (io->IsOpen())
        io->Broken();
}

void CDmxIo::ReadMore() {
    while (IsOpen() && !fBroken && uint16_t(fIssued - fConsumed) < kReads) {
        const uint16_t slot = fIssued & (kReads - 1);
        fReportState[slot] = kReportPending;
        ++fIssued;  // before the call: a refused read completes inside it
        fUsb->ReadPipeAsync(fReadRequests[slot].get(), fInPipe, fReports[slot], usbdmx::kReportSize, this,
                            &ReadDone);
    }
}

void CDmxIo::ReadDone(void* self, CMacUSBRequest* request) {
    auto* io = static_cast<CDmxIo*>(self);
    uint16_t slot = 0;
    while (slot < kReads && io->fReadRequests[slot].get() != request) ++slot;
    if (slot == kReads) return;
    const uint32_t length = request->Length();
    io->fReportLength[slot] = uint8_t(length < usbdmx::kReportSize ? length : usbdmx::kReportSize);
    if (request->Status() == CMacUSBRequest::kDone) {
        io->fReportState[slot] = kReportReceived;
    } else {
        io->fReportState[slot] = kReportFailed;
        if (io->IsOpen()) io->Broken();
    }
    io->Decode();
}

// Reports are taken strictly in the order they were issued; a failed one is skipped.
void CDmxIo::Decode() {
    if (fDecoding) return;
    fDecoding = true;
    while (fConsumed != fIssued) {
        const uint16_t slot = fConsumed & (kReads - 1);
        if (fReportState[slot] == kReportPending) break;
        if (fReportState[slot] == kReportReceived) fDecoder.Feed(fReports[slot], fReportLength[slot], *this);
        fReportState[slot] = kReportPending;
        ++fConsumed;
    }
    fDecoding = false;
    DeliveryStep();
}

void CDmxIo::FrameDone(uint32_t length) {
    fRing.Commit(length);
    DeliveryStep();
}

void CDmxIo::QueueGetTiming(CDmxTimingRequest* request, void* context, DmxTimingDone function) {
    fLoop->Lock();
    request->context = context;
    request->function = function;
    fGets.Append(request);
    ControlStep();
    fLoop->Unlock();
}

void CDmxIo::QueueSetTiming(CDmxTimingRequest* request, void* context, DmxTimingDone function, uint32_t brk,
                            uint32_t mab, uint32_t mbs) {
    fLoop->Lock();
    request->context = context;
    request->function = function;
    request->brk = brk;
    request->mab = mab;
    request->mbs = mbs;
    fSets.Append(request);
    ControlStep();
    fLoop->Unlock();
}

bool CDmxIo::Cancel(LSLinkBase& queue, CDmxTimingRequest* request) {
    fLoop->Lock();
    const bool queued = queue.Remove(request);
    if (fCurrent == request) fCurrent = nullptr;
    fLoop->Unlock();
    return queued;
}

bool CDmxIo::CancelGetTiming(CDmxTimingRequest* request) {
    return Cancel(fGets, request);
}

bool CDmxIo::CancelSetTiming(CDmxTimingRequest* request) {
    return Cancel(fSets, request);
}

// The request in flight stays first in its queue until it completes.
void CDmxIo::ControlStep() {
    if (fControlBusy || !IsOpen()) return;
    SUSBSetup setup;
    if (!fSets.IsEmpty()) {
        auto* r = static_cast<CDmxTimingRequest*>(fSets.First());
        fSetBytes[0] = uint8_t(r->brk);
        fSetBytes[1] = uint8_t(r->mab);
        fSetBytes[2] = uint8_t(r->mbs);
        fSetBytes[3] = 0;
        setup = {0x42, 0x03, 0, fOutEndpoint};
        fControlBusy = true;
        fControlDirection = 0;
        fCurrent = r;
        fUsb->ControlRequestAsync(fControlRequest.get(), setup, fSetBytes, sizeof fSetBytes, this,
                                  &ControlDone);
    } else if (!fGets.IsEmpty()) {
        auto* r = static_cast<CDmxTimingRequest*>(fGets.First());
        setup = {0xC2, 0x00, 0, fInEndpoint};
        fControlBusy = true;
        fControlDirection = 1;
        fCurrent = r;
        fUsb->ControlRequestAsync(fControlRequest.get(), setup, fGetBytes, sizeof fGetBytes, this,
                                  &ControlDone);
    }
}

// Completions of control requests reach the timing requests on the loop's thread, also when the
// transport refused the request on another thread.
void CDmxIo::ControlDone(void* self, CMacUSBRequest*) {
    static_cast<CDmxIo*>(self)->fControlDone.Raise();
}

void CDmxIo::FinishControl() {
    if (!fControlBusy) return;
    uint32_t status = fControlRequest->Status() == CMacUSBRequest::kDone      ? 0
                      : fControlRequest->Status() == CMacUSBRequest::kAborted ? 2
                                                                              : 1;
    CDmxTimingRequest* r = fCurrent;
    fCurrent = nullptr;
    if (r) {
        (fControlDirection ? fGets : fSets).Remove(r);
        if (fControlDirection == 1 && status == 0) {
            // A short reply would leave bytes of an earlier one: it fails and the values stay.
            if (fControlRequest->Length() < sizeof fGetBytes) {
                status = 1;
            } else {
                r->brk = plat::LoadLE16(fGetBytes);
                r->mab = plat::LoadLE16(fGetBytes + 2);
                r->mbs = plat::LoadLE16(fGetBytes + 4);
            }
        }
        if (r->function) r->function(r->context, r, status);
    }
    fControlBusy = false;
    ControlStep();
}
