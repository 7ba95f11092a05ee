#pragma once

// The protocol of the USB DMX interface (vendor 0x0AD5, product 0x0004) over the USB transport: frames
// out as packed reports, one write in flight; 16 reads kept outstanding and their reports decoded into
// the port's frame ring; the signal timing read and set with vendor requests, one at a time.
//
// Threads: transfer completions, decoding, timing completions and "CDmxIo_Close" run on the owner's
// event loop, under its lock; queue and cancel calls from any thread. No allocation per frame.

#include <cstdint>
#include <memory>

#include "Orbilume/CSources/UsbDmx/CDmxPort.h"
#include "Orbilume/CSources/UsbDmx/CMacUSBInterface.h"
#include "Orbilume/CSources/UsbDmx/UsbDmxReports.h"

class CDmxIo : public CDmxPort, private usbdmx::FrameSink {
public:
    static constexpr uint16_t kVendor = 0x0AD5;
    static constexpr uint16_t kProduct = 0x0004;
    static constexpr uint16_t kReads = 16;

    // host null: plat::UsbHost::Current().
    CDmxIo(LHandler* upper, LAsyncLoop* loop, plat::UsbHost* host = nullptr);
    ~CDmxIo() override;

    LMessage Handle(const LMessage& msg) override;

    void QueueGetTiming(CDmxTimingRequest* request, void* context, DmxTimingDone function);
    // True when it was queued (in flight counts); its completion is then never called.
    bool CancelGetTiming(CDmxTimingRequest* request);
    void QueueSetTiming(CDmxTimingRequest* request, void* context, DmxTimingDone function, uint32_t brk,
                        uint32_t mab, uint32_t mbs);
    bool CancelSetTiming(CDmxTimingRequest* request);

    CMacUSBInterface& Transport() { return *fUsb; }

protected:
    int OpenTransport(const char* path) override;
    void CloseTransport() override;
    void WriteFrame(uint32_t n) override;
    void ReadMore() override;

private:
    enum : uint8_t { kReportPending, kReportReceived, kReportFailed };

    uint8_t* StartFrame() override { return fRing.Next(); }
    void FrameDone(uint32_t length) override;

    static void ReadDone(void* self, CMacUSBRequest* request);
    static void WriteDone(void* self, CMacUSBRequest* request);
    static void ControlDone(void* self, CMacUSBRequest* request);
    void Decode();
    void ControlStep();
    void FinishControl();
    bool Cancel(LSLinkBase& queue, CDmxTimingRequest* request);

    std::unique_ptr<CMacUSBInterface> fUsb;
    std::unique_ptr<CMacUSBRequest> fControlRequest;
    std::unique_ptr<CMacUSBRequest> fWriteRequest;
    std::unique_ptr<CMacUSBRequest> fReadRequests[kReads];
    LAsyncSignal fControlDone;

    uint8_t fReports[kReads][usbdmx::kReportSize] = {};
    uint8_t fReportLength[kReads] = {};
    uint8_t fReportState[kReads] = {};
    uint16_t fConsumed = 0;
    uint16_t fIssued = 0;
    usbdmx::ReportDecoder fDecoder;
    bool fDecoding = false;
    uint8_t fPacked[usbdmx::kPackedSize] = {};

    uint8_t fOutPipe = 0, fInPipe = 0, fOutEndpoint = 0, fInEndpoint = 0;

    bool fControlBusy = false;
    uint8_t fControlDirection = 0;  // 0 set, 1 get
    CDmxTimingRequest* fCurrent = nullptr;
    uint8_t fGetBytes[6] = {};
    uint8_t fSetBytes[4] = {};
    LSLinkBase fGets;
    LSLinkBase fSets;
};
