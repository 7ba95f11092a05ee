// The movie player beside a bare libavformat + libavcodec + libswscale loop over the same 1080p60
// H.264 file (made here with ffmpeg), with the same frame threads, in the same run. Counters:
// fps, and "ratio" = our time / the bare loop's time (decode and conversion: at most 1.2).
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Foundation/Clock.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/Media/MovieDecoder.h"
#include "Platform/Media/MovieFrameConverter.h"
#include "Platform/Media/MovieItem.h"
#include "Platform/Media/MoviePlayer.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 240;  // 4 s at 60 fps

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// 4 s of 1920x1080 at 60 fps with noise, about 24 Mbit/s, one key frame a second; empty on failure.
const std::string& MoviePath() {
    static const std::string path = [] {
        av_log_set_level(AV_LOG_QUIET);
        std::string file = "/tmp/orbilume-movie-bench-1080p60.mp4";
        std::string cmd = "test -s " + file +
                          " || ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1920x1080:r=60 -vf "
                          "noise=alls=30:allf=t -t 4 -c:v libx264 -preset veryfast -b:v 24M -maxrate 24M "
                          "-bufsize 48M -g 60 -bf 2 -pix_fmt yuv420p " +
                          file;
        return std::system(cmd.c_str()) == 0 ? file : std::string();
    }();
    return path;
}

// The bare loop: demux, decode with frame threads, convert to BGRA. Optionally stops at a time.
struct Bare {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* sws = nullptr;
    int stream = -1;
    std::vector<uint8_t> bgra;

    explicit Bare(const std::string& path) {
        if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return;
        avformat_find_stream_info(format, nullptr);
        stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVCodec* c = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
        codec = avcodec_alloc_context3(c);
        avcodec_parameters_to_context(codec, format->streams[stream]->codecpar);
        codec->thread_count = 0;
        codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        avcodec_open2(codec, c, nullptr);
        bgra.resize(size_t{1920} * 1080 * 4);
    }
    ~Bare() {
        sws_freeContext(sws);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
    void Convert(const AVFrame* f) {
        sws = sws_getCachedContext(sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                   f->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        uint8_t* dst[4] = {bgra.data()};
        int stride[4] = {f->width * 4};
        sws_scale(sws, f->data, f->linesize, 0, f->height, dst, stride);
    }
    // Frames decoded and converted up to time t (all for t < 0), from the key frame before it when
    // seek is set.
    int Run(double t, bool seek) {
        const double tb = av_q2d(format->streams[stream]->time_base);
        if (seek) {
            av_seek_frame(format, stream, static_cast<int64_t>(t / tb), AVSEEK_FLAG_BACKWARD);
            avcodec_flush_buffers(codec);
        }
        AVPacket* packet = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        int n = 0;
        bool done = false;
        bool drained = false;
        while (!done) {
            int r = avcodec_receive_frame(codec, frame);
            if (r == 0) {
                const double ft = frame->best_effort_timestamp * tb;
                if (t >= 0 && ft > t + 1e-4) {
                    done = true;
                } else if (t < 0 || ft >= t - 1e-4) {
                    Convert(frame);
                    ++n;
                    if (t >= 0) done = true;
                }
                continue;
            }
            if (r != AVERROR(EAGAIN) || drained) break;
            if (av_read_frame(format, packet) < 0) {
                avcodec_send_packet(codec, nullptr);
                drained = true;
                continue;
            }
            if (packet->stream_index == stream) avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
        }
        av_frame_free(&frame);
        av_packet_free(&packet);
        return n;
    }
};

double BareDecodeSeconds() {
    static const double seconds = [] {
        Bare bare(MoviePath());
        auto start = Clock::now();
        bare.Run(-1, false);
        return Seconds(Clock::now() - start);
    }();
    return seconds;
}

void BM_BareDecodeConvert(benchmark::State& state) {
    if (MoviePath().empty()) return state.SkipWithError("ffmpeg could not make the movie");
    int frames = 0;
    for (auto _ : state) {
        Bare bare(MoviePath());
        frames += bare.Run(-1, false);
    }
    state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareDecodeConvert)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_MovieDecodeConvert(benchmark::State& state) {
    if (MoviePath().empty()) return state.SkipWithError("ffmpeg could not make the movie");
    const double bare = BareDecodeSeconds();
    int frames = 0;
    double total = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        auto decoder = plat::MovieDecoder::OpenFile(MoviePath(), {});
        plat::MovieFrameConverter converter;
        while (plat::Ref<plat::MovieFrame> frame = decoder->Next()) {
            benchmark::DoNotOptimize(converter.Convert(*frame));
            ++frames;
        }
        total += Seconds(Clock::now() - start);
    }
    state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["ratio"] = total / state.iterations() / bare;
}
BENCHMARK(BM_MovieDecodeConvert)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

struct GL {
    plat::Ref<plat::GLPixelFormat> format;
    plat::Ref<plat::GLContext> context;
    plat::Ref<plat::GLTextureCache> cache;
    GL() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("EGL_PLATFORM", "surfaceless", 0);
        format = plat::GLPixelFormat::Create({});
        context = format ? plat::GLContext::Create(format.get(), nullptr) : nullptr;
        if (!context || !context->MakeCurrent()) return;
        cache = plat::GLTextureCache::Create(context.get(), format.get());
    }
};

