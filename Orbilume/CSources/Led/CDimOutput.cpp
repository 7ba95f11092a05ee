#include "Orbilume/CSources/Led/CDimOutput.h"

#include <epoxy/gl.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Common/Container/CBytes.h"
#include "Common/OpenGL/COpenGLBuffer.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBO.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Orbilume/CSources/Net/CNetAddress.h"
#include "Orbilume/CSources/Net/CUDPPort.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDimTypes;
constexpr uint32_t kFrameIntervalMs = 25;
constexpr uint32_t kMaxUniverse = 32767;
constexpr const char* kProductName = "Orbilume";

// "anuniv": a whole decimal number in 0..32767 (the device list's range), else false.
bool ReadUniverse(const CRecord* device, uint32_t& universe) {
    CRecord* params = device->GetSubRecord(T::kDidvParams);
    if (!params) return false;
    LString text;
    if (CParamSet::Find(CRecordRef(&params), LString("anuniv"), &text) < 0) return false;
    const char* s = text.CStr();
    if (!s || !*s) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s, &end, 10);
    if (errno != 0 || end == s || *end != 0 || v < 0 || v > kMaxUniverse) return false;
    universe = uint32_t(v);
    return true;
}

bool ReadSerial(const CRecord* device, std::string& serial) {
    CRecord* params = device->GetSubRecord(T::kDidvParams);
    if (!params) return false;
    LString text;
    if (CParamSet::Find(CRecordRef(&params), LString("drsern"), &text) < 0) return false;
    serial.assign(text.CStr() ? text.CStr() : "", text.Length());
    return true;
}

uint32_t Clamp255(int32_t v) {
    return uint32_t(std::clamp(v, 0, 255));
}

}  // namespace

uint8_t CDimSequences::Next(uint16_t universe) {
    auto it = std::lower_bound(fEntries.begin(), fEntries.end(), universe,
                               [](const Entry& e, uint16_t u) { return e.universe < u; });
    if (it == fEntries.end() || it->universe != universe) {
        fEntries.insert(it, Entry{universe, 1});
        return 0;
    }
    return uint8_t(it->next++ & 0xFF);
}

CDimOutput::CDimOutput(LAsyncLoop* mainLoop, CDmxIoManager* usb, CAppPrefs* prefs, CRecordHolder* dims,
                       CDimDefStore* definitions)
    : LHandler(nullptr),
      fLoop(mainLoop),
      fUsb(usb),
      fPrefs(prefs),
      fDims(dims),
      fDefs(definitions),
      fTable(std::make_unique<CUvAdTable>()),
      fUdp(std::make_unique<CUDPPort>(this, mainLoop)),
      fTimer(std::make_unique<LAsyncTimer>(this, mainLoop)),
      fClock(&LTimer::Now) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* dimsRoot = Dims();
    if (dimsRoot) fTable->Follow(fDims, dimsRoot->GetSubRecord(T::kDimsUniverses));
    LoadSource();
    fLastFrame.store(fClock());
    if (fPrefs) {
        if (UDimPrefs::GetUse(CRecordRef(&fPrefs->Root()->Slot(CAppPrefs::kPrefDimmer).record))) Start();
        (void)fPrefs->AddObserver(this, &PrefsChanged);
    }
}

CDimOutput::~CDimOutput() {
    PLAT_DCHECK_MAIN_THREAD();
    fLoop->Lock();
    fTimer->Stop();
    fLoop->Unlock();
    if (fPrefs) (void)fPrefs->RemoveObserver(this, &PrefsChanged);
    Stop();
    fTable->Follow(nullptr, nullptr);
    fUdp.reset();
    if (fContext && fContext->valid()) {
        fBuffer->Delete(*fContext);
        fTexture = nullptr;
    }
    fFbo = nullptr;
    fBuffer = nullptr;
    fContext.reset();
}

