#include "Orbilume/CSources/Net/CUdpMuxLink.h"

namespace {
constexpr uint32_t kFirstRetryMs = 100;
constexpr uint32_t kLastRetryMs = 5000;
}  // namespace

CUdpMuxLink::CUdpMuxLink(LHandler* upper, LAsyncLoop* loop, void* owner, Callback callback, Config config)
    : LHandler(upper),
      fLoop(loop),
      fOwner(owner),
      fCallback(callback),
      fConfig(std::move(config)),
      fRetry(this, loop),
      fStream(this, &ClientReady),
      fFramed(&fStream) {
    if (fConfig.folder.empty()) fConfig.folder = CNamedStream::DefaultFolder();
}

CUdpMuxLink::~CUdpMuxLink() {
    fStopped.store(true);
    (void)fRetry.Stop();
    fStream.Close();
    fServer.Stop();
}

void CUdpMuxLink::Start() {
    if (fFailed.load() || fConnected.load()) return;
    fStream.Close();
    fFramed.Reset();
    (void)fServer.Start(fConfig.port, fConfig.folder, fConfig.name, fConfig.bindAddress);
    int r = fStream.Connect(fConfig.folder, fConfig.name);
    if (r == CNamedStream::kOk) {
        fConnected.store(true);
        fBackoffMs.store(kFirstRetryMs);
        if (fCallback) fCallback(fOwner, kConnected);
    } else if (r == CNamedStream::kFailed) {
        Broken();
        if (fCallback) fCallback(fOwner, kFailed);
    }
}

void CUdpMuxLink::Restart() {
    fStopped.store(false);
    fFailed.store(false);
    fBackoffMs.store(kFirstRetryMs);
    Start();
}

void CUdpMuxLink::Stop() {
    fStopped.store(true);
    (void)fRetry.Stop();
    fConnected.store(false);
    fStream.Close();
    fServer.Stop();
    fFailed.store(true);
}

// Failed until the retry timer clears it and starts again.
void CUdpMuxLink::Broken() {
    fConnected.store(false);
    fFailed.store(true);
    if (fStopped.load()) return;
    uint32_t delay = fBackoffMs.load();
    fBackoffMs.store(delay * 2 > kLastRetryMs ? kLastRetryMs : delay * 2);
    fRetry.Start(delay);
}

int32_t CUdpMuxLink::Receive(CNetAddress& from, void* buffer, uint32_t size) {
    if (!fConnected.load()) return -1;
    int32_t n = fFramed.Receive(from, buffer, size);
    if (n < 0) {
        fStream.Close();
        Broken();
    }
    return n;
}

void CUdpMuxLink::ClientReady(void* self, int event) {
    auto* link = static_cast<CUdpMuxLink*>(self);
    if (event == 1 && !link->fConnected.load()) {
        if (link->fStream.State() == CNamedStream::kConnected) {
            link->fConnected.store(true);
            link->fBackoffMs.store(kFirstRetryMs);
        } else {
            // A connect that was in progress failed: failed, and tried again after the back-off.
            link->Broken();
            if (link->fCallback) link->fCallback(link->fOwner, kFailed);
            return;
        }
    }
    if (link->fCallback) link->fCallback(link->fOwner, event == 1 ? kConnected : kData);
}

LMessage CUdpMuxLink::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncTimer_Expire) && msg.sender == &fRetry) {
        if (!fStopped.load()) {
            fFailed.store(false);
            Start();
        }
        return LMessage();
    }
    return LHandler::Handle(msg);
}
