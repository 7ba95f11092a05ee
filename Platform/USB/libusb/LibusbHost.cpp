#include "Platform/USB/libusb/LibusbHost.h"

#include <libusb.h>
#include <poll.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

namespace plat {

namespace {

std::string SysfsName(uint8_t bus, const uint8_t* ports, int count) {
    std::string name = std::to_string(bus);
    for (int i = 0; i < count; ++i) name += (i ? "." : "-") + std::to_string(ports[i]);
    return name;
}

// A one-line attribute of a device in sysfs, without its newline; empty when unreadable.
std::string SysfsAttribute(const std::string& device, const char* attribute) {
    const std::string path = "/sys/bus/usb/devices/" + device + "/" + attribute;
    std::FILE* f = std::fopen(path.c_str(), "re");
    if (!f) return {};
    char line[256];
    std::string value;
    if (std::fgets(line, sizeof line, f)) value = line;
    std::fclose(f);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

UsbOpenResult MapOpenError(int rc) {
    switch (rc) {
        case LIBUSB_SUCCESS:
            return UsbOpenResult::kOk;
        case LIBUSB_ERROR_ACCESS:
            return UsbOpenResult::kAccessDenied;
        case LIBUSB_ERROR_BUSY:
            return UsbOpenResult::kExclusive;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return UsbOpenResult::kNoDevice;
        default:
            return UsbOpenResult::kFailed;
    }
}

UsbStatus MapStatus(libusb_transfer_status s) {
    switch (s) {
        case LIBUSB_TRANSFER_COMPLETED:
            return UsbStatus::kDone;
        case LIBUSB_TRANSFER_CANCELLED:
            return UsbStatus::kAborted;
        case LIBUSB_TRANSFER_STALL:
            return UsbStatus::kStalled;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return UsbStatus::kNoDevice;
        default:
            return UsbStatus::kFailed;
    }
}

uint32_t ToEvents(short events) {
    uint32_t e = 0;
    if (events & POLLIN) e |= FdSource::kReadable;
    if (events & POLLOUT) e |= FdSource::kWritable;
    return e;
}

// One libusb context with one opened device: shared by the device object and its claimed interface.
struct Session {
    libusb_context* context = nullptr;
    libusb_device_handle* handle = nullptr;
    ~Session() {
        if (handle) libusb_close(handle);
        if (context) libusb_exit(context);
    }
};

class LibusbInterface : public UsbInterface {
public:
    LibusbInterface(std::unique_ptr<Session> session, uint8_t number, std::vector<UsbPipeInfo> pipes,
                    uint16_t release, RunLoop* loop)
        : fSession(std::move(session)),
          fNumber(number),
          fPipes(std::move(pipes)),
          fRelease(release),
          fLoop(loop) {
        if (const libusb_pollfd** fds = libusb_get_pollfds(fSession->context)) {
            for (const libusb_pollfd** p = fds; *p; ++p) Added((*p)->fd, (*p)->events, this);
            libusb_free_pollfds(fds);
        }
        libusb_set_pollfd_notifiers(fSession->context, &Added, &Removed, this);
    }
    ~LibusbInterface() override { Close(); }

    uint8_t PipeCount() const override { return uint8_t(fPipes.size()); }
    bool GetPipe(uint8_t pipe, UsbPipeInfo& out) const override {
        if (pipe == 0 || pipe > fPipes.size()) return false;
        out = fPipes[pipe - 1];
        return true;
    }
    uint16_t ReleaseNumber() const override { return fRelease; }

    bool Read(uint8_t pipe, uint8_t* buffer, uint32_t length, UsbCallback callback, void* context) override {
        return SubmitPipe(pipe, kUsbIn, buffer, length, callback, context);
    }
    bool Write(uint8_t pipe, const uint8_t* buffer, uint32_t length, UsbCallback callback,
               void* context) override {
        return SubmitPipe(pipe, kUsbOut, const_cast<uint8_t*>(buffer), length, callback, context);
    }
    bool Control(const UsbSetup& setup, uint8_t* data, UsbCallback callback, void* context) override {
        std::lock_guard<std::recursive_mutex> guard(fLock);
        if (fClosed) return false;
        Slot* s = TakeSlot();
        if (!s) return false;
        s->control.assign(LIBUSB_CONTROL_SETUP_SIZE + setup.length, 0);
        libusb_fill_control_setup(s->control.data(), setup.requestType, setup.request, setup.value,
                                  setup.index, setup.length);
        if (!(setup.requestType & 0x80) && setup.length)
            std::memcpy(s->control.data() + LIBUSB_CONTROL_SETUP_SIZE, data, setup.length);
        libusb_fill_control_transfer(s->transfer, fSession->handle, s->control.data(), &Done, s, 0);
        s->data = data;
        s->endpoint = 0;
        return Start(s, callback, context);
    }
    void Abort(uint8_t pipe) override {
        std::lock_guard<std::recursive_mutex> guard(fLock);
        UsbPipeInfo info;
        const bool all = pipe == 0;
        if (!all && !GetPipe(pipe, info)) return;
        const uint8_t address = all ? 0 : uint8_t(info.endpoint | (info.direction == kUsbIn ? 0x80 : 0));
        for (Slot* s : fBusy)
            if (all || s->endpoint == address) libusb_cancel_transfer(s->transfer);
    }
    void HandleEvents(double seconds) override {
        timeval tv{long(seconds), long((seconds - long(seconds)) * 1e6)};
        std::lock_guard<std::mutex> events(fEventLock);
        if (!fEnded) libusb_handle_events_timeout_completed(fSession->context, &tv, nullptr);
    }
    void Close() override {
        {
            std::lock_guard<std::recursive_mutex> guard(fLock);
            if (fClosed) return;
            fClosed = true;
            for (Slot* s : fBusy) libusb_cancel_transfer(s->transfer);
        }
        // Reap the cancellations; transfers the kernel never returns are left allocated, never freed
        // under it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (BusyCount() && std::chrono::steady_clock::now() < deadline) HandleEvents(0.01);
        libusb_set_pollfd_notifiers(fSession->context, nullptr, nullptr, nullptr);
        {
            std::lock_guard<std::recursive_mutex> guard(fLock);
            for (auto& s : fSources) s->Invalidate();
            fSources.clear();
        }
        WaitForLoop();
        std::lock_guard<std::mutex> events(fEventLock);
        fEnded = true;
        libusb_release_interface(fSession->handle, fNumber);
        if (BusyCount()) {
            (void)fSession.release();  // still in the kernel's hands
            return;
        }
        for (auto& s : fSlots) libusb_free_transfer(s->transfer);
        fSession.reset();
    }

private:
    struct Slot {
        libusb_transfer* transfer = nullptr;
        LibusbInterface* owner = nullptr;
        UsbCallback callback = nullptr;
        void* context = nullptr;
        uint8_t* data = nullptr;  // control: the caller's buffer
        uint8_t endpoint = 0;     // address with direction bit
        uint32_t length = 0;
        std::vector<uint8_t> control;
    };

    size_t BusyCount() {
        std::lock_guard<std::recursive_mutex> guard(fLock);
        return fBusy.size();
    }
    // fLock held. Transfers are reused: no allocation per frame once the pool has grown.
    Slot* TakeSlot() {
        if (!fFree.empty()) {
            Slot* s = fFree.back();
            fFree.pop_back();
            return s;
        }
        auto s = std::make_unique<Slot>();
        s->transfer = libusb_alloc_transfer(0);
        if (!s->transfer) return nullptr;
        s->owner = this;
        fSlots.push_back(std::move(s));
        return fSlots.back().get();
    }
    bool SubmitPipe(uint8_t pipe, uint8_t direction, uint8_t* buffer, uint32_t length, UsbCallback callback,
                    void* context) {
        UsbPipeInfo info;
        if (!GetPipe(pipe, info) || info.direction != direction) return false;
        std::lock_guard<std::recursive_mutex> guard(fLock);
        if (fClosed) return false;
        Slot* s = TakeSlot();
        if (!s) return false;
        s->endpoint = uint8_t(info.endpoint | (direction == kUsbIn ? 0x80 : 0));
        s->data = nullptr;
        if (info.type == kUsbInterrupt)
            libusb_fill_interrupt_transfer(s->transfer, fSession->handle, s->endpoint, buffer, int(length),
                                           &Done, s, 0);
        else
            libusb_fill_bulk_transfer(s->transfer, fSession->handle, s->endpoint, buffer, int(length), &Done,
                                      s, 0);
        return Start(s, callback, context);
    }
    // fLock held.
    bool Start(Slot* s, UsbCallback callback, void* context) {
        s->callback = callback;
        s->context = context;
        s->length = uint32_t(s->transfer->length);
        if (libusb_submit_transfer(s->transfer) != LIBUSB_SUCCESS) {
            fFree.push_back(s);
            return false;
        }
        fBusy.push_back(s);
        return true;
    }
    static void LIBUSB_CALL Done(libusb_transfer* transfer) {
        auto* s = static_cast<Slot*>(transfer->user_data);
        LibusbInterface* self = s->owner;
        UsbCompletion c;
        c.status = MapStatus(transfer->status);
        uint32_t got = transfer->actual_length > 0 ? uint32_t(transfer->actual_length) : 0;
        if (s->endpoint == 0) {
            const uint32_t wanted = s->length - LIBUSB_CONTROL_SETUP_SIZE;
            got = got > wanted ? wanted : got;
            if (s->data && got && (s->control[0] & 0x80))
                std::memcpy(s->data, s->control.data() + LIBUSB_CONTROL_SETUP_SIZE, got);
        } else if (got > s->length) {
            got = s->length;
        }
        c.transferred = got;
        std::lock_guard<std::recursive_mutex> guard(self->fLock);
        for (size_t i = 0; i < self->fBusy.size(); ++i)
            if (self->fBusy[i] == s) {
                self->fBusy.erase(self->fBusy.begin() + long(i));
                break;
            }
        self->fFree.push_back(s);
        // Under the lock, so that Close never returns while a callback runs.
        if (!self->fClosed) s->callback(s->context, c);
    }

    static void LIBUSB_CALL Added(int fd, short events, void* user) {
        auto* self = static_cast<LibusbInterface*>(user);
        Ref<FdSource> source = FdSource::Create(fd, ToEvents(events), &Ready, self);
        if (self->fLoop)
            (void)self->fLoop->AddFdSource(source.get(),
                                           kRunLoopCommonModes);  // new and valid: adding cannot fail
        std::lock_guard<std::recursive_mutex> guard(self->fLock);
        self->fSources.push_back(std::move(source));
    }
    static void LIBUSB_CALL Removed(int fd, void* user) {
        auto* self = static_cast<LibusbInterface*>(user);
        std::lock_guard<std::recursive_mutex> guard(self->fLock);
        for (size_t i = 0; i < self->fSources.size(); ++i)
            if (self->fSources[i]->Fd() == fd) {
                self->fSources[i]->Invalidate();
                self->fSources.erase(self->fSources.begin() + long(i));
                return;
            }
    }
    static void Ready(FdSource*, int, uint32_t, void* user) {
        static_cast<LibusbInterface*>(user)->HandleEvents(0);
    }

    // Off the loop's thread: returns once a descriptor callback that was already under way when the
    // sources were invalidated has returned (the loop runs one callback at a time), at most a second.
    struct Barrier {
        std::mutex lock;
        std::condition_variable passed;
        bool done = false;
    };
    static void Pass(void* self) {
        auto* b = static_cast<Barrier*>(self);
        std::lock_guard<std::mutex> guard(b->lock);
        b->done = true;
        b->passed.notify_all();
    }
    void WaitForLoop() {
        if (!fLoop || RunLoop::Current() == fLoop || fLoop->CurrentMode() == kRunLoopNoMode) return;
        auto* barrier = new Barrier;
        Ref<RunLoopSource> source = RunLoopSource::Create(&Pass, barrier);
        (void)fLoop->AddSource(source.get(), kRunLoopCommonModes);  // new and valid: adding cannot fail
        source->Signal();
        bool done = false;
        {
            std::unique_lock<std::mutex> lock(barrier->lock);
            done =
                barrier->passed.wait_for(lock, std::chrono::seconds(1), [barrier] { return barrier->done; });
        }
        source->Invalidate();
        if (done) delete barrier;  // otherwise the source may still run: the barrier stays
    }

    std::unique_ptr<Session> fSession;
    uint8_t fNumber;
    std::vector<UsbPipeInfo> fPipes;
    uint16_t fRelease;
    RunLoop* fLoop;
    std::recursive_mutex fLock;  // slots, sources, closed flag; held while a callback runs
    std::mutex fEventLock;       // event handling against the end of the context
    bool fClosed = false;
    bool fEnded = false;
    std::vector<std::unique_ptr<Slot>> fSlots;
    std::vector<Slot*> fFree, fBusy;
    std::vector<Ref<FdSource>> fSources;
};

class LibusbDevice : public UsbDevice {
public:
    LibusbDevice(std::unique_ptr<Session> session, const UsbDeviceInfo& info, int namedInterface)
        : fSession(std::move(session)) {
        fInfo = info;
        fNamedInterface = namedInterface;
    }

    bool FirstConfiguration(uint8_t& value) override {
        if (!fSession) return false;
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_config_descriptor(libusb_get_device(fSession->handle), 0, &config) != LIBUSB_SUCCESS)
            return false;
        value = config->bConfigurationValue;
        libusb_free_config_descriptor(config);
        return true;
    }
    bool SetConfiguration(uint8_t value) override {
        if (!fSession) return false;
        int current = -1;
        // Setting the active configuration again would reset the device under its other users.
        if (libusb_get_configuration(fSession->handle, &current) == LIBUSB_SUCCESS && current == value)
            return true;
        return libusb_set_configuration(fSession->handle, value) == LIBUSB_SUCCESS;
    }
    bool FirstInterface(uint8_t& number) override {
        if (!fSession) return false;
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(libusb_get_device(fSession->handle), &config) !=
            LIBUSB_SUCCESS)
            return false;
        const bool found = config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0;
        if (found) number = config->interface[0].altsetting[0].bInterfaceNumber;
        libusb_free_config_descriptor(config);
        return found;
    }
    UsbOpenResult ClaimInterface(uint8_t number, RunLoop* loop, std::unique_ptr<UsbInterface>& out) override {
        if (!fSession) return UsbOpenResult::kFailed;
        std::vector<UsbPipeInfo> pipes;
        if (!Pipes(number, pipes)) return UsbOpenResult::kFailed;
        const UsbOpenResult claimed = MapOpenError(libusb_claim_interface(fSession->handle, number));
        if (claimed != UsbOpenResult::kOk) return claimed;
        out = std::make_unique<LibusbInterface>(std::move(fSession), number, std::move(pipes),
                                                fInfo.releaseNumber, loop);
        return UsbOpenResult::kOk;
    }

private:
    bool Pipes(uint8_t number, std::vector<UsbPipeInfo>& out) {
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(libusb_get_device(fSession->handle), &config) !=
            LIBUSB_SUCCESS)
            return false;
        bool found = false;
        for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
            const libusb_interface& itf = config->interface[i];
            if (itf.num_altsetting < 1 || itf.altsetting[0].bInterfaceNumber != number) continue;
            found = true;
            const libusb_interface_descriptor& alt = itf.altsetting[0];
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                UsbPipeInfo p;
                p.type = ep.bmAttributes & 3;
                p.direction = (ep.bEndpointAddress & 0x80) ? kUsbIn : kUsbOut;
                p.endpoint = ep.bEndpointAddress & 0x0F;
                p.maxPacket = ep.wMaxPacketSize;
                out.push_back(p);
            }
        }
        libusb_free_config_descriptor(config);
        return found;
    }

    std::unique_ptr<Session> fSession;
};

}  // namespace

