#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"

#include <cstring>
#include <utility>

#include "Orbilume/CSources/UsbDmx/CDmxIoFinder.h"
#include "Platform/Foundation/Check.h"

CDmxIO::CDmxIO(LHandler* upper, LAsyncLoop* loop, plat::UsbHost* host)
    : fLoop(loop), fIo(std::make_unique<CDmxIo>(upper, loop, host)) {
    fOut.SetCompletion(this, &CDmxIO::SentDone);
    for (CDmxRequest& in : fIn) {
        in.SetCompletion(this, &CDmxIO::InputDone);
        fIo->QueueInput(&in);
    }
}

CDmxIO::~CDmxIO() {
    fIo->CancelSetTiming(&fTiming);
    for (CDmxRequest& in : fIn) (void)fIo->CancelInput(&in);
    fIo.reset();
}

int CDmxIO::Send(const uint8_t* data, uint32_t count) {
    if (!fIo->IsOpen()) return kSendClosed;
    if (count == 0) return kSendQueued;
    if (count > CDmxRequest::kMaxSize) count = CDmxRequest::kMaxSize;
    fLoop->Lock();
    if (fOutQueued) {
        fLoop->Unlock();
        return kSendBusy;
    }
    fOutQueued = true;
    fOut.SetSize(count);
    std::memcpy(fOut.Data(), data, count);
    fIo->QueueOutput(&fOut);
    fLoop->Unlock();
    return kSendQueued;
}

void CDmxIO::SentDone(void* self, CDmxRequest*) {
    static_cast<CDmxIO*>(self)->fOutQueued = false;
}

void CDmxIO::SetInputCallback(void* context, InputCallback callback) {
    fLoop->Lock();
    fInputContext = context;
    fInput = callback;
    fLoop->Unlock();
}

void CDmxIO::InputDone(void* self, CDmxRequest* request) {
    auto* io = static_cast<CDmxIO*>(self);
    if (io->fInput) io->fInput(io->fInputContext, request->Data(), request->Size(), 0);
    io->fIo->QueueInput(request);
}

void CDmxIO::SetTiming(uint32_t brk, uint32_t mab, uint32_t mbs) {
    fLoop->Lock();
    if (fTimingBusy) {
        fNext[0] = brk;
        fNext[1] = mab;
        fNext[2] = mbs;
        fTimingWaiting = true;
    } else {
        fTimingBusy = true;
        fIo->QueueSetTiming(&fTiming, this, &CDmxIO::TimingDone, brk, mab, mbs);
    }
    fLoop->Unlock();
}

void CDmxIO::TimingDone(void* self, CDmxTimingRequest*, uint32_t) {
    auto* io = static_cast<CDmxIO*>(self);
    io->fTimingBusy = false;
    if (!io->fTimingWaiting) return;
    io->fTimingWaiting = false;
    io->SetTiming(io->fNext[0], io->fNext[1], io->fNext[2]);
}

CDmxIoManager::CDmxIoManager(LAsyncLoop* inputLoop, plat::RunLoop* mainLoop, StateWriter writer,
                             void* context, plat::UsbHost* host)
    : LHandler(nullptr),
      fInputLoop(inputLoop),
      fMainLoop(mainLoop),
      fWriter(writer),
      fContext(context),
      fHost(host ? host : &plat::UsbHost::Current()) {
    fRefresh = plat::RunLoopSource::Create(&CDmxIoManager::RefreshNow, this);
    if (!fMainLoop->AddSource(fRefresh.get(), plat::kRunLoopCommonModes)) fRefresh = nullptr;
}

CDmxIoManager::~CDmxIoManager() {
    fWatch.reset();
    if (fRefresh) fMainLoop->Remove(fRefresh.get(), plat::kRunLoopCommonModes);
    while (!fEntries.empty()) {
        std::unique_ptr<CDmxIO> io = std::move(fEntries.back().io);
        fEntries.pop_back();
        Discard(std::move(io));
    }
}

CDmxIO* CDmxIoManager::Acquire(const std::string& key, Side side) {
    PLAT_DCHECK_MAIN_THREAD();
    if (key.empty()) return nullptr;
    for (Entry& entry : fEntries) {
        if (entry.key != key) continue;
        bool& claimed = side == kInput ? entry.input : entry.output;
        if (claimed) return nullptr;
        claimed = true;
        return entry.io.get();
    }
    Entry entry;
    entry.key = key.substr(0, CDmxIoFinder::kMaxKey);
    entry.io = std::make_unique<CDmxIO>(this, fInputLoop, fHost);
    (side == kInput ? entry.input : entry.output) = true;
    const int opened = OpenEntry(entry);
    fWriter(fContext, entry.key, opened == CDmxPort::kOpenOk ? 1 : 0);
    fEntries.push_back(std::move(entry));
    return fEntries.back().io.get();
}

void CDmxIoManager::Release(CDmxIO* io, Side side) {
    PLAT_DCHECK_MAIN_THREAD();
    for (size_t i = 0; i < fEntries.size(); ++i) {
        Entry& entry = fEntries[i];
        if (entry.io.get() != io) continue;
        (side == kInput ? entry.input : entry.output) = false;
        if (entry.input || entry.output) return;
        // The entry goes at once; the interface after its transfers are back.
        std::unique_ptr<CDmxIO> gone = std::move(entry.io);
        const std::string key = std::move(entry.key);
        fEntries.erase(fEntries.begin() + static_cast<std::ptrdiff_t>(i));
        Discard(std::move(gone));
        fWriter(fContext, key, 0);
        return;
    }
}

void CDmxIoManager::Refresh() {
    PLAT_DCHECK_MAIN_THREAD();
    for (size_t i = fEntries.size(); i-- > 0;) {
        Entry& entry = fEntries[i];
        int open = entry.io->Port().IsWorking() ? 1 : 0;
        if (!open) open = OpenEntry(entry) == CDmxPort::kOpenOk ? 1 : 0;
        fWriter(fContext, entry.key, open);
    }
}

bool CDmxIoManager::StartWatching() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fWatch) return true;
    fWatch = fHost->Watch(CDmxIoFinder::Match(), fMainLoop, &CDmxIoManager::Plugged, this);
    return fWatch != nullptr;
}

int CDmxIoManager::OpenEntry(Entry& entry) {
    // A port that broke stays so until it is closed and opened again.
    entry.io->Port().Close();
    const std::string path = CDmxIoFinder::FindPath(*fHost, entry.key);
    if (path.empty()) return CDmxPort::kOpenFailed;
    return entry.io->Port().Open(path.c_str());
}

void CDmxIoManager::Discard(std::unique_ptr<CDmxIO> io) {
    // Close returns once pending transfers completed; the lock keeps out what still runs on the loop.
    io->Port().Close();
    fInputLoop->Lock();
    io.reset();
    fInputLoop->Unlock();
}

void CDmxIoManager::RefreshNow(void* self) {
    static_cast<CDmxIoManager*>(self)->Refresh();
}

void CDmxIoManager::Plugged(void* self, plat::UsbWatch::Event, const plat::UsbDeviceInfo&) {
    static_cast<CDmxIoManager*>(self)->Refresh();
}

LMessage CDmxIoManager::Handle(const LMessage& msg) {
    if (msg.Is(CDmxIo_Close)) {
        // On the input loop: entries and the state set belong to the main thread.
        if (fRefresh) fRefresh->Signal();
        return LMessage();
    }
    return LHandler::Handle(msg);
}
