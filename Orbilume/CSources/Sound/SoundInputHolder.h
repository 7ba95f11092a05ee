#pragma once

#include <memory>

#include "Orbilume/CSources/Sound/SoundInput.h"

// Owns at most one SoundInput. Opening an open holder answers 0 and keeps the input it has; the
// other calls are forwarded when an input exists. Same thread rules as SoundInput.
class SoundInputHolder {
public:
    // loop: given to new inputs (null: consumers run on the audio thread). system as SoundInput's.
    explicit SoundInputHolder(LAsyncLoop* loop, plat::AudioSystem* system = nullptr);
    ~SoundInputHolder();
    SoundInputHolder(const SoundInputHolder&) = delete;
    SoundInputHolder& operator=(const SoundInputHolder&) = delete;

    // 0, or the error of SoundInput::Open (the input is then deleted).
    [[nodiscard]] int Open(const SoundInputSpec& spec, const SoundFormat& format);
    // Stops, closes and deletes the input.
    void Close();
    bool IsOpen() const { return fInput && fInput->IsOpen(); }
    // The actual format of the open input (the default format when none).
    SoundFormat GetFormat() const { return fInput ? fInput->Format() : SoundFormat(); }
    void Start();
    void Stop();
    void SetConsumer(void* context, SoundInput::Consumer consumer);
    void SetVolume(uint32_t percent);
    // 0 when there is no input.
    uint32_t GetVolume();
    void SetThru(bool on);
    // Borrowed; null when nothing is open.
    SoundInput* Input() const { return fInput.get(); }

private:
    LAsyncLoop* fLoop;
    plat::AudioSystem* fSystem;
    std::unique_ptr<SoundInput> fInput;
};
