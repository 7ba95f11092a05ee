// Input: a movie file's bytes, read through a memory byte source: open, info, the first frames, one
// exact seek and one step back; then the sound: open, the first chunks, one seek.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

extern "C" {
#include <libavutil/log.h>
}

#include "Platform/Media/MovieDecoder.h"
#include "Platform/Media/MovieFrameConverter.h"
#include "Platform/Video/PixelBuffer.h"

namespace {

class MemorySource final : public plat::MovieByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : fData(data), fSize(static_cast<int64_t>(size)) {}
    int Read(uint8_t* buffer, int size) override {
        int64_t n = std::min<int64_t>(size, fSize - fPos);
        if (n <= 0) return 0;
        std::memcpy(buffer, fData + fPos, static_cast<size_t>(n));
        fPos += n;
        return static_cast<int>(n);
    }
    int64_t Seek(int64_t offset, int whence) override {
        int64_t base = whence == SEEK_CUR ? fPos : whence == SEEK_END ? fSize : 0;
        if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
        if (offset > fSize || offset < -fSize || base + offset < 0 || base + offset > fSize) return -1;
        fPos = base + offset;
        return fPos;
    }
    int64_t Size() override { return fSize; }

private:
    const uint8_t* fData;
    int64_t fSize;
    int64_t fPos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
    if (!data) return 0;
    plat::MovieDecoder::Options options;
    options.threads = 1;
    auto decoder = plat::MovieDecoder::OpenSource(std::make_unique<MemorySource>(data, size), options);
    if (!decoder) return 0;
    const plat::MovieInfo info = decoder->Info();
    if (info.hasAudio) {
        plat::MovieDecoder::Options sound = options;
        sound.soundRate = 48000;
        if (auto audio = plat::MovieDecoder::OpenSource(std::make_unique<MemorySource>(data, size), sound)) {
            plat::MovieSoundChunk chunk;
            for (int i = 0; i < 4 && audio->NextSound(chunk); ++i) {
            }
            if (audio->SeekSound(info.duration / 2)) (void)audio->NextSound(chunk);
        }
    }
    if (!info.hasVideo) return 0;
    plat::MovieFrameConverter converter;
    plat::Ref<plat::MovieFrame> last;
    for (int i = 0; i < 4; ++i) {
        plat::Ref<plat::MovieFrame> frame = decoder->Next();
        if (!frame) break;
        last = frame;
    }
    if (last) (void)converter.Convert(*last);
    plat::Ref<plat::MovieFrame> seeked = decoder->SeekExact(info.duration / 2);
    if (seeked) {
        // One step back, as the player does it.
        double back = seeked->Time() - (seeked->Duration() > 0 ? seeked->Duration() : 0.04) / 2;
        plat::Ref<plat::MovieFrame> previous = decoder->SeekExact(back < 0 ? 0 : back);
        if (previous) (void)converter.Convert(*previous);
    }
    return 0;
}
