#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Video/PixelBuffer.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVIOContext;
struct SwrContext;

namespace plat {

// What a movie file holds, times in seconds from its start.
struct MovieInfo {
    bool hasVideo = false;
    bool hasAudio = false;
    double duration = 0;  // 0 when the file gives none
    int32_t width = 0;    // coded size
    int32_t height = 0;
    double naturalWidth = 0;  // with the sample aspect ratio
    double naturalHeight = 0;
    double frameRate = 0;  // 0 when unknown
    bool intraOnly = false;
    bool isImage = false;  // a still: one frame, shorter than 0.1 s
};

// Bytes a movie is read from other than a file (the fuzz target's memory input).
class MovieByteSource {
public:
    virtual ~MovieByteSource() = default;
    // Bytes read, 0 at the end, negative on failure.
    virtual int Read(uint8_t* buffer, int size) = 0;
    // The new position, negative on failure; whence as for lseek (SEEK_SET, SEEK_CUR, SEEK_END).
    virtual int64_t Seek(int64_t offset, int whence) = 0;
    virtual int64_t Size() = 0;
};

// A decoded video frame (YUV as decoded) with its time; converted to BGRA when handed out, or ahead
// of that by the decoding thread (set once, before the frame is shared).
class MovieFrame final : public Object {
public:
    double Time() const { return fTime; }
    double Duration() const { return fDuration; }
    const AVFrame* Frame() const { return fFrame; }
    size_t ByteSize() const;
    PixelBuffer* Converted() const { return fConverted.get(); }
    void SetConverted(Ref<PixelBuffer> buffer) { fConverted = std::move(buffer); }

private:
    friend class MovieDecoder;
    MovieFrame(AVFrame* frame, double time, double duration)
        : fFrame(frame), fTime(time), fDuration(duration) {}
    ~MovieFrame() override;
    AVFrame* fFrame;
    double fTime;
    double fDuration;
    Ref<PixelBuffer> fConverted;
};

// A run of decoded sound, resampled to the decoder's output format: interleaved signed 16-bit.
struct MovieSoundChunk {
    double time = 0;  // of the first frame
    std::vector<int16_t> samples;
};

// Demuxes and decodes the first video stream of one movie on the calling thread (or, in sound mode,
// its first audio stream, resampled). Sizes, probing and
// streams are bounded; a set cancel flag makes blocking reads give up.
class MovieDecoder {
public:
    static constexpr int32_t kMaxDimension = 16384;
    static constexpr int64_t kMaxPixels = 64 * 1024 * 1024;

    struct Options {
        int threads = 0;  // decoder frame threads, 0 = automatic
        const std::atomic<bool>* cancel = nullptr;
        // Above 0: sound mode. The audio stream is decoded and resampled to this rate and channel
        // count (no video is decoded); the open fails without an audio stream.
        double soundRate = 0;
        int soundChannels = 2;
    };

    // Null for a path that is not a regular file, a file libavformat does not take, and on cancel.
    static std::unique_ptr<MovieDecoder> OpenFile(const std::string& path, const Options& options);
    static std::unique_ptr<MovieDecoder> OpenSource(std::unique_ptr<MovieByteSource> source,
                                                    const Options& options);
    ~MovieDecoder();
    MovieDecoder(const MovieDecoder&) = delete;
    MovieDecoder& operator=(const MovieDecoder&) = delete;

    const MovieInfo& Info() const { return fInfo; }

    // The next frame in decode order of presentation, null at the end (or on a read failure).
    Ref<MovieFrame> Next();
    // The last frame whose time is not after t (the first frame for t before it); null without video.
    // Later Next calls continue after it.
    Ref<MovieFrame> SeekExact(double t);
    // The frames from the key frame before t up to the one shown at t, in order, into out (cleared);
    // when they take more than maxBytes the earliest are dropped (a later span decodes them again).
    void DecodeSpan(double t, size_t maxBytes, std::vector<Ref<MovieFrame>>& out);
    // True once Next reached the end of the stream.
    bool AtEnd() const { return fAtEnd; }

    // Sound mode: the next chunk (false at the end or on a read failure), and a seek after which
    // chunks start at t (samples before t dropped).
    bool NextSound(MovieSoundChunk& chunk);
    bool SeekSound(double t);

private:
    MovieDecoder();
    bool Open(const std::string& url, const Options& options);
    bool OpenVideo(int threads);
    bool OpenSound(const Options& options);
    bool DecodeSound(MovieSoundChunk& chunk);
    void FillInfo();
    bool SeekToStart(double t);
    Ref<MovieFrame> Wrap(AVFrame* frame);

    std::unique_ptr<MovieByteSource> fSource;
    AVIOContext* fIO = nullptr;
    AVFormatContext* fFormat = nullptr;
    AVCodecContext* fCodec = nullptr;
    AVPacket* fPacket = nullptr;
    int fVideo = -1;
    int fAudio = -1;
    AVCodecContext* fSoundCodec = nullptr;
    SwrContext* fSwr = nullptr;
    double fSoundRate = 0;
    int fSoundChannels = 0;
    double fSoundStart = 0;
    double fSoundPos = -1;   // time of the next resampled frame, -1 until the first decoded one
    double fSoundFrom = -1;  // frames before this time are dropped (after a seek)
    double fStart = 0;       // stream start in seconds
    double fFrameDuration = 0;
    bool fDrained = false;  // flush packet sent
    bool fAtEnd = false;
    Ref<MovieFrame> fPending;  // decoded past a seek target, handed out by the next Next
    MovieInfo fInfo;
};

}  // namespace plat
