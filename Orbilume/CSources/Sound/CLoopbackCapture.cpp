#include "Orbilume/CSources/Sound/CLoopbackCapture.h"

#include <algorithm>

using plat::AudioScope;

CLoopbackCapture::CLoopbackCapture(plat::AudioSystem* system)
    : fGivenSystem(system), fInput(nullptr, system), fOutput(system) {}

CLoopbackCapture::~CLoopbackCapture() {
    Stop();
    {
        std::lock_guard<std::mutex> lock(fRestartMutex);
        fQuit = true;
    }
    fRestartWake.notify_all();
    if (fRestartThread.joinable()) fRestartThread.join();
}

CLoopbackCapture& CLoopbackCapture::Shared() {
    static CLoopbackCapture capture;
    return capture;
}

void CLoopbackCapture::Start() {
    std::lock_guard<std::mutex> lock(fControl);
    if (fActive) return;
    // The process's system is asked again at each Start (no server may have answered before).
    fSystem = fGivenSystem ? fGivenSystem : plat::CurrentAudioSystem();
    if (!fSystem) return;
    const plat::AudioDeviceID loopback = plat::FindAudioDevice(*fSystem, kLoopbackDeviceName);
    if (loopback == 0) {
        fLoopbackName.clear();
        return;
    }
    fLoopbackName = kLoopbackDeviceName;

    // Already captured: the loopback device itself, or an aggregate holding it.
    const plat::AudioDeviceID output = fSystem->DefaultDevice(AudioScope::kOutput);
    if (output == 0 || output == loopback) return;
    const std::vector<plat::AudioDeviceID> subs = fSystem->SubDevices(output);
    if (std::find(subs.begin(), subs.end(), loopback) != subs.end()) return;

    if (!fSystem->SetDefaultDevice(AudioScope::kOutput, loopback)) return;
    fPrevious = output;
    fActive = true;
    if (!fSystem->GetDeviceName(output, fPreviousName)) fPreviousName.clear();
    fLoopback = loopback;
    if (!fRestartThread.joinable()) fRestartThread = std::thread([this] { RestartThread(); });
    if (!StartCapture()) RestoreDefault();
}

void CLoopbackCapture::Stop() {
    std::lock_guard<std::mutex> lock(fControl);
    if (!fActive) return;
    StopCapture();
    RestoreDefault();
}

void CLoopbackCapture::RestoreDefault() {
    fActive = false;
    (void)fSystem->SetDefaultDevice(AudioScope::kOutput, fPrevious);
    fLoopback = 0;
    std::lock_guard<std::mutex> lock(fRestartMutex);
    fRestartPending = false;
}

bool CLoopbackCapture::StartCapture() {
    SoundInputSpec spec;
    spec.device = LString(fLoopbackName.c_str());
    SoundFormat format;
    format.rate = 0;
    format.channels = 2;
    format.bits = 16;
    format.isSigned = 1;
    format.bigEndian = 0;
    if (fInput.Open(spec, format) != 0) return false;
    const SoundFormat actual = fInput.GetFormat();
    if (fOutput.Open(fPreviousName, actual) != 0) {
        fInput.Close();
        return false;
    }
    fListening = fSystem->AddRateListener(fLoopback, OnRateChange, this);
    fRing.Clear();
    fScratch.assign(size_t(fOutput.MaxFramesPerSlice()) * fOutput.BytesPerFrame(), 0);
    fOutput.SetPull(this, TakeFromRing);
    fInput.SetConsumer(this, PutIntoRing);
    fInput.Start();
    fOutput.Start();
    fCapturing = true;
    return true;
}

void CLoopbackCapture::StopCapture() {
    if (fListening) fSystem->RemoveRateListener(fLoopback, OnRateChange, this);
    fListening = false;
    fInput.Stop();
    fInput.Close();
    fOutput.Stop();
    fOutput.Close();
    fCapturing = false;
}

void CLoopbackCapture::PutIntoRing(void* self, const uint8_t* bytes, uint32_t count) {
    auto* c = static_cast<CLoopbackCapture*>(self);
    (void)c->fRing.Write(bytes, std::min(count, c->fRing.Free()));
}

bool CLoopbackCapture::TakeFromRing(void* self, plat::AudioBuffer& buffer, uint32_t bytes) {
    auto* c = static_cast<CLoopbackCapture*>(self);
    if (c->fRing.Available() < bytes) return false;  // a silent slice; the ring keeps its bytes
    if (c->fScratch.size() < bytes) {
        // Only when the output asks for more than its maximum slice.
        if (bytes > ByteRing::kSize) return false;
        c->fScratch.resize(bytes);
    }
    if (!c->fRing.Read(c->fScratch.data(), bytes)) return false;
    buffer.data = c->fScratch.data();
    buffer.bytes = bytes;
    return true;
}

void CLoopbackCapture::OnRateChange(void* self, plat::AudioDeviceID) {
    // Notification thread: only hands the restart to the restart thread.
    auto* c = static_cast<CLoopbackCapture*>(self);
    {
        std::lock_guard<std::mutex> lock(c->fRestartMutex);
        c->fRestartPending = true;
    }
    c->fRestartWake.notify_all();
}

void CLoopbackCapture::RestartThread() {
    std::unique_lock<std::mutex> wait(fRestartMutex);
    for (;;) {
        fRestartWake.wait(wait, [this] { return fQuit || fRestartPending; });
        if (fQuit) return;
        wait.unlock();
        {
            std::lock_guard<std::mutex> lock(fControl);
            bool pending;
            {
                std::lock_guard<std::mutex> restart(fRestartMutex);
                pending = fRestartPending;
                fRestartPending = false;
            }
            // Stop (or a failed start) since the request cleared it: nothing to restart.
            if (pending && fActive) {
                StopCapture();
                if (!StartCapture()) RestoreDefault();
                ++fRestarts;
            }
        }
        wait.lock();
    }
}

bool CLoopbackCapture::IsActive() {
    std::lock_guard<std::mutex> lock(fControl);
    return fActive;
}

bool CLoopbackCapture::IsCapturing() {
    std::lock_guard<std::mutex> lock(fControl);
    return fCapturing;
}

SoundInputSpec CLoopbackCapture::Selection() {
    std::lock_guard<std::mutex> lock(fControl);
    SoundInputSpec spec;
    spec.device = LString(fLoopbackName.c_str());
    return spec;
}

std::string CLoopbackCapture::PreviousOutputName() {
    std::lock_guard<std::mutex> lock(fControl);
    return fPreviousName;
}

uint32_t CLoopbackCapture::Restarts() {
    std::lock_guard<std::mutex> lock(fControl);
    return fRestarts;
}