// Hot-plug reports go through a queue to the watch's own loop, never inside libusb's callback.
class LibusbHost::LibusbWatch : public UsbWatch {
public:
    LibusbWatch(LibusbHost* host, const UsbMatch& match, RunLoop* loop, Callback callback, void* context)
        : fHost(host), fMatch(match), fCallback(callback), fContext(context) {
        fSource = RunLoopSource::Create(&Perform, this);
        (void)loop->AddSource(fSource.get(), kRunLoopCommonModes);  // new and valid: adding cannot fail
    }
    ~LibusbWatch() override {
        if (fRegistered) libusb_hotplug_deregister_callback(fHost->fContext, fHandle);
        fSource->Invalidate();
        fHost->DetachEvents();
    }
    bool Register() {
        const int flags = LIBUSB_HOTPLUG_ENUMERATE;
        const int events = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
        auto field = [](uint16_t v) { return v == kUsbAny ? LIBUSB_HOTPLUG_MATCH_ANY : int(v); };
        fRegistered = libusb_hotplug_register_callback(fHost->fContext, events, flags, field(fMatch.vendor),
                                                       field(fMatch.product), field(fMatch.deviceClass),
                                                       &Hotplug, this, &fHandle) == LIBUSB_SUCCESS;
        return fRegistered;
    }

private:
    static int LIBUSB_CALL Hotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event,
                                   void* self) {
        auto* w = static_cast<LibusbWatch*>(self);
        UsbDeviceInfo info;
        if (!Describe(device, info) || !Matches(w->fMatch, info)) return 0;
        {
            std::lock_guard<std::mutex> guard(w->fLock);
            w->fQueue.push_back(
                {event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? kArrived : kLeft, std::move(info)});
        }
        w->fSource->Signal();
        return 0;
    }
    static void Perform(void* self) {
        auto* w = static_cast<LibusbWatch*>(self);
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

    LibusbHost* fHost;
    UsbMatch fMatch;
    Callback fCallback;
    void* fContext;
    Ref<RunLoopSource> fSource;
    libusb_hotplug_callback_handle fHandle = 0;
    bool fRegistered = false;
    std::mutex fLock;
    std::deque<std::pair<Event, UsbDeviceInfo>> fQueue;
};

