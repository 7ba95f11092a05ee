#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"

#include <utility>

#include "Orbilume/CSources/UsbDmx/CDmxIoFinder.h"
#include "Platform/Foundation/Check.h"

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
        std::unique_ptr<CDmxIo> io = std::move(fEntries.back().io);
        fEntries.pop_back();
        Discard(std::move(io));
    }
}

CDmxIo* CDmxIoManager::Acquire(const std::string& key, Side side) {
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
    entry.io = std::make_unique<CDmxIo>(this, fInputLoop, fHost);
    (side == kInput ? entry.input : entry.output) = true;
    const int opened = OpenEntry(entry);
    fWriter(fContext, entry.key, opened == CDmxPort::kOpenOk ? 1 : 0);
    fEntries.push_back(std::move(entry));
    return fEntries.back().io.get();
}

void CDmxIoManager::Release(CDmxIo* io, Side side) {
    PLAT_DCHECK_MAIN_THREAD();
    for (size_t i = 0; i < fEntries.size(); ++i) {
        Entry& entry = fEntries[i];
        if (entry.io.get() != io) continue;
        (side == kInput ? entry.input : entry.output) = false;
        if (entry.input || entry.output) return;
        // The entry goes at once; the interface after its transfers are back.
        std::unique_ptr<CDmxIo> gone = std::move(entry.io);
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
        int open = entry.io->IsWorking() ? 1 : 0;
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
    entry.io->Close();
    const std::string path = CDmxIoFinder::FindPath(*fHost, entry.key);
    if (path.empty()) return CDmxPort::kOpenFailed;
    return entry.io->Open(path.c_str());
}

void CDmxIoManager::Discard(std::unique_ptr<CDmxIo> io) {
    // Close returns once pending transfers completed; the lock keeps out what still runs on the loop.
    io->Close();
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