void CDimOutput::EnsureContext() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fContext) return;
    fContext = std::make_unique<COpenGLContext_Cca>(nullptr, nullptr);
    fFbo = plat::Adopt(new COpenGLFBO());
    fBuffer = plat::Adopt(new COpenGLBuffer());
    if (fContext->valid()) {
        fTexture = COpenGLTexture::New(*fContext, GL_TEXTURE_2D, nullptr);
        COpenGLScope_Cca scope(*fContext);
        if (fTexture) {
            glPushAttrib(GL_TEXTURE_BIT);
            glBindTexture(GL_TEXTURE_2D, fTexture->Prepare(*fContext, GL_TEXTURE_2D));
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            const uint8_t zero[4] = {};
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, zero);
            glPopAttrib();
        }
        fFbo->Prepare(*fContext);
    }
    fContextReady.store(true, std::memory_order_release);
    // Sized before the context existed: give the texture and buffer that size now.
    const uint32_t w = fWidth, h = fHeight;
    fWidth = fHeight = 0;
    if (w && h) Resize(w, h);
}

void CDimOutput::SetUdpPort(std::unique_ptr<CUDPPort> port) {
    const bool open = fUdp && fUdp->IsOpen();
    fUdp = std::move(port);
    if (open && fUdp) (void)fUdp->Open(0, 0, 0);
    UpdateFaults();
}

CRecord* CDimOutput::Dims() const {
    CRecord* r = fDims ? fDims->Root() : nullptr;
    return r && r->Type() == T::Dims() ? r : nullptr;
}

CRecord* CDimOutput::Settings() const {
    return fPrefs && fPrefs->Root() ? fPrefs->Root()->GetSubRecord(CAppPrefs::kPrefDimmer) : nullptr;
}

CRecord* CDimOutput::DeviceRecord(uint32_t index) const {
    CRecord* dims = Dims();
    if (!dims || index >= dims->ArrayCount(T::kDimsDevices)) return nullptr;
    return dims->GetElement(T::kDimsDevices, index);
}

// The CID (a random UUID kept in the settings under "cid") and the product name of our E1.31.
void CDimOutput::LoadSource() {
    fSource = dmxpkt::E131Source();
    std::strncpy(fSource.name, kProductName, sizeof fSource.name - 1);
    CRecord* settings = Settings();
    if (settings) {
        CBytes bytes;
        if (CParamSet::GetBytes(CRecordRef(&settings), LString("cid"), bytes) >= 0 &&
            bytes.Count() == dmxpkt::kCidSize) {
            std::memcpy(fSource.cid, bytes.Data(), dmxpkt::kCidSize);
            return;
        }
    }
    uint8_t* cid = fSource.cid;
    size_t got = 0;
    while (got < dmxpkt::kCidSize) {
        const ssize_t n = getrandom(cid + got, dmxpkt::kCidSize - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    cid[6] = uint8_t((cid[6] & 0x0F) | 0x40);  // version 4
    cid[8] = uint8_t((cid[8] & 0x3F) | 0x80);  // variant 1
    if (settings) CParamSet::SetBytes(CRecordRef(&settings), nullptr, LString("cid"), cid, dmxpkt::kCidSize);
}

bool CDimOutput::Capture(void* drawContext, DrawFunction* draw) {
    if (fBusy.load(std::memory_order_acquire)) return false;
    const uint32_t now = fClock();
    if (now - fLastFrame.load(std::memory_order_relaxed) < kFrameIntervalMs) return false;
    fLastFrame.store(now, std::memory_order_relaxed);
    if (!fContextReady.load(std::memory_order_acquire) || !fContext->valid()) return false;
    {
        COpenGLScope_Cca scope(*fContext);
        std::lock_guard<std::mutex> lock(fFrameMutex);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fFbo->name());
        if (draw) draw(drawContext, *fContext, fSoft.load(std::memory_order_relaxed));
        glFlush();
    }
    fBusy.store(true, std::memory_order_release);
    fLoop->Lock();
    fTimer->Start(0);
    fLoop->Unlock();
    return true;
}

void CDimOutput::Resize(uint32_t width, uint32_t height) {
    PLAT_DCHECK_MAIN_THREAD();
    if (width == fWidth && height == fHeight) return;
    fLoop->Lock();
    GLint limit = 0;
    if (fContext && fContext->valid()) {
        COpenGLScope_Cca scope(*fContext);
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    }
    // Sides of 0 or above the GL limit would leave an incomplete framebuffer: clamp them.
    const uint32_t most = limit > 0 ? uint32_t(limit) : 16384;
    fWidth = std::clamp<uint32_t>(width, 1, most);
    fHeight = std::clamp<uint32_t>(height, 1, most);
    if (fContext && fContext->valid() && fTexture) {
        COpenGLScope_Cca scope(*fContext);
        std::lock_guard<std::mutex> lock(fFrameMutex);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fFbo->name());
        glBindTexture(GL_TEXTURE_2D, fTexture->name());
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, GLsizei(fWidth), GLsizei(fHeight), 0, GL_RGB, GL_UNSIGNED_BYTE,
                     nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                  fTexture->name(), 0);
        glViewport(0, 0, GLsizei(fWidth), GLsizei(fHeight));
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glFlush();
        glBindBuffer(GL_PIXEL_PACK_BUFFER, fBuffer->Prepare(*fContext));
        glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(uint64_t{fWidth} * fHeight * 4), nullptr,
                     GL_STREAM_READ);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        // The new buffer holds nothing a read filled: the next pass only starts a read.
        fReadIssued = false;
    }
    for (uint32_t i = 0; i < fDevices.size(); ++i) Geometry(i);
    fLoop->Unlock();
}

