#include "Platform/Media/MovieWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace plat {

namespace {

constexpr int kLPCMFrameSize = 1024;  // samples per packet when the encoder takes any size
constexpr int64_t kMaxSilenceSeconds = 10;

std::string AVError(const char* what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return std::string(what) + ": " + text;
}

struct AudioCodec {
    uint32_t id;
    const char* encoder;
    const char* name;
};
constexpr AudioCodec kAudioCodecs[] = {
    {kMovieAudioLPCM, "pcm_s16le", "Linear PCM"},
    {kMovieAudioAAC, "aac", "AAC"},
    {kMovieAudioALAC, "alac", "Apple Lossless"},
};

const AudioCodec* FindAudioCodec(uint32_t id) {
    for (const AudioCodec& c : kAudioCodecs)
        if (c.id == id) return &c;
    return nullptr;
}

const char* VideoEncoderName(const std::string& codec) {
    if (codec == kMovieCodecH264) return "libx264";
    if (codec == kMovieCodecJPEG) return "mjpeg";
    return nullptr;
}

bool Supports(const AVCodec* codec, AVSampleFormat format) {
    if (!codec->sample_fmts) return true;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == format) return true;
    return false;
}

}  // namespace

std::vector<MovieAudioFormat> AvailableMovieAudioFormats() {
    std::vector<MovieAudioFormat> out;
    for (const AudioCodec& c : kAudioCodecs)
        if (avcodec_find_encoder_by_name(c.encoder)) out.push_back({c.id, c.name});
    return out;
}

bool HasMovieVideoCodec(const std::string& codec) {
    const char* name = VideoEncoderName(codec);
    return name && avcodec_find_encoder_by_name(name);
}

int MovieJPEGQScale(double quality) {
    if (!(quality >= 0)) quality = 0;  // NaN as well
    if (quality > 1) quality = 1;
    return int(std::lround(31.0 - quality * 29.0));
}

struct MovieWriter::Impl {
    AVFormatContext* format = nullptr;
    bool opened = false;  // the file was opened (and so is ours to remove)
    int64_t startTime = 0;
    std::mutex muxMutex;

    // Video (video mutex).
    std::mutex videoMutex;
    AVCodecContext* video = nullptr;
    AVStream* videoStream = nullptr;
    SwsContext* sws = nullptr;
    AVFrame* videoFrame = nullptr;
    AVPacket* videoPacket = nullptr;
    int64_t lastVideoTime = INT64_MIN;

    // Audio (audio mutex).
    std::mutex audioMutex;
    AVCodecContext* audio = nullptr;
    AVStream* audioStream = nullptr;
    SwrContext* swr = nullptr;
    AVAudioFifo* fifo = nullptr;  // interleaved s16 in
    AVFrame* audioFrame = nullptr;
    AVPacket* audioPacket = nullptr;
    int audioFrameSize = 0;
    bool audioStarted = false;
    int64_t audioEnd = 0;      // sample time after the last appended sample
    int64_t audioNextPts = 0;  // of the next encoded frame
    std::vector<int16_t> scratch;