// The player's read-ahead, each frame handed out as BGRA and uploaded into a rectangle texture.
void BM_PlayerFramesWithUpload(benchmark::State& state) {
    if (MoviePath().empty()) return state.SkipWithError("ffmpeg could not make the movie");
    GL gl;
    if (!gl.cache) return state.SkipWithError("no GL context");
    int frames = 0;
    for (auto _ : state) {
        plat::Ref<plat::MoviePlayer> player = plat::Adopt(plat::MoviePlayer::Create());
        plat::Ref<plat::MovieItem> item = plat::Adopt(plat::MovieItem::Create(MoviePath(), nullptr, nullptr));
        while (item->GetStatus() == plat::MovieItem::Status::kUnknown)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        player->ReplaceCurrentItem(item.get());
        player->SetRate(1);
        for (int i = 0; i < kFrames; ++i) {
            const double t = i / 60.0;
            while (i > 0 && !player->HasNewPixelBufferForItemTime(t)) std::this_thread::yield();
            plat::Ref<plat::PixelBuffer> buffer = player->CopyPixelBufferForItemTime(t, nullptr);
            plat::Ref<plat::GLTexture> texture = gl.cache->CreateTexture(buffer.get());
            glFinish();
            benchmark::DoNotOptimize(texture);
            ++frames;
        }
        player->SetRate(0);
        gl.cache->Flush();
    }
    state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlayerFramesWithUpload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Exact seeks to the same random times: the median of ours and of the bare seek-and-decode.
void BM_ExactSeekMedian(benchmark::State& state) {
    if (MoviePath().empty()) return state.SkipWithError("ffmpeg could not make the movie");
    std::mt19937 random(7);
    std::uniform_real_distribution<double> when(0, 3.9);
    std::vector<double> ours;
    std::vector<double> bare;
    auto decoder = plat::MovieDecoder::OpenFile(MoviePath(), {});
    plat::MovieFrameConverter converter;
    Bare peer(MoviePath());
    for (auto _ : state) {
        const double t = when(random);
        auto start = Clock::now();
        plat::Ref<plat::MovieFrame> frame = decoder->SeekExact(t);
        if (frame) benchmark::DoNotOptimize(converter.Convert(*frame));
        ours.push_back(Seconds(Clock::now() - start));
        start = Clock::now();
        peer.Run(t, true);
        bare.push_back(Seconds(Clock::now() - start));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    };
    state.counters["median_ms"] = median(ours) * 1000;
    state.counters["bare_median_ms"] = median(bare) * 1000;
    state.counters["ratio"] = median(ours) / median(bare);
}
BENCHMARK(BM_ExactSeekMedian)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(15);

// A clock the benchmark moves: rate -1 then asks for one frame per 1/60 s of movie time.
class StepClock : public plat::Clock {
public:
    double Now() const override { return fNow.load(); }
    std::atomic<double> fNow{100};
};

void BM_ReversePlayFrames(benchmark::State& state) {
    if (MoviePath().empty()) return state.SkipWithError("ffmpeg could not make the movie");
    StepClock clock;
    plat::SetClock(&clock);
    int frames = 0;
    for (auto _ : state) {
        plat::Ref<plat::MoviePlayer> player = plat::Adopt(plat::MoviePlayer::Create());
        plat::Ref<plat::MovieItem> item = plat::Adopt(plat::MovieItem::Create(MoviePath(), nullptr, nullptr));
        while (item->GetStatus() == plat::MovieItem::Status::kUnknown)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        player->ReplaceCurrentItem(item.get());
        player->SeekToTime(4.0, nullptr, nullptr);
        while (!item->IsIdle()) std::this_thread::sleep_for(std::chrono::microseconds(200));
        player->SetRate(-1);
        for (int i = 1; i < kFrames - 1; ++i) {
            clock.fNow.store(clock.fNow.load() + 1 / 60.0);
            const double t = player->CurrentTime();
            while (!player->HasNewPixelBufferForItemTime(t)) std::this_thread::yield();
            benchmark::DoNotOptimize(player->CopyPixelBufferForItemTime(t, nullptr));
            ++frames;
        }
        player->SetRate(0);
    }
    plat::SetClock(nullptr);
    state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReversePlayFrames)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