void CDimOutput::DrawPreview() {
    if (!fTexture || fWidth == 0 || fHeight == 0) return;
    std::lock_guard<std::mutex> lock(fFrameMutex);
    float x = 1, y = 1;
    if (fHeight > fWidth)
        x = float(fWidth) / float(fHeight);
    else
        y = float(fHeight) / float(fWidth);
    glPushAttrib(GL_TEXTURE_BIT | GL_ENABLE_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, fTexture->name());
    const GLfloat tex[] = {0, 0, 1, 0, 0, 1, 1, 1};
    const GLfloat vtx[] = {-x, -y, x, -y, -x, y, x, y};
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, tex);
    glVertexPointer(2, GL_FLOAT, 0, vtx);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glPopClientAttrib();
    glPopAttrib();
}

LMessage CDimOutput::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncTimer_Expire) && msg.sender == fTimer.get()) {
        Expire();
        return LMessage();
    }
    if (msg.Is(CUDPPort_Sent) && fUdp && msg.sender == fUdp.get()) {
        SendNetwork();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CDimOutput::Expire() {
    SamplePass();
    SendPass();
}

void CDimOutput::SendPass() {
    fNextPort = 0;
    SendNetwork();
    SendUsb();
}

void CDimOutput::SampleFrame(const uint32_t* pixels, uint32_t width, uint32_t height) {
    for (const auto& d : fDevices)
        if (d->port) dimsample::SampleDevice(*d, pixels, width, height);
}

void CDimOutput::SamplePass() {
    if (!fContextReady.load(std::memory_order_acquire) || !fContext->valid() || fWidth == 0) {
        fBusy.store(false, std::memory_order_release);
        return;
    }
    if (fReadIssued) {
        const void* mapped = nullptr;
        {
            COpenGLScope_Cca scope(*fContext);
            glBindBuffer(GL_PIXEL_PACK_BUFFER, fBuffer->name());
            mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
            if (!mapped) {
                glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
                fBusy.store(false, std::memory_order_release);
                return;
            }
        }
        SampleFrame(static_cast<const uint32_t*>(mapped), fWidth, fHeight);
    }
    COpenGLScope_Cca scope(*fContext);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, fBuffer->name());
    if (fReadIssued) glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    {
        std::lock_guard<std::mutex> lock(fFrameMutex);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fFbo->name());
        glReadPixels(0, 0, GLsizei(fWidth), GLsizei(fHeight), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    fReadIssued = true;
    fBusy.store(false, std::memory_order_release);
}

void CDimOutput::SendNetwork() {
    if (!fUdp) return;
    while (fNextPort < fPorts.size()) {
        SDimPort& port = *fPorts[fNextPort];
        if (port.kind != SDimPort::kNetwork || port.used == 0) {
            ++fNextPort;
            continue;
        }
        if (!fUdp->CanSend()) return;  // the next "CUDPPort_Sent" resumes with this port
        uint32_t address = 0;
        (void)fTable->Lookup(port.universe, address);
        uint32_t length;
        uint16_t udpPort;
        if (fSacn) {
            length = dmxpkt::BuildE131(fPacket, port.universe, fSequences.Next(uint16_t(port.universe)),
                                       port.slots, 513, fSource);
            udpPort = dmxpkt::kSAcnPort;
        } else {
            length = dmxpkt::BuildArtDmx(fPacket, port.universe, port.slots + 1);
            udpPort = dmxpkt::kArtNetPort;
        }
        (void)fUdp->Send(CNetAddress::IPv4(address, udpPort), fPacket, length);  // errors stay silent
        ++fNextPort;
    }
}

void CDimOutput::SendUsb() {
    for (const auto& p : fPorts) {
        if (p->kind != SDimPort::kUsb || p->used == 0 || !p->io) continue;
        (void)p->io->Send(p->slots, 513);  // "closed" or "busy" drops this frame
    }
}

void CDimOutput::Start() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fStarted) return;
    fStarted = true;
    EnsureContext();
    if (fUdp) (void)fUdp->Open(0, 0, 0);
    CRecord* dims = Dims();
    const uint32_t count = dims ? dims->ArrayCount(T::kDimsDevices) : 0;
    for (uint32_t i = 0; i < count; ++i) InsertDevice(i);
    fSacn = dims && dims->GetByte(T::kDimsSacn) == 1;
    fSoft.store(dims && dims->GetByte(T::kDimsSoft) != 0);
    fTable->SetMulticast(fSacn);
    if (fDims) (void)fDims->AddObserver(this, &DimsChanged);
    if (fDefs) (void)fDefs->AddObserver(this, &DefsChanged);
    fReadIssued = false;
    fBusy.store(false, std::memory_order_release);
}