    ~Impl() {
        sws_freeContext(sws);
        av_frame_free(&videoFrame);
        av_packet_free(&videoPacket);
        avcodec_free_context(&video);
        swr_free(&swr);
        if (fifo) av_audio_fifo_free(fifo);
        av_frame_free(&audioFrame);
        av_packet_free(&audioPacket);
        avcodec_free_context(&audio);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

Ref<MovieWriter> MovieWriter::Create(const std::string& path, std::string* error) {
    if (path.empty()) {
        if (error) *error = "no destination";
        return nullptr;
    }
    Ref<MovieWriter> writer = Adopt(new MovieWriter(path));
    const std::string url = "file:" + path;
    int r = avformat_alloc_output_context2(&writer->fImpl->format, nullptr, "mov", url.c_str());
    if (r < 0 || !writer->fImpl->format) {
        if (error) *error = AVError("no mov muxer", r);
        return nullptr;
    }
    return writer;
}

MovieWriter::MovieWriter(const std::string& path) : fPath(path), fImpl(std::make_unique<Impl>()) {}

MovieWriter::~MovieWriter() {
    const Status s = GetStatus();
    if (s == Status::kWriting || s == Status::kFailed) CloseAndRemove();
}

std::string MovieWriter::Error() const {
    std::lock_guard<std::mutex> lock(fErrorMutex);
    return fError;
}

bool MovieWriter::Refuse(const std::string& error) {
    std::lock_guard<std::mutex> lock(fErrorMutex);
    fError = error;
    return false;
}

bool MovieWriter::Fail(const std::string& error) {
    // The first failure's text stays.
    Status s = GetStatus();
    while (s == Status::kSettingUp || s == Status::kWriting) {
        if (fStatus.compare_exchange_weak(s, Status::kFailed, std::memory_order_acq_rel)) {
            std::lock_guard<std::mutex> lock(fErrorMutex);
            fError = error;
            break;
        }
    }
    return false;
}

int32_t MovieWriter::EncodedWidth() const {
    return fImpl->video ? fImpl->video->width : 0;
}

int32_t MovieWriter::EncodedHeight() const {
    return fImpl->video ? fImpl->video->height : 0;
}

bool MovieWriter::AddVideoInput(const MovieVideoSettings& s) {
    Impl& m = *fImpl;
    if (GetStatus() != Status::kSettingUp) return Refuse("the writer has started");
    if (m.video) return Refuse("a second video input");
    // A refused input leaves the writer as it was.
    struct Reset {
        AVCodecContext*& c;
        bool keep = false;
        ~Reset() {
            if (!keep) avcodec_free_context(&c);
        }
    } reset{m.video};
    const char* encoderName = VideoEncoderName(s.codec);
    if (!encoderName) return Refuse("unknown video codec \"" + s.codec + "\"");
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec) return Refuse(std::string("no encoder ") + encoderName);
    if (s.width < 1 || s.height < 1 || s.width > kMovieMaxSide || s.height > kMovieMaxSide)
        return Refuse("movie size " + std::to_string(s.width) + " x " + std::to_string(s.height) +
                      " is not within 1..8192");
    const bool h264 = s.codec == kMovieCodecH264;
    // 4:2:0 H.264 takes even sizes: the last odd column or row is dropped.
    const int width = h264 ? s.width & ~1 : s.width;
    const int height = h264 ? s.height & ~1 : s.height;
    if (width < 2 || height < 2) return Refuse("movie size too small for the codec");

    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c) return Refuse("out of memory");
    m.video = c;
    c->width = width;
    c->height = height;
    c->time_base = {1, int(kMovieTimeScale)};
    c->framerate = {s.frameRate > 0 ? s.frameRate : 30, 1};
    c->sample_aspect_ratio = {1, 1};
    if (m.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    if (h264) {
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->gop_size = std::max(1, s.keyFrameInterval);
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_BT709;
        c->colorspace = AVCOL_SPC_BT709;
        c->color_range = AVCOL_RANGE_MPEG;
        av_dict_set(&options, "preset", "veryfast", 0);
    } else {
        c->pix_fmt = AV_PIX_FMT_YUVJ420P;
        c->color_range = AVCOL_RANGE_JPEG;
        c->colorspace = AVCOL_SPC_BT470BG;
        c->gop_size = 1;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = MovieJPEGQScale(s.quality) * FF_QP2LAMBDA;
        c->qmin = 2;
        c->qmax = 31;
    }
    int r = avcodec_open2(c, codec, &options);
    av_dict_free(&options);
    if (r < 0) return Refuse(AVError("video encoder", r));

    reset.keep = true;
    m.videoStream = avformat_new_stream(m.format, nullptr);
    if (!m.videoStream) return Fail("out of memory");
    m.videoStream->time_base = c->time_base;
    r = avcodec_parameters_from_context(m.videoStream->codecpar, c);
    if (r < 0) return Fail(AVError("video stream", r));

    m.sws = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, c->pix_fmt, SWS_BILINEAR, nullptr,
                           nullptr, nullptr);
    if (!m.sws) return Fail("no BGRA converter");
    // BGRA is full range; H.264 gets BT.709 video range, JPEG BT.601 full range.
    sws_setColorspaceDetails(m.sws, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             sws_getCoefficients(h264 ? SWS_CS_ITU709 : SWS_CS_ITU601), h264 ? 0 : 1, 0,
                             1 << 16, 1 << 16);
    m.videoFrame = av_frame_alloc();
    m.videoPacket = av_packet_alloc();
    if (!m.videoFrame || !m.videoPacket) return Fail("out of memory");
    m.videoFrame->format = c->pix_fmt;
    m.videoFrame->width = width;
    m.videoFrame->height = height;
    if (av_frame_get_buffer(m.videoFrame, 0) < 0) return Fail("out of memory");

