#include "Orbilume/CSources/UsbDmx/CMacUSBInterface.h"

#include <unistd.h>

#include <chrono>

#include "Platform/Foundation/RunLoop.h"

CMacUSBInterface::CMacUSBInterface(LHandler* upper, LAsyncLoop* loop, plat::UsbHost* host)
    : LHandler(upper), fLoop(loop), fHost(host), fSignal(this, loop) {}

CMacUSBInterface::~CMacUSBInterface() {
    Close();
}

bool CMacUSBInterface::IsOpen() const {
    fLoop->Lock();
    const bool open = fInterface != nullptr;
    fLoop->Unlock();
    return open;
}

int CMacUSBInterface::Open(const char* path) {
    if (IsOpen()) return kOpenOk;
    std::unique_ptr<plat::UsbDevice> device;
    switch (Host().Open(path, device)) {
        case plat::UsbOpenResult::kOk:
            break;
        case plat::UsbOpenResult::kNoDevice:
            return kOpenNoDevice;
        case plat::UsbOpenResult::kExclusive:
            return kOpenExclusive;
        default:
            return kOpenFailed;
    }
    uint8_t number = 0;
    if (device->NamedInterface() >= 0) {
        number = uint8_t(device->NamedInterface());
    } else {
        uint8_t configuration = 0;
        if (!device->FirstConfiguration(configuration) || !device->SetConfiguration(configuration))
            return kOpenFailed;
        // A device that has just been configured may take a moment to show its interfaces.
        bool found = false;
        for (int attempt = 0; attempt < 10 && !found; ++attempt) {
            found = device->FirstInterface(number);
            if (!found) usleep(10000);
        }
        if (!found) return kOpenFailed;
    }
    plat::RunLoop* runLoop = fLoop->RunLoop() ? fLoop->RunLoop() : plat::RunLoop::Main();
    std::unique_ptr<plat::UsbInterface> claimed;
    switch (device->ClaimInterface(number, runLoop, claimed)) {
        case plat::UsbOpenResult::kOk:
            break;
        case plat::UsbOpenResult::kExclusive:
            return kOpenExclusive;
        case plat::UsbOpenResult::kNoDevice:
            return kOpenNoDevice;
        default:
            return kOpenFailed;
    }
    fLoop->Lock();
    fInterface = std::move(claimed);
    fLoop->Unlock();
    return kOpenOk;
}

bool CMacUSBInterface::HasPending() {
    fLoop->Lock();
    const bool pending = !fLists[kRead].IsEmpty() || !fLists[kWrite].IsEmpty() || !fLists[kControl].IsEmpty();
    fLoop->Unlock();
    return pending;
}

void CMacUSBInterface::Close() {
    fLoop->Lock();
    std::unique_ptr<plat::UsbInterface> closing = std::move(fInterface);
    fLoop->Unlock();
    if (!closing) return;
    closing->Abort(0);
    // On the loop's thread nobody else can deliver the aborted transfers: take them from the backend here.
    plat::RunLoop* runLoop = fLoop->RunLoop();
    const bool onLoop = runLoop ? plat::RunLoop::Current() == runLoop : plat::RunLoop::IsMainThread();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kCloseLimit);
    while (HasPending() && std::chrono::steady_clock::now() < deadline) {
        if (onLoop) {
            closing->HandleEvents(0.01);
            fLoop->Lock();
            Dispatch();
            fLoop->Unlock();
        } else {
            usleep(100);
        }
    }
    closing->Close();  // no backend callback after this
    CompleteLeftovers();
}

// What the backend never gave back counts as aborted.
void CMacUSBInterface::CompleteLeftovers() {
    fLoop->Lock();
    for (LSLinkBase& list : fLists)
        for (SSLink* n = list.First(); !n->IsEnd(); n = n->next) {
            auto* r = static_cast<CMacUSBRequest*>(n);
            if (r->IsDone()) continue;
            r->fLength = 0;
            r->fStatus = CMacUSBRequest::kAborted;
            r->fDone.store(true, std::memory_order_release);
        }
    Dispatch();
    fLoop->Unlock();
}

std::unique_ptr<CMacUSBRequest> CMacUSBInterface::NewRequest() {
    return std::make_unique<CMacUSBRequest>(this);
}

