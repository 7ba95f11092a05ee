#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdint>
#include <random>
#include <vector>

#include "Platform/Graphics/PNGEncoder.h"

// A captured 1920 x 1080 frame of noise (opaque, A, R, G, B bytes as glReadPixels gives them), encoded
// by the still saver's encoder, beside a bare libpng encode of the same straight rows with the same
// zlib level and filter. The ratio of the two is the encoder's own cost.
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

const std::vector<uint8_t>& NoisyFrame() {
    static const std::vector<uint8_t> frame = [] {
        std::vector<uint8_t> f(size_t{kWidth} * kHeight * 4);
        std::mt19937 rng(7);
        for (size_t i = 0; i < f.size(); i += 4) {
            uint32_t r = rng();
            // A smooth picture with noise on top, as a rendered frame with grain looks.
            auto base = static_cast<uint8_t>((i / 4 % kWidth) * 255 / kWidth);
            f[i] = 255;
            f[i + 1] = static_cast<uint8_t>(base + (r & 0x1F));
            f[i + 2] = static_cast<uint8_t>(base / 2 + ((r >> 8) & 0x1F));
            f[i + 3] = static_cast<uint8_t>(255 - base + ((r >> 16) & 0x1F));
        }
        return f;
    }();
    return frame;
}

void BM_PNGEncoderFrame(benchmark::State& state) {
    const std::vector<uint8_t>& frame = NoisyFrame();
    std::vector<uint8_t> out;
    for (auto _ : state) {
        bool ok = plat::PNGEncoder::Encode(frame.data(), kWidth, kHeight, size_t{kWidth} * 4,
                                           plat::PixelOrder::kARGB, out);
        benchmark::DoNotOptimize(ok);
    }
    state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_PNGEncoderFrame)->Unit(benchmark::kMillisecond);

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Bare libpng at a zlib level and filter set (arguments), for choosing the encoder's settings.
void EncodeBare(benchmark::State& state, int level, int filter) {
    const std::vector<uint8_t>& frame = NoisyFrame();
    std::vector<uint8_t> rgb(size_t{kWidth} * kHeight * 3);
    for (size_t p = 0; p < size_t{kWidth} * kHeight; ++p)
        for (int k = 0; k < 3; ++k) rgb[p * 3 + k] = frame[p * 4 + 1 + k];
    std::vector<png_bytep> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) rows[y] = &rgb[static_cast<size_t>(y) * kWidth * 3];
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            state.SkipWithError("libpng failed");
            break;
        }
        png_set_write_fn(png, &out, Append, nullptr);
        png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
        png_set_compression_level(png, level);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
    }
    state.counters["bytes"] = static_cast<double>(out.size());
}
void BM_LibpngBareFrame(benchmark::State& state) {
    EncodeBare(state, plat::PNGEncoder::kZlibLevel, plat::PNGEncoder::kFilter);
}
BENCHMARK(BM_LibpngBareFrame)->Unit(benchmark::kMillisecond);

void BM_LibpngSettings(benchmark::State& state) {
    EncodeBare(state, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
}
// Levels 1, 2, 3 and 6 with no filter, Sub, and libpng's adaptive choice of all five.
BENCHMARK(BM_LibpngSettings)
    ->ArgsProduct({{1, 2, 3, 6}, {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_ALL_FILTERS}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
