#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Common/Memory/CRefObj.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Led/DimSampling.h"
#include "Platform/Foundation/Object.h"

class CAppPrefs;
class CDimDefStore;
class CDmxIoManager;
class CRecord;
class CRecordHolder;
class CUDPPort;
class CUvAdTable;
class COpenGLBuffer;
class COpenGLContext_Cca;
class COpenGLFBO;
class COpenGLTexture;
class LAsyncLoop;
class LAsyncTimer;
struct SRecordEvent;

// The E1.31 sequence numbers of the network universes: 0, 1, ... 255, 0 per universe.
class CDimSequences {
public:
    uint8_t Next(uint16_t universe);

private:
    struct Entry {
        uint16_t universe;
        uint16_t next;
    };
    std::vector<Entry> fEntries;  // sorted by universe
};

// The LED output: the rendered video sampled into DMX universes and sent over Art-Net, E1.31 or
// USB DMX interfaces.
//
// Threads: Capture runs on the render thread inside the engine's frame lock and outside any GL
// scope; everything else on the main thread. Locks, in order: the main loop's lock (device,
// definition and port arrays, the timer start), a GL scope, the frame mutex (framebuffer and
// texture). Capture releases its scope and mutex before it takes the main loop's lock.
class CDimOutput : public LHandler {
public:
    // Draws the frame into the bound framebuffer of the dimmer context (render thread).
    using DrawFunction = void(void* drawContext, COpenGLContext_Cca& dimContext, bool soft);
    using ClockFunction = uint32_t (*)();

    // dims: holder whose root is the DIMS document; prefs: the settings holder (the 'dimp' set and
    // the USB interface state set).
    CDimOutput(LAsyncLoop* mainLoop, CDmxIoManager* usb, CAppPrefs* prefs, CRecordHolder* dims,
               CDimDefStore* definitions);
    ~CDimOutput() override;
    CDimOutput(const CDimOutput&) = delete;
    CDimOutput& operator=(const CDimOutput&) = delete;

    // Render thread: draws one frame when 25 ms have passed and the last one was read.
    bool Capture(void* drawContext, DrawFunction* draw);
    void Resize(uint32_t width, uint32_t height);
    // Draws the canvas texture into the current GL context, keeping its aspect.
    void DrawPreview();
    void Start();
    void Stop();
    // The USB interfaces' manager (null: no USB ports). A running output restarts on the new one,
    // so the old manager's claims are released first.
    void SetUsbManager(CDmxIoManager* usb);
    CDmxIoManager* UsbManager() const { return fUsb; }
    LMessage Handle(const LMessage& msg) override;

    // Tests: the millisecond clock of the capture gate and the sampling step over a frame.
    void SetClock(ClockFunction clock) {
        fClock = clock;
        fLastFrame.store(clock());
    }
    bool IsBusy() const { return fBusy.load(); }
    uint32_t NextPort() const { return fNextPort; }
    uint32_t CanvasWidth() const { return fWidth; }
    uint32_t CanvasHeight() const { return fHeight; }
    void SampleFrame(const uint32_t* pixels, uint32_t width, uint32_t height);
    // The send passes after a sampling pass: network ports from the first, then USB ports.
    void SendPass();
    void SendNetwork();
    void SendUsb();
    bool IsStarted() const { return fStarted; }
    uint32_t PortCount() const { return uint32_t(fPorts.size()); }
    const SDimPort* PortAt(uint32_t i) const { return i < fPorts.size() ? fPorts[i].get() : nullptr; }
    uint32_t DeviceCount() const { return uint32_t(fDevices.size()); }
    const SDimDevice* DeviceAt(uint32_t i) const { return i < fDevices.size() ? fDevices[i].get() : nullptr; }
    CUDPPort* Udp() const { return fUdp.get(); }
    CUvAdTable* Table() const { return fTable.get(); }
    const dmxpkt::E131Source& Source() const { return fSource; }
    // Replaces the UDP port (tests: a port that sends one datagram at a time).
    void SetUdpPort(std::unique_ptr<CUDPPort> port);

private:
    static void DimsChanged(void* self, const SRecordEvent* event);
    static void DefsChanged(void* self, const SRecordEvent* event);
    static void PrefsChanged(void* self, const SRecordEvent* event);
    void OnDimsChange(const SRecordEvent& event);
    void Expire();
    void SamplePass();
    CRecord* Dims() const;
    CRecord* Settings() const;
    CRecord* DeviceRecord(uint32_t index) const;
    SDimDefInfo* DefInfo(const std::string& name);
    void Geometry(uint32_t index);
    void Bind(uint32_t index);
    void ApplyTiming(SDimPort& port);
    void UpdateFault(uint32_t index);
    void UpdateFaults();
    void InsertDevice(uint32_t index);
    void RemoveDevice(uint32_t index);
    void ReleasePort(SDimPort* port);
    void LoadSource();
    void EnsureContext();

    LAsyncLoop* fLoop;
    CDmxIoManager* fUsb;
    CAppPrefs* fPrefs;
    CRecordHolder* fDims;
    CDimDefStore* fDefs;
    std::unique_ptr<CUvAdTable> fTable;
    std::unique_ptr<CUDPPort> fUdp;
    std::unique_ptr<LAsyncTimer> fTimer;
    std::mutex fFrameMutex;
    CDimSequences fSequences;
    std::atomic<uint32_t> fLastFrame{0};
    std::atomic<bool> fBusy{false};
    std::atomic<bool> fSoft{false};
    ClockFunction fClock;

    // Made on the first start (main thread), kept until destruction; the render thread looks at it
    // only once fContextReady is set.
    std::unique_ptr<COpenGLContext_Cca> fContext;
    std::atomic<bool> fContextReady{false};
    plat::Ref<COpenGLTexture> fTexture;
    plat::Ref<COpenGLFBO> fFbo;
    plat::Ref<COpenGLBuffer> fBuffer;
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    bool fReadIssued = false;  // a read filled the pixel-pack buffer since it was allocated

    uint32_t fNextPort = 0;
    bool fStarted = false;
    bool fSacn = false;
    uint32_t fTiming[3] = {84, 0, 0};
    dmxpkt::E131Source fSource;
    uint8_t fPacket[dmxpkt::kE131MaxSize] = {};
    std::vector<std::unique_ptr<SDimPort>> fPorts;
    std::vector<std::unique_ptr<SDimDefInfo>> fDefInfos;
    std::vector<std::unique_ptr<SDimDevice>> fDevices;
};