void CDimOutput::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fStarted) return;
    fStarted = false;
    if (fDims) (void)fDims->RemoveObserver(this, &DimsChanged);
    if (fDefs) (void)fDefs->RemoveObserver(this, &DefsChanged);
    fLoop->Lock();
    fDevices.clear();
    fDefInfos.clear();
    // Out of the array before the claims go: a release reaches the settings' observers, this one
    // included.
    std::vector<std::unique_ptr<SDimPort>> ports;
    ports.swap(fPorts);
    fNextPort = 0;
    fLoop->Unlock();
    while (!ports.empty()) {
        if (ports.back()->io && fUsb) fUsb->Release(ports.back()->io, CDmxIoManager::kOutput);
        ports.pop_back();
    }
    if (fUdp) fUdp->Close();
}

void CDimOutput::SetUsbManager(CDmxIoManager* usb) {
    PLAT_DCHECK_MAIN_THREAD();
    if (usb == fUsb) return;
    const bool running = fStarted;
    Stop();
    fUsb = usb;
    if (running) Start();
}

SDimDefInfo* CDimOutput::DefInfo(const std::string& name) {
    for (const auto& d : fDefInfos)
        if (d->name == name) return d.get();
    fLoop->Lock();
    fDefInfos.push_back(
        std::make_unique<SDimDefInfo>(SDimDefInfo::FromRecord(name, fDefs ? fDefs->Find(name) : nullptr)));
    SDimDefInfo* info = fDefInfos.back().get();
    fLoop->Unlock();
    return info;
}

