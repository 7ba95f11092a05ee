#include "Platform/Media/MovieDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>

#include <cmath>
#include <cstring>

namespace plat {

namespace {

constexpr int64_t kProbeSize = 8 * 1024 * 1024;
constexpr int64_t kAnalyzeDuration = 5 * int64_t{AV_TIME_BASE};
constexpr int kIOBufferSize = 32768;
constexpr int kMaxSoundChannels = 8;
constexpr int kMaxSoundFrames = 1 << 20;  // per decoded frame, after resampling

int Interrupt(void* opaque) {
    auto* cancel = static_cast<const std::atomic<bool>*>(opaque);
    return cancel && cancel->load(std::memory_order_relaxed) ? 1 : 0;
}

int ReadSource(void* opaque, uint8_t* buffer, int size) {
    int n = static_cast<MovieByteSource*>(opaque)->Read(buffer, size);
    if (n == 0) return AVERROR_EOF;
    return n < 0 ? AVERROR(EIO) : n;
}

int64_t SeekSource(void* opaque, int64_t offset, int whence) {
    auto* source = static_cast<MovieByteSource*>(opaque);
    if (whence & AVSEEK_SIZE) return source->Size();
    return source->Seek(offset, whence & ~AVSEEK_FORCE);
}

bool IsDefault(const AVStream* s) {
    return (s->disposition & AV_DISPOSITION_DEFAULT) != 0;
}

// The first stream of a kind, the first with the default disposition when there is one.
int ChooseStream(const AVFormatContext* format, AVMediaType type) {
    int chosen = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* s = format->streams[i];
        if (s->codecpar->codec_type != type || (s->disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;
        if (chosen < 0 || (IsDefault(s) && !IsDefault(format->streams[chosen]))) chosen = static_cast<int>(i);
        if (IsDefault(s)) break;
    }
    return chosen;
}

double Seconds(AVRational r) {
    return r.num > 0 && r.den > 0 ? av_q2d(r) : 0;
}

bool IsImageFormat(const AVInputFormat* format) {
    if (!format || !format->name) return false;
    const std::string name = format->name;
    return name == "image2" || (name.size() > 5 && name.compare(name.size() - 5, 5, "_pipe") == 0);
}

}  // namespace

MovieFrame::~MovieFrame() {
    av_frame_free(&fFrame);
}

size_t MovieFrame::ByteSize() const {
    size_t total = sizeof(AVFrame);
    for (AVBufferRef* b : fFrame->buf)
        if (b) total += b->size;
    return total;
}

MovieDecoder::MovieDecoder() = default;

MovieDecoder::~MovieDecoder() {
    fPending = nullptr;
    swr_free(&fSwr);
    avcodec_free_context(&fSoundCodec);
    avcodec_free_context(&fCodec);
    av_packet_free(&fPacket);
    avformat_close_input(&fFormat);
    if (fIO) {
        av_freep(&fIO->buffer);
        avio_context_free(&fIO);
    }
}

std::unique_ptr<MovieDecoder> MovieDecoder::OpenFile(const std::string& path, const Options& options) {
    // Only regular files: opening a FIFO without a writer would block where no interrupt reaches.
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return nullptr;
    std::unique_ptr<MovieDecoder> decoder(new MovieDecoder());
    if (!decoder->Open("file:" + path, options)) return nullptr;
    return decoder;
}

std::unique_ptr<MovieDecoder> MovieDecoder::OpenSource(std::unique_ptr<MovieByteSource> source,
                                                       const Options& options) {
    if (!source) return nullptr;
    std::unique_ptr<MovieDecoder> decoder(new MovieDecoder());
    decoder->fSource = std::move(source);
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIOBufferSize));
    if (!buffer) return nullptr;
    decoder->fIO =
        avio_alloc_context(buffer, kIOBufferSize, 0, decoder->fSource.get(), ReadSource, nullptr, SeekSource);
    if (!decoder->fIO) {
        av_free(buffer);
        return nullptr;
    }
    if (!decoder->Open("", options)) return nullptr;
    return decoder;
}

