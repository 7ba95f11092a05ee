#pragma once

// One USB transfer of the transport (CMacUSBInterface): allocated once by its user and reused. The
// transport fills it when a transfer starts; on completion length is the byte count transferred and
// status 0 done, 1 failed, 2 aborted.

#include <atomic>
#include <cstdint>

#include "Lib3/LSources/CoreData/LSLinkBase.h"

class CMacUSBInterface;
class CMacUSBRequest;

using USBCompletion = void (*)(void* context, CMacUSBRequest* request);

// The setup packet of a control request and where its data goes.
struct SUSBDevRequest {
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
    void* pData = nullptr;
    uint32_t wLenDone = 0;
};

class CMacUSBRequest : public SSLink {
public:
    enum : uint32_t { kDone = 0, kFailed = 1, kAborted = 2 };

    explicit CMacUSBRequest(CMacUSBInterface* owner) : fOwner(owner) {}
    ~CMacUSBRequest() override = default;

    virtual bool IsDone() const { return fDone.load(std::memory_order_acquire); }

    CMacUSBInterface* Owner() const { return fOwner; }
    void* Context() const { return fContext; }
    void* Buffer() const { return fBuffer; }
    uint32_t Length() const { return fLength; }
    uint32_t Status() const { return fStatus; }
    const SUSBDevRequest& DevRequest() const { return fDevRequest; }

private:
    friend class CMacUSBInterface;

    CMacUSBInterface* fOwner;
    void* fContext = nullptr;
    USBCompletion fFunction = nullptr;
    void* fBuffer = nullptr;
    uint32_t fLength = 0;
    uint32_t fStatus = kDone;
    std::atomic<bool> fDone{false};
    SUSBDevRequest fDevRequest;
};
