#pragma once

#include <memory>
#include <string>

#include "Orbilume/CSources/Sound/SoundFormat.h"
#include "Platform/Audio/AudioSystem.h"

// Plays audio pulled from its owner on one output device. The render callback (the output's audio
// thread) asks the pull function for a slice; a slice it cannot supply is silent.
class CLoopbackOutput {
public:
    // Output thread: points `buffer` at `bytes` bytes and answers true, or answers false (silence).
    using Pull = bool (*)(void* context, plat::AudioBuffer& buffer, uint32_t bytes);
    static constexpr int kNoData = -39;
    static constexpr uint32_t kDefaultMaxFrames = 512;

    // system: borrowed; null takes plat::CurrentAudioSystem() at each Open.
    explicit CLoopbackOutput(plat::AudioSystem* system = nullptr);
    virtual ~CLoopbackOutput();
    CLoopbackOutput(const CLoopbackOutput&) = delete;
    CLoopbackOutput& operator=(const CLoopbackOutput&) = delete;

    void SetPull(void* context, Pull pull);
    // The device of that name, else the default output; the format's rate, else the device's. 0 on
    // success, 1 when there is no device, a unit already exists or the unit refuses.
    [[nodiscard]] int Open(const std::string& deviceName, const SoundFormat& format);
    void Start();
    void Stop();
    void Close();

    bool IsOpen() const { return fUnit != nullptr; }
    uint32_t BytesPerFrame() const { return fBytesPerFrame; }
    uint32_t MaxFramesPerSlice() const { return fMaxFrames; }
    uint32_t Rate() const { return fRate; }

private:
    static int Render(void* self, plat::AudioBuffer& buffer, uint32_t frames);

    plat::AudioSystem* fSystem;  // null: the current one
    void* fPullContext = nullptr;
    Pull fPull = nullptr;
    std::unique_ptr<plat::AudioOutputUnit> fUnit;
    uint32_t fBytesPerFrame = 0;
    uint32_t fMaxFrames = kDefaultMaxFrames;
    uint32_t fRate = 0;
};