bool MovieDecoder::Open(const std::string& url, const Options& options) {
    fFormat = avformat_alloc_context();
    fPacket = av_packet_alloc();
    if (!fFormat || !fPacket) return false;
    fFormat->interrupt_callback.callback = Interrupt;
    fFormat->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(options.cancel);
    fFormat->probesize = kProbeSize;
    fFormat->max_analyze_duration = kAnalyzeDuration;
    fFormat->max_streams = 256;
    AVDictionary* dict = nullptr;
    if (fIO) {
        fFormat->pb = fIO;
        fFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    // Nested opens (playlists, references) reach local files only.
    av_dict_set(&dict, "protocol_whitelist", "file", 0);
    int opened = avformat_open_input(&fFormat, url.c_str(), nullptr, &dict);
    av_dict_free(&dict);
    if (opened < 0) return false;  // fFormat was freed
    fFormat->flags |= AVFMT_FLAG_GENPTS;
    if (avformat_find_stream_info(fFormat, nullptr) < 0) return false;
    if (Interrupt(fFormat->interrupt_callback.opaque)) return false;

    fVideo = ChooseStream(fFormat, AVMEDIA_TYPE_VIDEO);
    fAudio = ChooseStream(fFormat, AVMEDIA_TYPE_AUDIO);
    const bool sound = options.soundRate > 0;
    const int used = sound ? fAudio : fVideo;
    for (unsigned i = 0; i < fFormat->nb_streams; ++i)
        if (static_cast<int>(i) != used) fFormat->streams[i]->discard = AVDISCARD_ALL;
    if (fVideo < 0 && fAudio < 0) return false;
    if (sound) {
        if (!OpenSound(options)) return false;
    } else if (fVideo >= 0 && !OpenVideo(options.threads)) {
        return false;
    }
    FillInfo();
    return true;
}

bool MovieDecoder::OpenVideo(int threads) {
    const AVStream* stream = fFormat->streams[fVideo];
    const AVCodecParameters* par = stream->codecpar;
    // Refused before anything of that size is allocated.
    if (par->width <= 0 || par->height <= 0 || par->width > kMaxDimension || par->height > kMaxDimension ||
        int64_t{par->width} * par->height > kMaxPixels)
        return false;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return false;
    fCodec = avcodec_alloc_context3(codec);
    if (!fCodec || avcodec_parameters_to_context(fCodec, par) < 0) return false;
    fCodec->max_pixels = kMaxPixels;
    fCodec->thread_count = threads;
    fCodec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    fCodec->pkt_timebase = stream->time_base;
    if (avcodec_open2(fCodec, codec, nullptr) < 0) return false;
    if (stream->start_time != AV_NOPTS_VALUE) fStart = stream->start_time * av_q2d(stream->time_base);
    return true;
}

bool MovieDecoder::OpenSound(const Options& options) {
    if (fAudio < 0 || !(options.soundRate >= 8000 && options.soundRate <= 384000) ||
        options.soundChannels < 1 || options.soundChannels > kMaxSoundChannels)
        return false;
    const AVStream* stream = fFormat->streams[fAudio];
    const AVCodecParameters* par = stream->codecpar;
    if (par->sample_rate <= 0 || par->sample_rate > 384000 || par->ch_layout.nb_channels <= 0 ||
        par->ch_layout.nb_channels > 64)
        return false;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return false;
    fSoundCodec = avcodec_alloc_context3(codec);
    if (!fSoundCodec || avcodec_parameters_to_context(fSoundCodec, par) < 0) return false;
    fSoundCodec->pkt_timebase = stream->time_base;
    if (avcodec_open2(fSoundCodec, codec, nullptr) < 0) return false;
    AVChannelLayout in{};
    if (fSoundCodec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || fSoundCodec->ch_layout.nb_channels <= 0)
        av_channel_layout_default(&in, fSoundCodec->ch_layout.nb_channels > 0
                                           ? fSoundCodec->ch_layout.nb_channels
                                           : par->ch_layout.nb_channels);
    else if (av_channel_layout_copy(&in, &fSoundCodec->ch_layout) < 0)
        return false;
    AVChannelLayout out{};
    av_channel_layout_default(&out, options.soundChannels);
    const int rate = static_cast<int>(options.soundRate);
    const int made = swr_alloc_set_opts2(&fSwr, &out, AV_SAMPLE_FMT_S16, rate, &in, fSoundCodec->sample_fmt,
                                         fSoundCodec->sample_rate, 0, nullptr);
    const bool mono = in.nb_channels == 1;
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (made < 0 || !fSwr) return false;
    if (mono) {
        // Mono plays at its own level on every output channel.
        const double gains[kMaxSoundChannels] = {1, 1, 1, 1, 1, 1, 1, 1};
        if (swr_set_matrix(fSwr, gains, 1) < 0) return false;
    }
    if (swr_init(fSwr) < 0) return false;
    fSoundRate = rate;
    fSoundChannels = options.soundChannels;
    if (stream->start_time != AV_NOPTS_VALUE) fSoundStart = stream->start_time * Seconds(stream->time_base);
    return true;
}

bool MovieDecoder::DecodeSound(MovieSoundChunk& chunk) {
    AVFrame* frame = av_frame_alloc();
    if (!frame) return false;
    bool got = false;
    while (!got && !Interrupt(fFormat->interrupt_callback.opaque)) {
        int received = avcodec_receive_frame(fSoundCodec, frame);
        if (received == 0) {
            got = true;
            break;
        }
        if (received != AVERROR(EAGAIN) || fDrained) break;
        int read = av_read_frame(fFormat, fPacket);
        if (read == AVERROR(EAGAIN)) continue;
        if (read < 0) {
            avcodec_send_packet(fSoundCodec, nullptr);
            fDrained = true;
            continue;
        }
        if (fPacket->stream_index == fAudio) (void)avcodec_send_packet(fSoundCodec, fPacket);
        av_packet_unref(fPacket);
    }
    if (!got) {
        av_frame_free(&frame);
        fAtEnd = true;
        return false;
    }
    const double tb = Seconds(fFormat->streams[fAudio]->time_base);
    const int64_t ts = frame->best_effort_timestamp;
    double time = ts != AV_NOPTS_VALUE && tb > 0 ? ts * tb - fSoundStart : fSoundPos;
    if (!std::isfinite(time)) time = fSoundPos;
    // Follow the stream's times across gaps; small jitter keeps the running position.
    if (fSoundPos < 0 || (time >= 0 && std::fabs(time - fSoundPos) > 0.1)) fSoundPos = time < 0 ? 0 : time;
    int room = swr_get_out_samples(fSwr, frame->nb_samples);
    if (room > kMaxSoundFrames) room = kMaxSoundFrames;
    chunk.samples.clear();
    if (room > 0) {
        chunk.samples.resize(static_cast<size_t>(room) * fSoundChannels);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(chunk.samples.data())};
        int n = swr_convert(fSwr, out, room, const_cast<const uint8_t**>(frame->extended_data),
                            frame->nb_samples);
        chunk.samples.resize(n > 0 ? static_cast<size_t>(n) * fSoundChannels : 0);
    }
    av_frame_free(&frame);
    chunk.time = fSoundPos;
    const size_t frames = chunk.samples.size() / fSoundChannels;
    fSoundPos += frames / fSoundRate;
    if (fSoundFrom > chunk.time && frames > 0) {
        size_t drop = static_cast<size_t>(std::llround((fSoundFrom - chunk.time) * fSoundRate));
        if (drop > frames) drop = frames;
        chunk.samples.erase(chunk.samples.begin(),
                            chunk.samples.begin() + static_cast<std::ptrdiff_t>(drop * fSoundChannels));
        chunk.time += drop / fSoundRate;
        if (drop < frames) fSoundFrom = -1;
    }
    return true;
}

