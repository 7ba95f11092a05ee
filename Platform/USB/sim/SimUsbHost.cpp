#include "Platform/USB/sim/SimUsbHost.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace plat::sim {

// A claim: the completions of its device wait here for the loop's thread.
class SimUsbInterface : public UsbInterface {
public:
    SimUsbInterface(SimUsbDevice* device, RunLoop* loop) : fDevice(device) {
        fSource = RunLoopSource::Create(&Perform, this);
        if (loop)
            (void)loop->AddSource(fSource.get(), kRunLoopCommonModes);  // new and valid: adding cannot fail
    }
    ~SimUsbInterface() override { Close(); }

    uint8_t PipeCount() const override { return uint8_t(fDevice->fPipes.size()); }
    bool GetPipe(uint8_t pipe, UsbPipeInfo& out) const override {
        if (pipe == 0 || pipe > fDevice->fPipes.size()) return false;
        out = fDevice->fPipes[pipe - 1];
        return true;
    }
    uint16_t ReleaseNumber() const override { return fDevice->Info().releaseNumber; }

    bool Read(uint8_t pipe, uint8_t* buffer, uint32_t length, UsbCallback callback, void* context) override {
        return Submit(SimUsbDevice::kRead, pipe, buffer, length, {}, callback, context);
    }
    bool Write(uint8_t pipe, const uint8_t* buffer, uint32_t length, UsbCallback callback,
               void* context) override {
        return Submit(SimUsbDevice::kWrite, pipe, const_cast<uint8_t*>(buffer), length, {}, callback,
                      context);
    }
    bool Control(const UsbSetup& setup, uint8_t* data, UsbCallback callback, void* context) override {
        return Submit(SimUsbDevice::kControl, 0, data, setup.length, setup, callback, context);
    }
    void Abort(uint8_t pipe) override {
        std::lock_guard<std::mutex> guard(fDevice->fLock);
        if (fDevice->fClaim == this) fDevice->AbortLocked(pipe);
    }
    void HandleEvents(double seconds) override {
        {
            std::unique_lock<std::mutex> lock(fLock);
            fWake.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return !fReady.empty(); });
        }
        Deliver();
    }
    void Close() override {
        if (fClosed) return;
        fClosed = true;
        fDevice->Detach(this);
        fSource->Invalidate();
        std::lock_guard<std::mutex> guard(fLock);
        fReady.clear();
    }

    // Device lock held.
    void Ready(UsbCallback callback, void* context, const UsbCompletion& c) {
        {
            std::lock_guard<std::mutex> guard(fLock);
            fReady.push_back({callback, context, c});
        }
        fWake.notify_all();
        fSource->Signal();
    }

private:
    struct Done {
        UsbCallback callback;
        void* context;
        UsbCompletion completion;
    };
    bool Submit(SimUsbDevice::Kind kind, uint8_t pipe, uint8_t* buffer, uint32_t length,
                const UsbSetup& setup, UsbCallback callback, void* context) {
        if (fClosed) return false;
        if (kind != SimUsbDevice::kControl) {
            UsbPipeInfo info;
            if (!GetPipe(pipe, info) || info.direction != (kind == SimUsbDevice::kRead ? kUsbIn : kUsbOut))
                return false;
        }
        SimUsbDevice::Transfer t;
        t.kind = kind;
        t.pipe = pipe;
        t.buffer = buffer;
        t.length = length;
        t.setup = setup;
        t.callback = callback;
        t.context = context;
        return fDevice->Submit(this, t);
    }
    static void Perform(void* self) { static_cast<SimUsbInterface*>(self)->Deliver(); }
    void Deliver() {
        for (;;) {
            Done d;
            {
                std::lock_guard<std::mutex> guard(fLock);
                if (fReady.empty()) return;
                d = fReady.front();
                fReady.pop_front();
            }
            d.callback(d.context, d.completion);
        }
    }

    Ref<SimUsbDevice> fDevice;
    Ref<RunLoopSource> fSource;
    std::mutex fLock;
    std::condition_variable fWake;
    std::deque<Done> fReady;
    bool fClosed = false;
};