LibusbHost::LibusbHost() {
    if (libusb_init(&fContext) != LIBUSB_SUCCESS) fContext = nullptr;
}

LibusbHost::~LibusbHost() {
    DetachEvents();
    if (fContext) libusb_exit(fContext);
}

bool LibusbHost::HasHotplug() const {
    return fContext && libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG);
}

bool LibusbHost::Describe(libusb_device* device, UsbDeviceInfo& out) {
    libusb_device_descriptor d;
    if (libusb_get_device_descriptor(device, &d) != LIBUSB_SUCCESS) return false;
    uint8_t ports[7];
    int count = libusb_get_port_numbers(device, ports, int(sizeof ports));
    if (count < 0) count = 0;
    const uint8_t bus = libusb_get_bus_number(device);
    out = UsbDeviceInfo{};
    out.path = MakeUsbPath(bus, ports, count);
    out.vendor = d.idVendor;
    out.product = d.idProduct;
    out.deviceClass = d.bDeviceClass;
    out.deviceSubClass = d.bDeviceSubClass;
    out.releaseNumber = d.bcdDevice;
    out.locationId = MakeLocationId(bus, ports, count);
    if (d.iSerialNumber && count > 0) out.serial = SysfsAttribute(SysfsName(bus, ports, count), "serial");
    return true;
}