bool MovieDecoder::NextSound(MovieSoundChunk& chunk) {
    chunk.samples.clear();
    if (!fSoundCodec) return false;
    while (!fAtEnd) {
        if (!DecodeSound(chunk)) return false;
        if (!chunk.samples.empty()) return true;
    }
    return false;
}

bool MovieDecoder::SeekSound(double t) {
    if (!fSoundCodec) return false;
    if (!std::isfinite(t) || t < 0) t = 0;
    const double tb = Seconds(fFormat->streams[fAudio]->time_base);
    if (tb <= 0) return false;
    const double target = (t + fSoundStart) / tb;
    if (!(target < 9e18)) return false;
    if (av_seek_frame(fFormat, fAudio, static_cast<int64_t>(std::floor(target)), AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(fFormat, fAudio, 0, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(fSoundCodec);
    swr_close(fSwr);
    if (swr_init(fSwr) < 0) return false;
    fDrained = false;
    fAtEnd = false;
    fSoundPos = -1;
    fSoundFrom = t;
    return true;
}

void MovieDecoder::FillInfo() {
    fInfo.hasVideo = fVideo >= 0;
    fInfo.hasAudio = fAudio >= 0;
    double duration = 0;
    if (fFormat->duration != AV_NOPTS_VALUE && fFormat->duration > 0)
        duration = static_cast<double>(fFormat->duration) / AV_TIME_BASE;
    if (fVideo < 0) {
        fInfo.duration = std::isfinite(duration) ? duration : 0;
        return;
    }
    AVStream* stream = fFormat->streams[fVideo];
    if (duration <= 0 && stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        duration = stream->duration * Seconds(stream->time_base);
    fInfo.duration = std::isfinite(duration) && duration > 0 ? duration : 0;
    fInfo.width = stream->codecpar->width;
    fInfo.height = stream->codecpar->height;
    fInfo.naturalWidth = fInfo.width;
    fInfo.naturalHeight = fInfo.height;
    AVRational sar = av_guess_sample_aspect_ratio(fFormat, stream, nullptr);
    if (sar.num > 0 && sar.den > 0) fInfo.naturalWidth = fInfo.width * av_q2d(sar);
    double rate = Seconds(stream->avg_frame_rate);
    if (rate <= 0 || rate > 1000) rate = Seconds(stream->r_frame_rate);
    fInfo.frameRate = rate > 0 && rate <= 1000 ? rate : 0;
    fFrameDuration = fInfo.frameRate > 0 ? 1 / fInfo.frameRate : 0;
    const AVCodecDescriptor* desc = avcodec_descriptor_get(stream->codecpar->codec_id);
    fInfo.intraOnly = desc && (desc->props & AV_CODEC_PROP_INTRA_ONLY);
    fInfo.isImage = IsImageFormat(fFormat->iformat);
    if (fInfo.isImage) {
        // A still is a one-frame movie.
        fInfo.duration = 0.04;
        fInfo.frameRate = 25;
        fFrameDuration = 0.04;
    }
}

Ref<MovieFrame> MovieDecoder::Wrap(AVFrame* frame) {
    const AVStream* stream = fFormat->streams[fVideo];
    const double tb = Seconds(stream->time_base);
    int64_t ts = frame->best_effort_timestamp;
    double time = ts != AV_NOPTS_VALUE && tb > 0 ? ts * tb - fStart : 0;
    if (!std::isfinite(time)) time = 0;
    double duration = frame->pkt_duration > 0 && tb > 0 ? frame->pkt_duration * tb : fFrameDuration;
    if (fInfo.isImage) time = 0;
    return Adopt(new MovieFrame(frame, time, duration));
}

Ref<MovieFrame> MovieDecoder::Next() {
    if (fPending) return std::move(fPending);
    if (fVideo < 0 || !fCodec || fAtEnd) return nullptr;
    while (!Interrupt(fFormat->interrupt_callback.opaque)) {
        AVFrame* frame = av_frame_alloc();
        if (!frame) return nullptr;
        int received = avcodec_receive_frame(fCodec, frame);
        if (received == 0) return Wrap(frame);
        av_frame_free(&frame);
        if (received != AVERROR(EAGAIN) || fDrained) break;
        int read = av_read_frame(fFormat, fPacket);
        if (read == AVERROR(EAGAIN)) continue;
        if (read < 0) {
            // The end, or a cut or unreadable file: hand out what the decoder holds.
            avcodec_send_packet(fCodec, nullptr);
            fDrained = true;
            continue;
        }
        if (fPacket->stream_index == fVideo) {
            // A damaged packet is skipped.
            (void)avcodec_send_packet(fCodec, fPacket);
        }
        av_packet_unref(fPacket);
    }
    fAtEnd = true;
    return nullptr;
}

bool MovieDecoder::SeekToStart(double t) {
    const AVStream* stream = fFormat->streams[fVideo];
    const double tb = Seconds(stream->time_base);
    if (tb <= 0) return false;
    double target = (t + fStart) / tb;
    if (!std::isfinite(target) || target > 9e18 || target < -9e18) return false;
    int64_t ts = static_cast<int64_t>(std::floor(target));
    if (av_seek_frame(fFormat, fVideo, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(fCodec);
    fDrained = false;
    fAtEnd = false;
    fPending = nullptr;
    return true;
}

Ref<MovieFrame> MovieDecoder::SeekExact(double t) {
    if (fVideo < 0 || !fCodec) return nullptr;
    if (!std::isfinite(t) || t < 0) t = 0;
    if (fInfo.isImage) {
        if (!fPending) {
            if (!SeekToStart(0)) return nullptr;
            fPending = Next();
        }
        return fPending;
    }
    const double slack = fFrameDuration > 0 ? std::min(1e-4, fFrameDuration / 4) : 1e-4;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // The first try seeks to the key frame before t; when that lands after t, start over from 0.
        if (!SeekToStart(attempt == 0 ? t : 0) && attempt == 0) continue;
        Ref<MovieFrame> best;
        while (Ref<MovieFrame> frame = Next()) {
            if (frame->Time() <= t + slack) {
                best = std::move(frame);
                continue;
            }
            if (best) {
                fPending = std::move(frame);
                return best;
            }
            if (attempt == 0 && t > 0) break;
            return frame;  // t is before the first frame
        }
        if (best) return best;
    }
    return nullptr;
}

void MovieDecoder::DecodeSpan(double t, size_t maxBytes, std::vector<Ref<MovieFrame>>& out) {
    out.clear();
    if (fVideo < 0 || !fCodec) return;
    if (!std::isfinite(t) || t < 0) t = 0;
    if (fInfo.isImage || fInfo.intraOnly) {
        if (Ref<MovieFrame> frame = SeekExact(t)) out.push_back(std::move(frame));
        return;
    }
    const double slack = fFrameDuration > 0 ? std::min(1e-4, fFrameDuration / 4) : 1e-4;
    for (int attempt = 0; attempt < 2 && out.empty(); ++attempt) {
        if (!SeekToStart(attempt == 0 ? t : 0)) continue;
        size_t bytes = 0;
        size_t first = 0;
        while (Ref<MovieFrame> frame = Next()) {
            if (frame->Time() > t + slack) {
                if (out.size() == first && (attempt == 1 || t <= 0))
                    out.push_back(std::move(frame));
                else
                    fPending = std::move(frame);
                break;
            }
            bytes += frame->ByteSize();
            out.push_back(std::move(frame));
            while (bytes > maxBytes && out.size() - first > 1) {
                bytes -= out[first]->ByteSize();
                out[first++] = nullptr;
            }
            if (first > 64 && first * 2 > out.size()) {
                out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(first));
                first = 0;
            }
        }
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(first));
    }
}

}  // namespace plat