class SimUsbDeviceHandle : public UsbDevice {
public:
    SimUsbDeviceHandle(SimUsbDevice* device, int namedInterface) : fDevice(device) {
        fInfo = device->Info();
        fNamedInterface = namedInterface;
    }
    bool FirstConfiguration(uint8_t& value) override {
        value = 1;
        return true;
    }
    bool SetConfiguration(uint8_t value) override { return value == 1; }
    bool FirstInterface(uint8_t& number) override {
        if (!fDevice) return false;  // spent by a claim
        std::lock_guard<std::mutex> guard(fDevice->fLock);
        if (fDevice->fInterfaceDelay > 0) {
            --fDevice->fInterfaceDelay;
            return false;
        }
        number = 0;
        return true;
    }
    UsbOpenResult ClaimInterface(uint8_t number, RunLoop* loop, std::unique_ptr<UsbInterface>& out) override {
        if (!fDevice || number != 0) return UsbOpenResult::kFailed;
        auto iface = std::make_unique<SimUsbInterface>(fDevice.get(), loop);
        {
            std::lock_guard<std::mutex> guard(fDevice->fLock);
            if (!fDevice->fPlugged) return UsbOpenResult::kNoDevice;
            if (fDevice->fBusy || fDevice->fClaim) return UsbOpenResult::kExclusive;
            fDevice->fClaim = iface.get();
        }
        out = std::move(iface);
        fDevice = nullptr;
        return UsbOpenResult::kOk;
    }

private:
    Ref<SimUsbDevice> fDevice;
};

SimUsbDevice::SimUsbDevice(const UsbDeviceInfo& info, std::vector<UsbPipeInfo> pipes)
    : fInfo(info), fPipes(std::move(pipes)) {}

SimUsbDevice::~SimUsbDevice() = default;

UsbDeviceInfo SimUsbDevice::Info() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fInfo;
}

void SimUsbDevice::SetBusy(bool busy) {
    std::lock_guard<std::mutex> guard(fLock);
    fBusy = busy;
}
void SimUsbDevice::SetAccessDenied(bool denied) {
    std::lock_guard<std::mutex> guard(fLock);
    fDenied = denied;
}
void SimUsbDevice::SetInterfaceDelay(int looks) {
    std::lock_guard<std::mutex> guard(fLock);
    fInterfaceDelay = looks;
}
void SimUsbDevice::SetRefuseTransfers(bool refuse) {
    std::lock_guard<std::mutex> guard(fLock);
    fRefuse = refuse;
}
void SimUsbDevice::SetHoldWrites(bool hold) {
    std::lock_guard<std::mutex> guard(fLock);
    fHoldWrites = hold;
}
void SimUsbDevice::SetHoldControls(bool hold) {
    std::lock_guard<std::mutex> guard(fLock);
    fHoldControls = hold;
}
void SimUsbDevice::SetIgnoreAbort(bool ignore) {
    std::lock_guard<std::mutex> guard(fLock);
    fIgnoreAbort = ignore;
}

bool SimUsbDevice::IsClaimed() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fClaim != nullptr;
}

size_t SimUsbDevice::CountLocked(Kind kind) const {
    return size_t(std::count_if(fPending.begin(), fPending.end(),
                                [kind](const Transfer& t) { return t.kind == kind; }));
}
size_t SimUsbDevice::PendingReads() const {
    std::lock_guard<std::mutex> guard(fLock);
    return CountLocked(kRead);
}
size_t SimUsbDevice::PendingWrites() const {
    std::lock_guard<std::mutex> guard(fLock);
    return CountLocked(kWrite);
}
size_t SimUsbDevice::PendingControls() const {
    std::lock_guard<std::mutex> guard(fLock);
    return CountLocked(kControl);
}
uint32_t SimUsbDevice::Submitted() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fSubmitted;
}