std::vector<UsbDeviceInfo> LibusbHost::Devices(const UsbMatch& match) {
    std::vector<UsbDeviceInfo> out;
    if (!fContext) return out;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(fContext, &list);
    for (ssize_t i = 0; i < n; ++i) {
        UsbDeviceInfo info;
        if (Describe(list[i], info) && Matches(match, info)) out.push_back(std::move(info));
    }
    if (list) libusb_free_device_list(list, 1);
    return out;
}

UsbOpenResult LibusbHost::Open(const char* path, std::unique_ptr<UsbDevice>& out) {
    UsbPath want;
    if (!ParseUsbPath(path, want)) return UsbOpenResult::kNoDevice;
    auto session = std::make_unique<Session>();
    if (libusb_init(&session->context) != LIBUSB_SUCCESS) {
        session->context = nullptr;
        return UsbOpenResult::kFailed;
    }
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(session->context, &list);
    libusb_device* found = nullptr;
    const std::string wanted = MakeUsbPath(want.bus, want.ports, want.portCount);
    UsbDeviceInfo info;
    for (ssize_t i = 0; i < n && !found; ++i)
        if (Describe(list[i], info) && info.path == wanted) found = list[i];
    UsbOpenResult result = UsbOpenResult::kNoDevice;
    if (found) result = MapOpenError(libusb_open(found, &session->handle));
    if (list) libusb_free_device_list(list, 1);
    if (result == UsbOpenResult::kAccessDenied)
        std::fprintf(stderr, "orbilume: %s: %s\n", path, UsbAccessHint());
    if (result != UsbOpenResult::kOk) return result;
    out = std::make_unique<LibusbDevice>(std::move(session), info, want.interface);
    return UsbOpenResult::kOk;
}