void CDimOutput::Geometry(uint32_t index) {
    if (index >= fDevices.size()) return;
    SDimDevice& device = *fDevices[index];
    const CRecord* r = device.record;
    const CRecord* dims = Dims();
    if (!r || !dims) return;
    const LString& name = r->GetString(T::kDidvDefinition);
    device.def = DefInfo(std::string(name.CStr() ? name.CStr() : "", name.Length()));
    device.firstSlot = r->GetUInt(T::kDidvFirstSlot);
    dimsample::Placement place{r->GetFloat(T::kDidvPosX), r->GetFloat(T::kDidvPosY),
                               r->GetFloat(T::kDidvWidth), r->GetFloat(T::kDidvHeight),
                               r->GetFloat(T::kDidvRotation)};
    dimsample::ComputeGeometry(device, dims->GetByte(T::kDimsDotGap), fWidth, fHeight, place);
    if (device.port) {
        fLoop->Lock();
        device.port->Clear();
        fLoop->Unlock();
    }
}

void CDimOutput::Bind(uint32_t index) {
    if (!fStarted || index >= fDevices.size()) return;
    SDimDevice& device = *fDevices[index];
    const CRecord* r = device.record;
    const uint8_t conn = r->GetByte(T::kDidvConnection);
    SDimPort* port = nullptr;
    uint32_t universe = 0;
    std::string serial;
    const bool hasUniverse = conn == SDimPort::kNetwork && ReadUniverse(r, universe);
    const bool hasSerial = conn == SDimPort::kUsb && ReadSerial(r, serial);
    for (const auto& p : fPorts) {
        if (p->kind != conn) continue;
        if ((hasUniverse && p->universe == universe) || (hasSerial && p->serial == serial)) {
            port = p.get();
            break;
        }
    }
    if (!port) {
        std::unique_ptr<SDimPort> made;
        if (hasSerial && !serial.empty() && fUsb) {
            CDmxIO* io = fUsb->Acquire(serial, CDmxIoManager::kOutput);
            if (io) {
                made = std::make_unique<SDimPort>();
                made->kind = SDimPort::kUsb;
                made->serial = serial;
                made->io = io;
            }
        } else if (hasUniverse) {
            made = std::make_unique<SDimPort>();
            made->kind = SDimPort::kNetwork;
            made->universe = universe;
        }
        if (made) {
            port = made.get();
            fLoop->Lock();
            fPorts.push_back(std::move(made));
            fLoop->Unlock();
        }
    }
    if (port) ApplyTiming(*port);
    if (device.port != port) {
        SDimPort* old = device.port;
        fLoop->Lock();
        if (old) old->Clear();
        device.port = port;
        fLoop->Unlock();
        if (old) ReleasePort(old);
    }
    UpdateFault(index);
}

// Deletes a port no device uses any more, with its USB claim.
void CDimOutput::ReleasePort(SDimPort* port) {
    for (const auto& d : fDevices)
        if (d->port == port) return;
    std::unique_ptr<SDimPort> gone;
    fLoop->Lock();
    for (size_t i = 0; i < fPorts.size(); ++i) {
        if (fPorts[i].get() != port) continue;
        gone = std::move(fPorts[i]);
        fPorts.erase(fPorts.begin() + long(i));
        if (fNextPort > i) --fNextPort;
        break;
    }
    fLoop->Unlock();
    if (gone && gone->io && fUsb) fUsb->Release(gone->io, CDmxIoManager::kOutput);
}

void CDimOutput::ApplyTiming(SDimPort& port) {
    if (port.kind != SDimPort::kUsb || !port.io || !port.io->IsOpen()) return;
    CRecord* settings = Settings();
    const UDimPrefs::DmxTiming t =
        settings ? UDimPrefs::GetDmxTiming(CRecordRef(&settings)) : UDimPrefs::DmxTiming{};
    fTiming[0] = Clamp255(t.breakTime);
    fTiming[1] = Clamp255(t.mab);
    fTiming[2] = Clamp255(t.mbs);
    port.io->SetTiming(fTiming[0], fTiming[1], fTiming[2]);
}