bool SimUsbDevice::CompleteRead(size_t position, const std::vector<uint8_t>& bytes, UsbStatus status) {
    std::lock_guard<std::mutex> guard(fLock);
    return CompleteLocked(kRead, position, status, bytes.data(), uint32_t(bytes.size()));
}
bool SimUsbDevice::CompleteWrite(size_t position, UsbStatus status) {
    std::lock_guard<std::mutex> guard(fLock);
    return CompleteLocked(kWrite, position, status, nullptr, 0);
}
bool SimUsbDevice::CompleteControl(size_t position, UsbStatus status) {
    std::lock_guard<std::mutex> guard(fLock);
    return CompleteLocked(kControl, position, status, nullptr, 0);
}

bool SimUsbDevice::CompleteLocked(Kind kind, size_t position, UsbStatus status, const uint8_t* bytes,
                                  uint32_t count) {
    for (auto it = fPending.begin(); it != fPending.end(); ++it) {
        if (it->kind != kind || position-- != 0) continue;
        Transfer t = *it;
        fPending.erase(it);
        UsbCompletion c;
        c.status = status;
        if (kind == kRead) {
            c.transferred = std::min(count, t.length);
            if (c.transferred) std::memcpy(t.buffer, bytes, c.transferred);
        } else if (kind == kWrite) {
            c.transferred = status == UsbStatus::kDone ? t.length : 0;
        } else {
            c.transferred = 0;
            if (status == UsbStatus::kDone) {
                c.status = OnControl(t.setup, t.buffer, c.transferred);
                c.transferred = std::min<uint32_t>(c.transferred, t.length);
            }
        }
        if (fClaim) fClaim->Ready(t.callback, t.context, c);
        return true;
    }
    return false;
}

bool SimUsbDevice::Submit(SimUsbInterface* owner, const Transfer& t) {
    std::lock_guard<std::mutex> guard(fLock);
    ++fSubmitted;
    if (fClaim != owner || fRefuse || !fPlugged) return false;
    fPending.push_back(t);
    if (t.kind == kWrite) {
        UsbPipeInfo pipe = fPipes[t.pipe - 1];
        OnWrite(pipe.endpoint, t.buffer, t.length);
        if (!fHoldWrites) CompleteLocked(kWrite, CountLocked(kWrite) - 1, UsbStatus::kDone, nullptr, 0);
    } else if (t.kind == kControl) {
        if (!fHoldControls) CompleteLocked(kControl, CountLocked(kControl) - 1, UsbStatus::kDone, nullptr, 0);
    } else {
        OnReadQueued();
    }
    return true;
}

void SimUsbDevice::AbortLocked(uint8_t pipe) {
    if (fIgnoreAbort) return;
    std::deque<Transfer> keep;
    std::deque<Transfer> aborted;
    for (const Transfer& t : fPending) (pipe == 0 || t.pipe == pipe ? aborted : keep).push_back(t);
    fPending.swap(keep);
    for (const Transfer& t : aborted)
        if (fClaim) fClaim->Ready(t.callback, t.context, {UsbStatus::kAborted, 0});
}

void SimUsbDevice::Detach(SimUsbInterface* owner) {
    std::lock_guard<std::mutex> guard(fLock);
    if (fClaim != owner) return;
    fClaim = nullptr;
    fPending.clear();
}

void SimUsbDevice::Unplugged() {
    std::lock_guard<std::mutex> guard(fLock);
    fPlugged = false;
    std::deque<Transfer> gone;
    gone.swap(fPending);
    for (const Transfer& t : gone)
        if (fClaim) fClaim->Ready(t.callback, t.context, {UsbStatus::kNoDevice, 0});
}

void SimUsbDevice::OnWrite(uint8_t, const uint8_t*, uint32_t) {}

UsbStatus SimUsbDevice::OnControl(const UsbSetup&, uint8_t*, uint32_t& transferred) {
    transferred = 0;
    return UsbStatus::kStalled;
}