void LibusbHost::EventsReady(FdSource*, int, uint32_t, void* self) {
    timeval zero{0, 0};
    libusb_handle_events_timeout_completed(static_cast<LibusbHost*>(self)->fContext, &zero, nullptr);
}

void LibusbHost::AttachEvents(RunLoop* loop) {
    std::lock_guard<std::mutex> guard(fLock);
    if (fWatchCount++ > 0) return;
    // libusb's own descriptors for hot-plug (its event and timer fds) stay fixed for the context.
    if (const libusb_pollfd** fds = libusb_get_pollfds(fContext)) {
        for (const libusb_pollfd** p = fds; *p; ++p) {
            Ref<FdSource> s = FdSource::Create((*p)->fd, ToEvents((*p)->events), &EventsReady, this);
            (void)loop->AddFdSource(s.get(), kRunLoopCommonModes);  // new and valid: adding cannot fail
            fSources.push_back(std::move(s));
        }
        libusb_free_pollfds(fds);
    }
}

void LibusbHost::DetachEvents() {
    std::lock_guard<std::mutex> guard(fLock);
    if (fWatchCount == 0 || --fWatchCount > 0) return;
    for (auto& s : fSources) s->Invalidate();
    fSources.clear();
}

std::unique_ptr<UsbWatch> LibusbHost::Watch(const UsbMatch& match, RunLoop* loop, UsbWatch::Callback callback,
                                            void* context) {
    if (!HasHotplug() || !loop) return nullptr;
    AttachEvents(loop);
    auto w = std::make_unique<LibusbWatch>(this, match, loop, callback, context);
    if (!w->Register()) return nullptr;  // its destructor detaches the events again
    return w;
}

}  // namespace plat