void CDimOutput::UpdateFault(uint32_t index) {
    if (index >= fDevices.size()) return;
    const SDimDevice& device = *fDevices[index];
    CRecord* r = device.record;
    uint8_t fault = 0;
    if (device.port) {
        if (device.port->kind == SDimPort::kNetwork)
            fault = !fUdp || !fUdp->IsOpen();
        else
            fault = !device.port->io || !device.port->io->IsOpen();
    } else if (r->GetByte(T::kDidvConnection) == SDimPort::kNetwork) {
        // A network device whose universe is missing or out of range has no port: show it.
        fault = 1;
    }
    if (r->GetByte(T::kDidvPortFault) == fault) return;
    CRecord* dims = Dims();
    CRecordArray* devs = dims ? dims->GetRecordArray(T::kDimsDevices) : nullptr;
    const int32_t at = r->ArrayIndex();
    if (!devs || at < 0 || uint32_t(at) >= dims->ArrayCount(T::kDimsDevices)) return;
    (void)CRecordRef(&(*devs)[uint32_t(at)]).SetByte(nullptr, T::kDidvPortFault, fault);
}

void CDimOutput::UpdateFaults() {
    for (uint32_t i = 0; i < fDevices.size(); ++i) UpdateFault(i);
}

void CDimOutput::InsertDevice(uint32_t index) {
    CRecord* r = DeviceRecord(index);
    if (!r || index > fDevices.size()) return;
    auto device = std::make_unique<SDimDevice>();
    device->record = r;
    fLoop->Lock();
    fDevices.insert(fDevices.begin() + long(index), std::move(device));
    fLoop->Unlock();
    Geometry(index);
    Bind(index);
}

void CDimOutput::RemoveDevice(uint32_t index) {
    if (index >= fDevices.size()) return;
    fLoop->Lock();
    SDimPort* port = fDevices[index]->port;
    if (port) port->Clear();
    fDevices.erase(fDevices.begin() + long(index));
    fLoop->Unlock();
    // The port stays (kept as written), also when no device uses it any more.
}

void CDimOutput::DimsChanged(void* self, const SRecordEvent* event) {
    static_cast<CDimOutput*>(self)->OnDimsChange(*event);
}

void CDimOutput::OnDimsChange(const SRecordEvent& event) {
    CRecord* dims = Dims();
    CRecord* r = event.record.Get();
    if (!dims || !r) return;
    if (r == dims) {
        switch (event.field) {
            case T::kDimsSoft:
                fSoft.store(dims->GetByte(T::kDimsSoft) != 0);
                break;
            case T::kDimsSacn:
                fSacn = dims->GetByte(T::kDimsSacn) == 1;
                fTable->SetMulticast(fSacn);
                break;
            case T::kDimsDotGap:
                for (uint32_t i = 0; i < fDevices.size(); ++i) Geometry(i);
                break;
            case T::kDimsDevices:
                if (event.kind == SRecordEvent::kInserted && event.index1 >= 0) {
                    InsertDevice(uint32_t(event.index1));
                } else if (event.kind == SRecordEvent::kRemoved && event.index1 >= 0) {
                    RemoveDevice(uint32_t(event.index1));
                } else if (event.kind == SRecordEvent::kMoved || event.index1 < 0) {
                    // Follow the array's order by record; entries of records gone are dropped.
                    std::vector<std::unique_ptr<SDimDevice>> order;
                    const uint32_t count = dims->ArrayCount(T::kDimsDevices);
                    fLoop->Lock();
                    for (uint32_t i = 0; i < count; ++i) {
                        CRecord* want = dims->GetElement(T::kDimsDevices, i);
                        for (auto& d : fDevices)
                            if (d && d->record == want) order.push_back(std::move(d));
                    }
                    for (auto& d : fDevices)
                        if (d && d->port) d->port->Clear();
                    fDevices = std::move(order);
                    fLoop->Unlock();
                    for (uint32_t i = 0; i < count; ++i)
                        if (i >= fDevices.size() ||
                            fDevices[i]->record != dims->GetElement(T::kDimsDevices, i))
                            InsertDevice(i);
                }
                break;
            default:
                break;
        }
        return;
    }
    // A device, or something inside one (its parameter set). Records joining or leaving the tree
    // are followed by the array's own insert or remove event.
    if (event.kind > SRecordEvent::kMoved) return;
    CRecord* below = nullptr;
    for (CRecord* p = r; p; below = p, p = p->Parent()) {
        if (p->Parent() != dims || p->Type() != T::Didv()) continue;
        // The entries follow the array's order: the record's own index finds its entry.
        uint32_t index = p->ArrayIndex() < 0 ? uint32_t(fDevices.size()) : uint32_t(p->ArrayIndex());
        if (index >= fDevices.size() || fDevices[index]->record != p) {
            index = 0;
            while (index < fDevices.size() && fDevices[index]->record != p) ++index;
        }
        if (index == fDevices.size()) return;
        if (p == r) {
            if (event.kind != SRecordEvent::kValueChanged) return;
            if (event.field <= T::kDidvFirstSlot || event.field == T::kDidvReserved) Geometry(index);
            if (event.field == T::kDidvConnection) Bind(index);
        } else if (below && below->FieldInParent() == T::kDidvParams) {
            Bind(index);
        }
        return;
    }
}

