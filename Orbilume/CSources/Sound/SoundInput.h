#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Orbilume/CSources/Sound/SoundFormat.h"
#include "Orbilume/CSources/Sound/SoundInputSpec.h"
#include "Platform/Audio/AudioSystem.h"

// Captures one input device in a requested format and hands the audio, in whole frames, to one
// consumer.
//
// The audio thread writes a 32 KiB byte ring. With a loop, a signal brings the consumer call onto
// the loop's thread (OnSignal, under the loop lock); without one the consumer runs directly on the
// audio thread with the bytes of each callback. When the ring is full the newest audio is dropped,
// never part of a frame. The input can be played through to the default output ("thru") and its
// device volume read and set.
//
// Threads: construction, Open, Close, Start, Stop, the volume, thru and SetConsumer belong to one
// controlling thread (set the consumer before Start). Ring indexes have one writer each: the audio
// thread the write index, the loop's thread the consumer index, the output's thread the thru index.
class SoundInput : public LHandler {
public:
    // Called with whole frames only.
    using Consumer = void (*)(void* context, const uint8_t* bytes, uint32_t count);

    static constexpr uint32_t kRingSize = 32768;
    static constexpr uint16_t kRingMask = kRingSize - 1;
    // Larger frames are refused: the ring logic assumes frames far below the ring's size.
    static constexpr uint32_t kMaxBytesPerFrame = 64;
    static constexpr uint32_t kInitialScratch = 4096;
    // A callback asking for more is dropped whole (the scratch buffer never grows beyond it).
    static constexpr uint32_t kMaxScratch = 1u << 24;
    static constexpr uint32_t kDefaultRate = 44100;
    static constexpr int kNoData = -39;

    // loop: where the consumer runs (null: on the audio thread). system: borrowed, outlives the
    // input; null takes plat::CurrentAudioSystem().
    explicit SoundInput(LAsyncLoop* loop, plat::AudioSystem* system = nullptr);
    ~SoundInput() override;

    // "LAsyncSignal_X" from the input's own signal: OnSignal.
    LMessage Handle(const LMessage& msg) override;

    virtual bool IsOpen() const { return fOpen.load(std::memory_order_acquire); }
    // 0 on success (at once when already open), 1 on failure.
    [[nodiscard]] virtual int Open(const SoundInputSpec& spec, const SoundFormat& format);
    virtual void Close();
    virtual void Start();
    virtual void Stop();
    // Percent.
    virtual uint32_t GetVolume();
    virtual void SetVolume(uint32_t percent);
    virtual void SetThru(bool on);

    void SetConsumer(void* context, Consumer consumer);
    // The format delivered, once open.
    const SoundFormat& Format() const { return fFormat; }
    uint32_t BytesPerFrame() const { return fBytesPerFrame; }
    plat::AudioDeviceID Device() const { return fDevice; }
    bool IsThruRunning() const { return fThruRunning.load(std::memory_order_acquire); }

private:
    static int RenderProc(void* self, uint32_t frames);
    static int ThruRender(void* self, plat::AudioBuffer& buffer, uint32_t frames);
    int Capture(uint32_t frames);
    // Whole-frame contiguous free bytes at `write` (moved past a tail shorter than a frame when the
    // ring has room at its start).
    uint32_t ContiguousFree(uint16_t& write) const;
    bool GrowScratch(uint32_t bytes);
    void OnSignal();
    void ApplyThru();
    void StopThru();

    plat::AudioSystem* fSystem;
    std::unique_ptr<plat::AudioCaptureUnit> fUnit;
    std::unique_ptr<plat::AudioOutputUnit> fThru;
    std::unique_ptr<LAsyncSignal> fSignal;  // null without a loop

    std::mutex fConsumerMutex;
    void* fConsumerContext = nullptr;
    Consumer fConsumer = nullptr;

    SoundFormat fFormat;
    uint32_t fBytesPerFrame = 2;
    uint32_t fVolume = 100;
    plat::AudioDeviceID fDevice = 0;
    bool fThruRequested = false;
    std::atomic<bool> fThruRunning{false};
    std::atomic<bool> fOpen{false};

    uint8_t* fScratch = nullptr;  // audio thread, once open
    uint32_t fScratchSize = 0;

    std::atomic<uint16_t> fWrite{0};
    std::atomic<uint16_t> fThruRead{0};
    std::atomic<uint16_t> fConsumerRead{0};
    uint8_t fRing[kRingSize];
};