// Reports queue under the host lock and reach the callback on the watch's loop.
class SimUsbHost::SimWatch : public UsbWatch {
public:
    SimWatch(SimUsbHost* host, const UsbMatch& match, RunLoop* loop, Callback callback, void* context)
        : fHost(host), fMatch(match), fCallback(callback), fContext(context) {
        fSource = RunLoopSource::Create(&Perform, this);
        (void)loop->AddSource(fSource.get(), kRunLoopCommonModes);  // new and valid: adding cannot fail
    }
    ~SimWatch() override {
        fSource->Invalidate();
        std::lock_guard<std::mutex> guard(fHost->fLock);
        fHost->fWatches.erase(std::find(fHost->fWatches.begin(), fHost->fWatches.end(), this));
    }
    // Host lock held.
    void Add(Event event, const UsbDeviceInfo& info) {
        if (!Matches(fMatch, info)) return;
        {
            std::lock_guard<std::mutex> guard(fLock);
            fQueue.push_back({event, info});
        }
        fSource->Signal();
    }

private:
    static void Perform(void* self) {
        auto* w = static_cast<SimWatch*>(self);
        for (;;) {
            std::pair<Event, UsbDeviceInfo> e;
            {
                std::lock_guard<std::mutex> guard(w->fLock);
                if (w->fQueue.empty()) return;
                e = std::move(w->fQueue.front());
                w->fQueue.pop_front();
            }
            w->fCallback(w->fContext, e.first, e.second);
        }
    }
    SimUsbHost* fHost;
    UsbMatch fMatch;
    Callback fCallback;
    void* fContext;
    Ref<RunLoopSource> fSource;
    std::mutex fLock;
    std::deque<std::pair<Event, UsbDeviceInfo>> fQueue;
};

SimUsbHost::SimUsbHost() = default;

SimUsbHost::~SimUsbHost() {
    for (auto& d : fDevices) d->Unplugged();
}

void SimUsbHost::Plug(SimUsbDevice* device) {
    UsbDeviceInfo info = device->Info();
    {
        std::lock_guard<std::mutex> guard(device->fLock);
        device->fPlugged = true;
    }
    std::lock_guard<std::mutex> guard(fLock);
    fDevices.push_back(RetainRef(device));
    Report(UsbWatch::kArrived, info);
}

void SimUsbHost::Unplug(SimUsbDevice* device) {
    Ref<SimUsbDevice> held;
    {
        std::lock_guard<std::mutex> guard(fLock);
        auto it = std::find(fDevices.begin(), fDevices.end(), device);
        if (it == fDevices.end()) return;
        held = std::move(*it);
        fDevices.erase(it);
        Report(UsbWatch::kLeft, held->Info());
    }
    held->Unplugged();
}

void SimUsbHost::Report(UsbWatch::Event event, const UsbDeviceInfo& info) {
    if (!fHotplug) return;
    for (SimWatch* w : fWatches) w->Add(event, info);
}

std::vector<UsbDeviceInfo> SimUsbHost::Devices(const UsbMatch& match) {
    std::lock_guard<std::mutex> guard(fLock);
    std::vector<UsbDeviceInfo> out;
    for (auto& d : fDevices) {
        UsbDeviceInfo info = d->Info();
        if (Matches(match, info)) out.push_back(std::move(info));
    }
    return out;
}

UsbOpenResult SimUsbHost::Open(const char* path, std::unique_ptr<UsbDevice>& out) {
    UsbPath parsed;
    if (!ParseUsbPath(path, parsed)) return UsbOpenResult::kNoDevice;
    const std::string device = MakeUsbPath(parsed.bus, parsed.ports, parsed.portCount);
    std::lock_guard<std::mutex> guard(fLock);
    for (auto& d : fDevices) {
        if (d->Info().path != device) continue;
        {
            std::lock_guard<std::mutex> dguard(d->fLock);
            if (d->fDenied) return UsbOpenResult::kAccessDenied;
        }
        out = std::make_unique<SimUsbDeviceHandle>(d.get(), parsed.interface);
        return UsbOpenResult::kOk;
    }
    return UsbOpenResult::kNoDevice;
}

std::unique_ptr<UsbWatch> SimUsbHost::Watch(const UsbMatch& match, RunLoop* loop, UsbWatch::Callback callback,
                                            void* context) {
    if (!fHotplug || !loop) return nullptr;
    auto w = std::make_unique<SimWatch>(this, match, loop, callback, context);
    std::lock_guard<std::mutex> guard(fLock);
    fWatches.push_back(w.get());
    for (auto& d : fDevices) w->Add(UsbWatch::kArrived, d->Info());
    return w;
}

}  // namespace plat::sim
