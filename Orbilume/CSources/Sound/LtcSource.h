#pragma once

#include <atomic>

#include "Orbilume/CSources/Sound/CSampleConverter.h"
#include "Orbilume/CSources/Sound/LtcDecoder.h"
#include "Orbilume/CSources/Sound/SoundInputHolder.h"
#include "Orbilume/CSources/Timecode/TimecodeSource.h"

// SMPTE linear timecode from a sound input as a timecode source. The input's audio reaches OnAudio
// on the lock object's loop thread; each frame of it becomes one 16-bit sample for the decoder, and
// every decoded frame whose BCD fields are valid sets the time (its rate code stays). Listeners are
// notified once per chunk that held a valid frame.
//
// Threads: Open, Close, SetGainDb and SetThru belong to one controlling thread; the decoder is
// touched on the loop's thread only (LevelDb is a plain read from anywhere).
class LtcSource : public TimecodeSource {
public:
    // loop: the sources' loop (lock object and the consumer's thread). system: borrowed; null takes
    // plat::CurrentAudioSystem().
    explicit LtcSource(LAsyncLoop* loop, plat::AudioSystem* system = nullptr);
    ~LtcSource() override;

    // Opens the input mono, 16-bit signed little-endian at the device's rate, selects the converter
    // for what it delivers (all channels mixed) and starts it. True when the input is open (at once
    // when it already was).
    bool Open(const SoundInputSpec& spec);
    // Stops and closes the input, resets the decoder.
    void Close();
    bool IsOpen() const { return fInput.IsOpen(); }
    // Input volume 100 × 10^(dB / 20) percent, truncated.
    void SetGainDb(int dB);
    static uint32_t GainPercent(int dB);
    void SetThru(bool on);

    // The consumer: whole frames of the input's format.
    void OnAudio(const uint8_t* bytes, uint32_t count);

    int LevelDb() const { return LtcDecoder::LevelDbOf(fLevel.load(std::memory_order_relaxed)); }
    const CSampleConverter& Converter() const { return fConverter; }
    SoundInputHolder& Input() { return fInput; }

private:
    static void Consume(void* self, const uint8_t* bytes, uint32_t count);

    LtcDecoder fDecoder;  // loop thread
    CSampleConverter fConverter;
    std::atomic<uint32_t> fLevel{0};  // the decoder's level after the last chunk
    SoundInputHolder fInput;
};
