#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Video/PixelBuffer.h"

// Writes a QuickTime movie (.mov) through libavformat's mov muxer: one video input and at most one
// audio input. Movie and video track time scale 600; video times are in 1/600 s, audio times in
// samples. Set up with AddVideoInput/AddAudioInput, then StartWriting, appends, Finish.
//
// Threads: any; appends of video and audio may come from two threads at once (each input is
// serialised on its own, the muxer under one lock). Finish blocks until the file is complete.
//
// Failures are results: set-up and StartWriting refuse with an error text; an append that fails
// (encoder or write error, ENOSPC) marks the writer failed, and every later append and Finish
// answer false. A writer that did not finish well (failed, cancelled, or released unfinished)
// removes the regular file it wrote, so no cut movie is left looking like a recording.
namespace plat {

constexpr uint32_t kMovieTimeScale = 600;
// Largest width or height of a movie.
constexpr int32_t kMovieMaxSide = 8192;

// Video codecs by their codec tags, which are also the stored codec strings.
constexpr const char* kMovieCodecH264 = "avc1";
constexpr const char* kMovieCodecJPEG = "jpeg";

// Audio formats by four-character id.
constexpr uint32_t MovieFourCC(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint32_t(uint8_t(s[3]));
}
constexpr uint32_t kMovieAudioLPCM = MovieFourCC("lpcm");
constexpr uint32_t kMovieAudioAAC = MovieFourCC("aac ");
constexpr uint32_t kMovieAudioALAC = MovieFourCC("alac");

struct MovieAudioFormat {
    uint32_t id = 0;
    std::string name;
};
// The audio formats whose encoder the linked FFmpeg has, in the order lpcm, aac, alac.
std::vector<MovieAudioFormat> AvailableMovieAudioFormats();
// True for "avc1" and "jpeg" when the linked FFmpeg has their encoder.
bool HasMovieVideoCodec(const std::string& codec);
// JPEG quality 0..1 onto FFmpeg's qscale 31..2 (monotonic, rounded; out of range clamped).
int MovieJPEGQScale(double quality);

struct MovieVideoSettings {
    std::string codec = kMovieCodecH264;
    int32_t width = 0;
    int32_t height = 0;
    int32_t keyFrameInterval = 100;  // H.264: the largest distance between key frames
    double quality = 0.5;            // JPEG: 0..1
    int32_t frameRate = 30;          // a rate-control hint; 0 takes 30
};

struct MovieAudioSettings {
    uint32_t formatID = kMovieAudioLPCM;
    uint32_t sampleRate = 48000;
    uint32_t channels = 2;  // 1 or 2
};

class MovieWriter final : public Object {
public:
    enum class Status { kSettingUp, kWriting, kCompleted, kFailed, kCancelled };

    // A writer for the file at path (nothing is created before StartWriting); null with an error for
    // an empty path.
    static Ref<MovieWriter> Create(const std::string& path, std::string* error);

    // Before StartWriting. False with the error text for an unknown codec or format, a missing
    // encoder, a size not in 1..8192 (H.264: the even size below, at least 2), or a second input;
    // such a refusal leaves the writer as it was.
    [[nodiscard]] bool AddVideoInput(const MovieVideoSettings& settings);
    [[nodiscard]] bool AddAudioInput(const MovieAudioSettings& settings);
    // Opens the file and writes the header; the movie's time starts at `time` (1/600 s).
    [[nodiscard]] bool StartWriting(int64_t time);

    // BGRA buffers of the movie size (null before AddVideoInput).
    plat::PixelBufferPool* Pool() const { return fPool.get(); }
    // The size encoded (H.264 drops an odd last column or row).
    int32_t EncodedWidth() const;
    int32_t EncodedHeight() const;

    // A frame at `time` (1/600 s). A time not after the previous frame's is dropped (true); false
    // when the writer is not writing or failed now.
    [[nodiscard]] bool AppendPixelBuffer(PixelBuffer* buffer, int64_t time);
    // `count` frames of interleaved signed 16-bit samples (the writer copies them) at `sampleTime`.
    // A gap before it is filled with silence (at most 10 s); audio before the end of what was
    // appended is cut off.
    [[nodiscard]] bool AppendAudio(const int16_t* samples, uint32_t count, int64_t sampleTime);

    // Flushes the encoders, writes the index and closes the file; true when the movie is complete.
    // On false the file is removed and Error() says why.
    [[nodiscard]] bool Finish();
    // Stops writing and removes the file.
    void Cancel();

    Status GetStatus() const { return fStatus.load(std::memory_order_acquire); }
    std::string Error() const;
    const std::string& Path() const { return fPath; }

private:
    struct Impl;
    explicit MovieWriter(const std::string& path);
    ~MovieWriter() override;
    bool Refuse(const std::string& error);
    bool Fail(const std::string& error);
    void CloseAndRemove();

    std::string fPath;
    std::unique_ptr<Impl> fImpl;
    Ref<plat::PixelBufferPool> fPool;
    std::atomic<Status> fStatus{Status::kSettingUp};
    mutable std::mutex fErrorMutex;
    std::string fError;
};

}  // namespace plat