    fPool = PixelBufferPool::Create(s.width, s.height);
    if (!fPool) return Fail("no pixel buffers of the movie size");
    return true;
}

bool MovieWriter::AddAudioInput(const MovieAudioSettings& s) {
    Impl& m = *fImpl;
    if (GetStatus() != Status::kSettingUp) return Refuse("the writer has started");
    if (m.audio) return Refuse("a second audio input");
    struct Reset {
        AVCodecContext*& c;
        bool keep = false;
        ~Reset() {
            if (!keep) avcodec_free_context(&c);
        }
    } reset{m.audio};
    const AudioCodec* entry = FindAudioCodec(s.formatID);
    if (!entry) return Refuse("unknown audio format " + std::to_string(s.formatID));
    const AVCodec* codec = avcodec_find_encoder_by_name(entry->encoder);
    if (!codec) return Refuse(std::string("no encoder ") + entry->encoder);
    if (s.channels < 1 || s.channels > 2) return Refuse("audio takes 1 or 2 channels");
    if (s.sampleRate < 8000 || s.sampleRate > 192000) return Refuse("unsupported sample rate");

    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c) return Refuse("out of memory");
    m.audio = c;
    c->sample_rate = int(s.sampleRate);
    av_channel_layout_default(&c->ch_layout, int(s.channels));
    c->time_base = {1, c->sample_rate};
    if (Supports(codec, AV_SAMPLE_FMT_S16))
        c->sample_fmt = AV_SAMPLE_FMT_S16;
    else if (Supports(codec, AV_SAMPLE_FMT_S16P))
        c->sample_fmt = AV_SAMPLE_FMT_S16P;
    else
        c->sample_fmt = codec->sample_fmts[0];
    if (s.formatID == kMovieAudioAAC) c->bit_rate = 64000 * int64_t(s.channels);
    if (m.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) return Refuse(AVError("audio encoder", r));
    m.audioFrameSize = c->frame_size > 0 ? c->frame_size : kLPCMFrameSize;

    reset.keep = true;
    m.audioStream = avformat_new_stream(m.format, nullptr);
    if (!m.audioStream) return Fail("out of memory");
    m.audioStream->time_base = c->time_base;
    r = avcodec_parameters_from_context(m.audioStream->codecpar, c);
    if (r < 0) return Fail(AVError("audio stream", r));

    AVChannelLayout layout{};
    av_channel_layout_default(&layout, int(s.channels));
    r = swr_alloc_set_opts2(&m.swr, &c->ch_layout, c->sample_fmt, c->sample_rate, &layout, AV_SAMPLE_FMT_S16,
                            c->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (r < 0 || swr_init(m.swr) < 0) return Fail("no sample converter");
    m.fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, int(s.channels), m.audioFrameSize * 2);
    m.audioFrame = av_frame_alloc();
    m.audioPacket = av_packet_alloc();
    if (!m.fifo || !m.audioFrame || !m.audioPacket) return Fail("out of memory");
    m.audioFrame->format = c->sample_fmt;
    m.audioFrame->nb_samples = m.audioFrameSize;
    m.audioFrame->sample_rate = c->sample_rate;
    if (av_channel_layout_copy(&m.audioFrame->ch_layout, &c->ch_layout) < 0 ||
        av_frame_get_buffer(m.audioFrame, 0) < 0)
        return Fail("out of memory");
    m.scratch.resize(size_t(m.audioFrameSize) * s.channels);
    return true;
}