bool CMacUSBInterface::FindPipe(uint8_t type, uint8_t direction, uint32_t index, uint8_t& pipe,
                                uint8_t& endpoint) {
    fLoop->Lock();
    bool found = false;
    if (fInterface) {
        for (uint8_t p = 1; p <= fInterface->PipeCount() && !found; ++p) {
            plat::UsbPipeInfo info;
            if (!fInterface->GetPipe(p, info)) break;
            if (info.type != type || info.direction != direction || index-- != 0) continue;
            pipe = p;
            endpoint = info.endpoint;
            found = true;
        }
    }
    fLoop->Unlock();
    return found;
}

void CMacUSBInterface::ReadPipeAsync(CMacUSBRequest* request, uint8_t pipe, void* buffer, uint32_t length,
                                     void* context, USBCompletion function) {
    Start(kRead, request, pipe, buffer, length, context, function, nullptr);
}

void CMacUSBInterface::WritePipeAsync(CMacUSBRequest* request, uint8_t pipe, const void* buffer,
                                      uint32_t length, void* context, USBCompletion function) {
    Start(kWrite, request, pipe, const_cast<void*>(buffer), length, context, function, nullptr);
}

void CMacUSBInterface::ControlRequestAsync(CMacUSBRequest* request, const SUSBSetup& setup, void* data,
                                           uint16_t length, void* context, USBCompletion function) {
    Start(kControl, request, 0, data, length, context, function, &setup);
}

void CMacUSBInterface::Start(Kind kind, CMacUSBRequest* request, uint8_t pipe, void* buffer, uint32_t length,
                             void* context, USBCompletion function, const SUSBSetup* setup) {
    request->fContext = context;
    request->fFunction = function;
    request->fBuffer = buffer;
    request->fLength = length;
    request->fStatus = CMacUSBRequest::kFailed;
    request->fDone.store(false, std::memory_order_relaxed);
    if (setup) {
        request->fDevRequest = SUSBDevRequest{
            setup->bmRequestType, setup->bRequest, setup->wValue, setup->wIndex, uint16_t(length), buffer, 0};
    }
    // The loop lock keeps a refused call's completion and the loop's dispatch from walking the lists
    // at the same time.
    fLoop->Lock();
    fLists[kind].Append(request);
    bool started = false;
    if (fInterface) {
        auto* bytes = static_cast<uint8_t*>(buffer);
        if (kind == kRead) {
            started = fInterface->Read(pipe, bytes, length, &Completed, request);
        } else if (kind == kWrite) {
            started = fInterface->Write(pipe, bytes, length, &Completed, request);
        } else {
            plat::UsbSetup s{setup->bmRequestType, setup->bRequest, setup->wValue, setup->wIndex,
                             uint16_t(length)};
            started = fInterface->Control(s, bytes, &Completed, request);
        }
    }
    if (!started) {
        request->fLength = 0;
        request->fStatus = CMacUSBRequest::kFailed;
        request->fDone.store(true, std::memory_order_release);
        Dispatch();
    }
    fLoop->Unlock();
}

void CMacUSBInterface::Completed(void* context, const plat::UsbCompletion& c) {
    auto* r = static_cast<CMacUSBRequest*>(context);
    r->fLength = c.transferred;
    r->fStatus = c.status == plat::UsbStatus::kDone      ? CMacUSBRequest::kDone
                 : c.status == plat::UsbStatus::kAborted ? CMacUSBRequest::kAborted
                                                         : CMacUSBRequest::kFailed;
    r->fDevRequest.wLenDone = c.transferred;
    r->fDone.store(true, std::memory_order_release);
    r->fOwner->fSignal.Raise();
}

void CMacUSBInterface::Dispatch() {
    for (LSLinkBase& list : fLists) {
        for (;;) {
            SSLink* first = list.First();
            if (first->IsEnd()) break;
            auto* r = static_cast<CMacUSBRequest*>(first);
            if (!r->IsDone()) break;  // a pending request holds back those issued after it
            list.RemoveFirst();
            if (r->fFunction) r->fFunction(r->fContext, r);
        }
    }
}

LMessage CMacUSBInterface::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X) && msg.sender == &fSignal) {
        fLoop->Lock();
        Dispatch();
        fLoop->Unlock();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CMacUSBInterface::AbortPipe(uint8_t pipe) {
    fLoop->Lock();
    if (fInterface) fInterface->Abort(pipe);
    fLoop->Unlock();
}

int CMacUSBInterface::GetDeviceReleaseNumber(uint32_t& out) {
    fLoop->Lock();
    const bool open = fInterface != nullptr;
    if (open) out = fInterface->ReleaseNumber();
    fLoop->Unlock();
    return open ? 0 : 1;
}
