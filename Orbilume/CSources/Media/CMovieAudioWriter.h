#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Common/Mac/CRunLoopSignal.h"
#include "Orbilume/CSources/Sound/ByteRing.h"
#include "Orbilume/CSources/Sound/CSampleConverter.h"
#include "Orbilume/CSources/Sound/SoundInputHolder.h"
#include "Platform/Media/MovieWriter.h"

// The sound part of a movie recording: a sound input asked for {device rate, 2 channels, 16 bits,
// signed, little-endian} whose audio thread puts whole frames into a 256 KiB ring; the main thread
// drains the ring, converts what the device actually delivers to 16-bit (at most 2 channels) and
// appends whole frames to the movie writer, which copies them. A frame that does not fit the ring is
// dropped whole, so later samples never shift.
//
// Threads: everything but the ring writer belongs to the main thread (which made the object).
class CMovieAudioWriter {
public:
    static constexpr uint32_t kRingSize = MovieByteRing::kSize;

    // system: borrowed, outlives the writer; null takes plat::CurrentAudioSystem().
    explicit CMovieAudioWriter(plat::AudioSystem* system = nullptr);
    ~CMovieAudioWriter();
    CMovieAudioWriter(const CMovieAudioWriter&) = delete;
    CMovieAudioWriter& operator=(const CMovieAudioWriter&) = delete;

    // Opens the sound input; false (record without sound) when it cannot be opened or delivers no
    // format this writer can convert.
    [[nodiscard]] bool Open(const SoundInputSpec& spec);
    // The movie writer's audio input for the open format.
    plat::MovieAudioSettings Settings() const;
    // Starts capturing into `writer` (retained), times from sample 0.
    void Start(plat::MovieWriter* writer);
    // Stops the input, appends what is left in the ring and closes the input. True unless an append
    // failed.
    bool Stop();
    // Appends every whole frame in the ring; false when the writer refused.
    bool Drain();

    bool IsOpen() const { return fInput.IsOpen(); }
    uint32_t FormatID() const { return fFormatID; }
    void SetFormatID(uint32_t id) { fFormatID = id; }
    int64_t SamplesWritten() const { return fSamplesWritten; }
    // Called on the main thread after a refused append.
    void SetFailureCallback(void (*callback)(void* context), void* context) {
        fFailed = callback;
        fFailedContext = context;
    }

private:
    static void Consume(void* self, const uint8_t* bytes, uint32_t count);
    static void Signalled(void* self);

    CRunLoopSignal fSignal;
    SoundInputHolder fInput;
    plat::Ref<plat::MovieWriter> fWriter;
    SoundFormat fFormat;
    uint32_t fChannels = 2;       // written
    uint32_t fBytesPerFrame = 4;  // delivered
    CSampleConverter fConverters[2];
    int64_t fSamplesWritten = 0;
    uint32_t fFormatID = plat::kMovieAudioLPCM;
    bool fFailedOnce = false;
    void (*fFailed)(void*) = nullptr;
    void* fFailedContext = nullptr;
    std::vector<uint8_t> fBytes;
    std::vector<int16_t> fSamples;
    std::unique_ptr<MovieByteRing> fRing;
};