void CDimOutput::DefsChanged(void* self, const SRecordEvent* event) {
    auto* t = static_cast<CDimOutput*>(self);
    CRecord* r = event->record.Get();
    if (!r || r->Type() != T::Didf()) return;
    const bool rebuild = event->kind == SRecordEvent::kAttached ||
                         (event->kind <= SRecordEvent::kMoved &&
                          (event->field == T::kDidfChannels || event->field == T::kDidfDotOrder)) ||
                         (event->kind == SRecordEvent::kValueChanged && event->field >= T::kDidfColumns &&
                          event->field <= T::kDidfSuffixCount);
    if (!rebuild) return;
    const LString& name = r->GetString(T::kDidfName);
    const std::string key(name.CStr() ? name.CStr() : "", name.Length());
    for (const auto& d : t->fDefInfos) {
        if (d->name != key) continue;
        t->fLoop->Lock();
        *d = SDimDefInfo::FromRecord(key, t->fDefs->Find(key));
        t->fLoop->Unlock();
        for (uint32_t i = 0; i < t->fDevices.size(); ++i)
            if (t->fDevices[i]->def == d.get()) t->Geometry(i);
    }
}

void CDimOutput::PrefsChanged(void* self, const SRecordEvent* event) {
    auto* t = static_cast<CDimOutput*>(self);
    CRecord* root = t->fPrefs->Root();
    CRecord* settings = t->Settings();
    CRecord* usbState = root ? root->GetSubRecord(CAppPrefs::kPrefUsbDmxState) : nullptr;
    bool inSettings = false, inUsb = false;
    for (CRecord* p = event->record.Get(); p; p = p->Parent()) {
        if (p == settings) inSettings = true;
        if (p == usbState) inUsb = true;
    }
    if (inSettings) {
        const bool use = UDimPrefs::GetUse(CRecordRef(&settings));
        if (use && !t->fStarted) t->Start();
        if (!use && t->fStarted) t->Stop();
        const UDimPrefs::DmxTiming timing = UDimPrefs::GetDmxTiming(CRecordRef(&settings));
        const uint32_t now[3] = {Clamp255(timing.breakTime), Clamp255(timing.mab), Clamp255(timing.mbs)};
        if (std::memcmp(now, t->fTiming, sizeof now) != 0)
            for (const auto& p : t->fPorts) t->ApplyTiming(*p);
    }
    if (inUsb) {
        for (const auto& p : t->fPorts) t->ApplyTiming(*p);
        t->UpdateFaults();
    }
}