bool MovieWriter::StartWriting(int64_t time) {
    Impl& m = *fImpl;
    if (GetStatus() != Status::kSettingUp) return false;
    if (!m.video) return Fail("no video input");
    const std::string url = "file:" + fPath;
    int r = avio_open(&m.format->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (r < 0) return Fail(AVError(("cannot open " + fPath).c_str(), r));
    m.opened = true;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movie_timescale", "600", 0);
    av_dict_set(&options, "video_track_timescale", "600", 0);
    r = avformat_write_header(m.format, &options);
    av_dict_free(&options);
    if (r < 0) {
        Fail(AVError("movie header", r));
        CloseAndRemove();
        return false;
    }
    // The header waits in the buffer; from here every packet goes to the file at once, so a failing
    // write ends the recording where it happens.
    m.format->flush_packets = 1;
    m.startTime = time;
    Status expected = Status::kSettingUp;
    return fStatus.compare_exchange_strong(expected, Status::kWriting, std::memory_order_acq_rel);
}

namespace {

// Sends one frame (null: the flush) and writes every packet that comes out; 0 or an AVERROR.
int EncodeAndWrite(AVFormatContext* format, std::mutex& muxMutex, AVCodecContext* encoder, AVStream* stream,
                   AVFrame* frame, AVPacket* packet) {
    int r = avcodec_send_frame(encoder, frame);
    if (r < 0) return r;
    for (;;) {
        r = avcodec_receive_packet(encoder, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
        if (r < 0) return r;
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        std::lock_guard<std::mutex> lock(muxMutex);
        r = av_interleaved_write_frame(format, packet);
        if (r < 0) return r;
        if (format->pb->error < 0) return format->pb->error;
    }
}

}  // namespace

bool MovieWriter::AppendPixelBuffer(PixelBuffer* buffer, int64_t time) {
    Impl& m = *fImpl;
    if (GetStatus() != Status::kWriting) return false;
    if (!buffer || buffer->Width() < m.video->width || buffer->Height() < m.video->height)
        return Fail("a frame of the wrong size");
    std::lock_guard<std::mutex> lock(m.videoMutex);
    const int64_t pts = time - m.startTime;
    if (pts < 0 || time <= m.lastVideoTime) return true;
    if (!buffer->Lock(kPixelBufferLockReadOnly)) return Fail("a frame that cannot be read");
    int r = av_frame_make_writable(m.videoFrame);
    if (r >= 0) {
        const uint8_t* src[1] = {buffer->BaseAddress()};
        const int srcStride[1] = {int(buffer->BytesPerRow())};
        sws_scale(m.sws, src, srcStride, 0, m.video->height, m.videoFrame->data, m.videoFrame->linesize);
    }
    buffer->Unlock(kPixelBufferLockReadOnly);
    if (r < 0) return Fail(AVError("video frame", r));
    m.videoFrame->pts = pts;
    if (m.video->flags & AV_CODEC_FLAG_QSCALE) m.videoFrame->quality = m.video->global_quality;
    r = EncodeAndWrite(m.format, m.muxMutex, m.video, m.videoStream, m.videoFrame, m.videoPacket);
    if (r < 0) return Fail(AVError("writing video", r));
    m.lastVideoTime = time;
    return true;
}

namespace {

// Encodes `samples` frames from the fifo (the last frame may be short); 0 or an AVERROR.
int EncodeAudio(AVFormatContext* format, std::mutex& muxMutex, AVCodecContext* encoder, AVStream* stream,
                SwrContext* swr, AVAudioFifo* fifo, AVFrame* frame, AVPacket* packet, int16_t* scratch,
                int samples, int64_t& nextPts) {
    int r = av_frame_make_writable(frame);
    if (r < 0) return r;
    void* in[1] = {scratch};
    if (av_audio_fifo_read(fifo, in, samples) != samples) return AVERROR(EIO);
    const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(scratch)};
    r = swr_convert(swr, frame->data, samples, src, samples);
    if (r < 0) return r;
    frame->nb_samples = samples;
    frame->pts = nextPts;
    nextPts += samples;
    return EncodeAndWrite(format, muxMutex, encoder, stream, frame, packet);
}

}  // namespace

bool MovieWriter::AppendAudio(const int16_t* samples, uint32_t count, int64_t sampleTime) {
    Impl& m = *fImpl;
    if (GetStatus() != Status::kWriting) return false;
    if (!m.audio) return Fail("no audio input");
    std::lock_guard<std::mutex> lock(m.audioMutex);
    const int channels = m.audio->ch_layout.nb_channels;
    const int rate = m.audio->sample_rate;
    // Sample time relative to the movie's start.
    const int64_t start = av_rescale(m.startTime, rate, kMovieTimeScale);
    int64_t t = sampleTime - start;
    if (!m.audioStarted) {
        m.audioStarted = true;
        m.audioEnd = m.audioNextPts = std::max<int64_t>(t, 0);
    }
    if (t < m.audioEnd) {
        const int64_t skip = m.audioEnd - t;
        if (skip >= int64_t(count)) return true;
        samples += skip * channels;
        count -= uint32_t(skip);
        t = m.audioEnd;
    }
    int64_t gap = std::min<int64_t>(t - m.audioEnd, kMaxSilenceSeconds * rate);
    std::vector<int16_t> silence;
    while (gap > 0) {
        const int n = int(std::min<int64_t>(gap, m.audioFrameSize));
        silence.assign(size_t(n) * channels, 0);
        void* in[1] = {silence.data()};
        if (av_audio_fifo_write(m.fifo, in, n) != n) return Fail("out of memory");
        gap -= n;
        m.audioEnd += n;
    }
    m.audioEnd = std::max(m.audioEnd, t);
    void* in[1] = {const_cast<int16_t*>(samples)};
    if (count > 0 && av_audio_fifo_write(m.fifo, in, int(count)) != int(count)) return Fail("out of memory");
    m.audioEnd += count;
    while (av_audio_fifo_size(m.fifo) >= m.audioFrameSize) {
        int r = EncodeAudio(m.format, m.muxMutex, m.audio, m.audioStream, m.swr, m.fifo, m.audioFrame,
                            m.audioPacket, m.scratch.data(), m.audioFrameSize, m.audioNextPts);
        if (r < 0) return Fail(AVError("writing audio", r));
    }
    return true;
}

bool MovieWriter::Finish() {
    Impl& m = *fImpl;
    if (GetStatus() == Status::kWriting) {
        int r = 0;
        {
            std::lock_guard<std::mutex> lock(m.videoMutex);
            r = EncodeAndWrite(m.format, m.muxMutex, m.video, m.videoStream, nullptr, m.videoPacket);
        }
        if (r < 0) Fail(AVError("writing video", r));
        if (m.audio && r >= 0) {
            std::lock_guard<std::mutex> lock(m.audioMutex);
            int left = av_audio_fifo_size(m.fifo);
            const bool shortLast = m.audio->codec->capabilities &
                                   (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
            if (left > 0 && !shortLast) {
                // Pad the last frame with silence.
                std::vector<int16_t> silence(size_t(m.audioFrameSize - left) *
                                             m.audio->ch_layout.nb_channels);
                void* in[1] = {silence.data()};
                (void)av_audio_fifo_write(m.fifo, in, m.audioFrameSize - left);
                left = m.audioFrameSize;
            }
            if (left > 0)
                r = EncodeAudio(m.format, m.muxMutex, m.audio, m.audioStream, m.swr, m.fifo, m.audioFrame,
                                m.audioPacket, m.scratch.data(), left, m.audioNextPts);
            if (r >= 0)
                r = EncodeAndWrite(m.format, m.muxMutex, m.audio, m.audioStream, nullptr, m.audioPacket);
            if (r < 0) Fail(AVError("writing audio", r));
        }
        if (GetStatus() == Status::kWriting) {
            std::lock_guard<std::mutex> lock(m.muxMutex);
            r = av_write_trailer(m.format);
            if (r >= 0) {
                avio_flush(m.format->pb);
                r = m.format->pb->error;
            }
            if (r >= 0) r = avio_closep(&m.format->pb);
            if (r < 0) Fail(AVError("finishing the movie", r));
        }
        if (GetStatus() == Status::kWriting) {
            fStatus.store(Status::kCompleted, std::memory_order_release);
            return true;
        }
    }
    if (GetStatus() == Status::kCompleted) return true;
    if (GetStatus() == Status::kSettingUp) Fail("the writer never started");
    CloseAndRemove();
    return false;
}

void MovieWriter::Cancel() {
    const Status s = GetStatus();
    if (s == Status::kCompleted || s == Status::kCancelled) return;
    fStatus.store(Status::kCancelled, std::memory_order_release);
    CloseAndRemove();
}

void MovieWriter::CloseAndRemove() {
    Impl& m = *fImpl;
    std::lock_guard<std::mutex> lock(m.muxMutex);
    if (m.format && m.format->pb) avio_closep(&m.format->pb);
    if (!m.opened) return;
    m.opened = false;
    // Only a regular file is ours to remove; a link or a device stays.
    struct stat st {};
    if (lstat(fPath.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(fPath.c_str());
}

}  // namespace plat
